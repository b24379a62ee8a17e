// The small pieces of PDF syntax the writer's parts all write: numbers,
// object references and strings, literal and hex.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelm32::pdf {

// An integer in decimal.
void AppendInteger(std::string& out, int64_t value);
// Appends a number given in thousandths as a decimal without needless
// digits: 12000 -> "12", -1500 -> "-1.5", 5 -> ".005".
void AppendThousandths(std::string& out, int64_t thousandths);
// A coordinate or size in thousandths of a point, bounded to +-1e9 (a
// million points) and with NaN as 0, so what is written is always a number.
int64_t ToThousandths(double points);

// "12 0 R".
void AppendReference(std::string& out, uint32_t number);
// A literal string: (, ) and \ escaped, CR as \r (a raw CR reads back as LF).
void AppendLiteral(std::string& out, std::string_view bytes);
// A hex string of bytes, with its < and >.
void AppendHexString(std::string& out, std::string_view bytes);
// Four hex digits of a 16-bit value, no brackets.
void AppendHex16(std::string& out, unsigned value);
// A character as UTF-16BE hex digits: a surrogate pair beyond U+FFFF.
void AppendUtf16Hex(std::string& out, char32_t c);

}  // namespace pelm32::pdf
