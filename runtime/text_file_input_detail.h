// The general form of the open behind OpenForInput, and a hook for tests.
#pragma once

#include <cstdint>

#include "runtime/dynamic_string.h"

// The open descriptor of a text file opened for input: mode 0x01 (input),
// read access (0x80), no retry without write access (0x20), sharing code 1.
constexpr std::uint16_t kInputOpenDescriptor = 0x01A1;
constexpr std::int32_t kInputRecordLength = 128;

// Opens path under fileNumber. The descriptor's high byte is the mode (only
// input, 0x01, is read from by these services); its low byte gives read
// access (0x80), write access (0x40) and the sharing code (bits 0-2, the
// system share mode plus 1; 3 and up make every byte come fresh from the
// system). For an input file the record length is the block length.
void OpenFileNumber(const DynamicString& path, std::int32_t fileNumber,
                    std::uint16_t openDescriptor, std::int32_t recordLength);

// Sets the next-number counter, so that tests can reach its wrap-around.
// The program itself never calls it.
void SetFileNumberCounterForTesting(std::int16_t value);
