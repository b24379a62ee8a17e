// The floating-point settings every calculation of the program runs with:
// 64-bit significand, round to nearest, every exception masked.
#pragma once

#include <cstdint>

constexpr std::uint16_t kFloatingPointControlWord = 0x133F;

// Establishes the settings (x87 control word 0x133F where there is an x87).
void SetFloatingPointSettings() noexcept;

// The processor's default state (x87 control word 0x037F), for platform calls
// that are to run without the program's settings.
void SetDefaultFloatingPointState() noexcept;

// The x87 control word in force (its meaningful bits), or kFloatingPointControlWord where there is
// no x87.
std::uint16_t CurrentFloatingPointControlWord() noexcept;

// The floating-point state of the thread (x87 control and status words,
// SSE control and status), kept across an outside call. At every call
// boundary the x87 register stack is empty, so these words are all of it
// that a call can leave changed; a call that changes none costs no restore.
class SavedFloatingPointState {
  public:
    SavedFloatingPointState() noexcept;  // saves
    ~SavedFloatingPointState();          // restores what the call changed
    SavedFloatingPointState(const SavedFloatingPointState&) = delete;
    SavedFloatingPointState& operator=(const SavedFloatingPointState&) = delete;

  private:
    struct Words {
        std::uint16_t x87Control = 0;
        std::uint16_t x87Status = 0;
        std::uint32_t sseControlAndStatus = 0;
    };
    static Words Current() noexcept;

    Words saved_;
};
