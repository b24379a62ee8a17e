#include "tests/pelm32/failing_allocation.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<long> countdown{-1};
std::atomic<bool> failed{false};

#if !defined(__SANITIZE_ADDRESS__)
// Qt is not built to unwind from a failed allocation (it would leave its
// locks held), so its own allocations are never made to fail: what is
// tested is the engine's code.
bool FromQt(void* caller) {
    Dl_info info{};
    return dladdr(caller, &info) != 0 && info.dli_fname != nullptr &&
           std::strstr(info.dli_fname, "libQt6") != nullptr;
}
#endif

}  // namespace

namespace pelm32_test {

void FailAllocationAfter(long allocations) {
    failed = false;
    countdown = allocations;
}

bool StopFailingAllocations() {
    countdown = -1;
    return failed;
}

}  // namespace pelm32_test

#if !defined(__SANITIZE_ADDRESS__)

void* operator new(std::size_t size) {
    if (countdown.load(std::memory_order_relaxed) >= 0 && !FromQt(__builtin_return_address(0)) &&
        countdown.fetch_sub(1) == 0) {
        failed = true;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

#endif
