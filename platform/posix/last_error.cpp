// The thread's last error code and Sleep.
#include <time.h>

#include <cerrno>

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

void WINAPI Sleep(DWORD milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}
