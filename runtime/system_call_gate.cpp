#include "runtime/system_call_gate.h"

SpinLock& SystemCallGateLock() noexcept {
    static SpinLock lock;
    return lock;
}
