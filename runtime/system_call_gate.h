// The gate every file-system call of the run time passes through: one call at
// a time in the process, with the floating-point state kept across it, the
// system's error dialogs off, and the Windows last error turned into a
// run-time error number. A call failed when it left a non-zero last error.
#pragma once

#include <cstdint>

#include "platform/win32_base.h"
#include "platform/win32_file.h"
#include "runtime/floating_point.h"
#include "runtime/spin_lock.h"
#include "runtime/system_errors.h"

template <typename Result>
struct GateOutcome {
    Result result{};
    bool failed = false;
    std::int32_t errorNumber = 0;  // the mapped number when failed
    DWORD systemError = 0;         // the Windows code when failed
};

// The process-wide lock of the gate: the last of the file services' locks.
SpinLock& SystemCallGateLock() noexcept;

constexpr UINT kGateErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;

template <typename Call>
auto ThroughSystemCallGate(Call&& call) noexcept -> GateOutcome<decltype(call())> {
    GateOutcome<decltype(call())> outcome;
    SpinLockHolder gate(SystemCallGateLock());
    UINT previousMode;
    {
        SavedFloatingPointState saved;
        previousMode = SetErrorMode(kGateErrorMode);
        SetLastError(0);
        outcome.result = call();
    }
    DWORD lastError = GetLastError();
    SetErrorMode(previousMode);
    if (lastError != 0) {
        outcome.failed = true;
        outcome.systemError = lastError;
        outcome.errorNumber = MapSystemError(lastError);
    }
    return outcome;
}
