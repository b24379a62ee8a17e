// UTF-8, strictly: no overlong forms, no surrogates, nothing beyond
// U+10FFFF. The one decoder of the engine, for drawn texts and for the
// PDF's own strings alike.
#pragma once

#include <cstddef>
#include <string>

namespace pelm32::pdf {

// Length of the well-formed sequence at p (1..4), or 0 when it is malformed.
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end);

// The character of a well-formed sequence of that length.
char32_t DecodeUtf8Sequence(const unsigned char* p, size_t length);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(const char* bytes, size_t length);

// Decodes the bytes, with U+FFFD for each byte that starts no well-formed
// sequence.
std::u32string DecodeUtf8(const char* bytes, size_t length);

// Appends a character as UTF-8.
void AppendUtf8(std::string& out, char32_t character);

}  // namespace pelm32::pdf
