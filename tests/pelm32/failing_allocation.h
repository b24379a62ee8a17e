// This test program's operator new can be told to fail one allocation, as
// it would when memory runs out. Not under AddressSanitizer, whose own
// operator new the program's would mix with.
#pragma once

namespace pelm32_test {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAllocationsCanFail = false;
#else
constexpr bool kAllocationsCanFail = true;
#endif

// The allocation after the next `allocations` ones throws std::bad_alloc;
// later ones succeed again.
void FailAllocationAfter(long allocations);
// Stops counting; true when an allocation was made to fail.
bool StopFailingAllocations();

}  // namespace pelm32_test
