// The halves of a message parameter, on every platform.
#pragma once

#include <cstdint>

constexpr std::uint16_t LoWord(std::uintptr_t value) {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}
constexpr std::uint16_t HiWord(std::uintptr_t value) {
    return static_cast<std::uint16_t>((value >> 16) & 0xFFFF);
}
