// Operations on dynamic strings. None changes its inputs; each allocates at
// most its result. A result whose memory cannot be had is empty, with run-time
// error number 7 recorded.
#pragma once

#include <cstdint>

#include "runtime/dynamic_string.h"

// The bytes of a followed by the bytes of b.
DynamicString Concatenate(const DynamicString& a, const DynamicString& b);

// Byte-wise comparison as unsigned values, the shorter string first when one
// is a prefix of the other: negative, 0 or positive.
int CompareText(const DynamicString& a, const DynamicString& b) noexcept;

// Without the leading (trailing) bytes of value 32. A string that loses
// nothing is handed back as it is, without a copy.
DynamicString TrimLeadingSpaces(DynamicString s);
DynamicString TrimTrailingSpaces(DynamicString s);

// The byte count, zero bytes inside the string included.
std::int32_t TextLength(const DynamicString& s) noexcept;

// s with every occurrence of find replaced, searching left to right without
// overlaps. A result longer than 2^31 - 1 bytes records error 5 and is empty.
DynamicString ReplaceAll(const DynamicString& s, const DynamicString& find,
                         const DynamicString& replacement);

// Copies at most size - 1 bytes of s, stopping after a zero byte, and ends
// the copy with a zero byte unless it already ended with one.
void CopyToFixedBuffer(const DynamicString& s, char* buffer, std::int32_t size) noexcept;

// The bytes from address up to its first zero byte (at most 2^24 bytes); the
// null address gives the empty string.
DynamicString TextFromBuffer(const char* address);

// The address of the string's first byte, or of an empty zero-terminated text
// for an empty string (never the null address).
const char* TextAddress(const DynamicString& s) noexcept;
