#include "pelm32/pdf/pdf_syntax.h"

namespace pelm32::pdf {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

}  // namespace

void AppendReference(std::string& out, uint32_t number) {
    out += std::to_string(number);
    out += " 0 R";
}

void AppendLiteral(std::string& out, std::string_view bytes) {
    out += '(';
    for (const char c : bytes) {
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    out += ')';
}

void AppendHexString(std::string& out, std::string_view bytes) {
    out += '<';
    for (const unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    out += '>';
}

void AppendHex16(std::string& out, unsigned value) {
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += kDigits[(value >> shift) & 0xF];
    }
}

void AppendUtf16Hex(std::string& out, char32_t c) {
    if (c < 0x10000) {
        AppendHex16(out, static_cast<unsigned>(c));
        return;
    }
    c -= 0x10000;
    AppendHex16(out, 0xD800 + static_cast<unsigned>(c >> 10));
    AppendHex16(out, 0xDC00 + static_cast<unsigned>(c & 0x3FF));
}

}  // namespace pelm32::pdf
