// This test program's operator new can be told to fail one allocation, as
// it would when memory runs out.
#pragma once

namespace pelm32_test {

// The allocation after the next `allocations` ones throws std::bad_alloc;
// later ones succeed again.
void FailAllocationAfter(long allocations);
// Stops counting; true when an allocation was made to fail.
bool StopFailingAllocations();

}  // namespace pelm32_test
