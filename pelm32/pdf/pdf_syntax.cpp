#include "pelm32/pdf/pdf_syntax.h"

#include <charconv>
#include <cmath>

namespace pelm32::pdf {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr int64_t kBound = 1'000'000'000;

}  // namespace

void AppendInteger(std::string& out, int64_t value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void AppendThousandths(std::string& out, int64_t thousandths) {
    // Unsigned, so that even the most negative value has a magnitude.
    const uint64_t magnitude = thousandths < 0 ? 0 - static_cast<uint64_t>(thousandths)
                                               : static_cast<uint64_t>(thousandths);
    char buffer[32];
    char* const end = buffer + sizeof buffer;
    char* p = end;
    uint64_t fraction = magnitude % 1000;
    int places = 3;
    for (; fraction != 0 && fraction % 10 == 0; --places) {
        fraction /= 10;
    }
    if (fraction != 0) {
        for (int i = 0; i < places; ++i, fraction /= 10) {
            *--p = static_cast<char>('0' + fraction % 10);
        }
        *--p = '.';
    }
    // ".5", not "0.5"; but a plain 0 needs its digit.
    for (uint64_t whole = magnitude / 1000; whole != 0 || p == end; whole /= 10) {
        *--p = static_cast<char>('0' + whole % 10);
    }
    if (thousandths < 0) {
        *--p = '-';
    }
    out.append(p, end);
}

int64_t ToThousandths(double points) {
    const double thousandths = points * 1000;
    if (std::isnan(thousandths)) {
        return 0;
    }
    if (thousandths >= kBound) {
        return kBound;
    }
    if (thousandths <= -kBound) {
        return -kBound;
    }
    return std::llround(thousandths);
}

void AppendReference(std::string& out, uint32_t number) {
    AppendInteger(out, number);
    out += " 0 R";
}

// Stretches that need no escape go in whole: most text has none.
void AppendLiteral(std::string& out, std::string_view bytes) {
    out += '(';
    size_t plain = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '(' || c == ')' || c == '\\' || c == '\r') {
            out.append(bytes.data() + plain, i - plain);
            out += '\\';
            out += c == '\r' ? 'r' : c;
            plain = i + 1;
        }
    }
    out.append(bytes.data() + plain, bytes.size() - plain);
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
