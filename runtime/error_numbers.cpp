#include "runtime/error_numbers.h"

#include <utility>

namespace {
thread_local ErrorSlot* innermost = nullptr;
thread_local std::uint32_t threadSlot = 0;
}  // namespace

ErrorSlot::ErrorSlot() noexcept : outer_(innermost) {
    innermost = this;
}

ErrorSlot::~ErrorSlot() {
    innermost = outer_;
}

std::uint32_t& CurrentErrorSlot() noexcept {
    return innermost != nullptr ? innermost->value_ : threadSlot;
}

void RecordErrorNumber(int number) noexcept {
    CurrentErrorSlot() = number == 0 ? static_cast<std::uint32_t>(kInternalFailure)
                                     : static_cast<std::uint32_t>(number);
}

std::int32_t ReadAndClearErrorNumber() noexcept {
    return static_cast<std::int32_t>(std::exchange(CurrentErrorSlot(), 0u) & 0xFFu);
}
