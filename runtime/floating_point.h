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

// The whole floating-point state of the thread, kept across an outside call.
class SavedFloatingPointState {
  public:
    SavedFloatingPointState() noexcept;  // saves
    ~SavedFloatingPointState();          // restores
    SavedFloatingPointState(const SavedFloatingPointState&) = delete;
    SavedFloatingPointState& operator=(const SavedFloatingPointState&) = delete;

  private:
    alignas(16) unsigned char x87Environment_[28];
    std::uint32_t sseControl_ = 0;
};
