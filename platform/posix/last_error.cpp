// The thread's last error code and Sleep.
#include <chrono>
#include <thread>

#include "platform/posix/sleep_wait.h"
#include "platform/win32_base.h"

namespace {
thread_local DWORD lastError = 0;
}

void WINAPI SetLastError(DWORD errorCode) {
    lastError = errorCode;
}

DWORD WINAPI GetLastError() {
    return lastError;
}

namespace {

SleepWaiter waiter = nullptr;

// Windows' timer ticks 64 times a second by default, and a Sleep ends on a
// tick: Sleep(1) in a loop that waits for messages costs no more than that.
constexpr std::chrono::nanoseconds kTick{15'625'000};

std::chrono::steady_clock::time_point NextTick(std::chrono::steady_clock::time_point at) {
    const auto ticks = (at.time_since_epoch() + kTick - std::chrono::nanoseconds(1)) / kTick;
    return std::chrono::steady_clock::time_point(ticks * kTick);
}

}  // namespace

void SetSleepWaiter(SleepWaiter newWaiter) {
    waiter = newWaiter;
}

void WINAPI Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    const auto until =
        NextTick(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds));
    if (waiter != nullptr) {
        waiter(until);
    } else {
        std::this_thread::sleep_until(until);
    }
}
