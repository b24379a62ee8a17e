// Run-time error numbers: every procedure invocation owns one error slot.
//
// A procedure that calls run-time services declares an ErrorSlot at its top.
// While it lives, failing services record their number in it, and the
// procedure reads it with ReadAndClearErrorNumber. A callee's own slot hides
// the caller's, so a failure inside a callee never reaches its caller.
#pragma once

#include <cstdint>

class ErrorSlot {
  public:
    ErrorSlot() noexcept;
    ~ErrorSlot();
    ErrorSlot(const ErrorSlot&) = delete;
    ErrorSlot& operator=(const ErrorSlot&) = delete;

  private:
    friend std::uint32_t& CurrentErrorSlot() noexcept;
    std::uint32_t value_ = 0;
    ErrorSlot* outer_;
};

// The run-time error numbers the services record.
constexpr int kBadArgument = 5;
constexpr int kOutOfMemory = 7;
constexpr int kInternalFailure = 51;
constexpr int kBadFileNumber = 52;
constexpr int kWrongFileMode = 54;
constexpr int kAlreadyOpen = 55;
constexpr int kPastEndOfFile = 62;
constexpr int kBadFileName = 64;
constexpr int kTooManyFiles = 67;

// Stores number in the calling procedure's slot; 0 is stored as 51.
void RecordErrorNumber(int number) noexcept;

// The calling procedure's number (0 to 255), with the slot cleared in the same step.
std::int32_t ReadAndClearErrorNumber() noexcept;

// The 32-bit slot of the innermost live ErrorSlot of this thread; a slot of
// the thread's own when no procedure declared one.
std::uint32_t& CurrentErrorSlot() noexcept;
