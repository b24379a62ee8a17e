#include "pelm32/pdf/utf8.h"

namespace pelm32::pdf {

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char lead = p[0];
    if (lead < 0x80) {
        return 1;
    }
    const size_t available = static_cast<size_t>(end - p);
    if (lead >= 0xC2 && lead <= 0xDF) {
        return available >= 2 && IsContinuation(p[1]) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (available < 3 || !IsContinuation(p[1]) || !IsContinuation(p[2])) {
            return 0;
        }
        if (lead == 0xE0 && p[1] < 0xA0) {
            return 0;  // overlong
        }
        if (lead == 0xED && p[1] >= 0xA0) {
            return 0;  // UTF-16 surrogate
        }
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (available < 4 || !IsContinuation(p[1]) || !IsContinuation(p[2]) ||
            !IsContinuation(p[3])) {
            return 0;
        }
        if ((lead == 0xF0 && p[1] < 0x90) || (lead == 0xF4 && p[1] >= 0x90)) {
            return 0;  // overlong or beyond U+10FFFF
        }
        return 4;
    }
    return 0;
}

char32_t DecodeUtf8Sequence(const unsigned char* p, size_t length) {
    switch (length) {
        case 1:
            return p[0];
        case 2:
            return (char32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F);
        case 3:
            return (char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        default:
            return (char32_t(p[0] & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                   (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    }
}

bool IsValidUtf8(const char* bytes, size_t length) {
    auto p = reinterpret_cast<const unsigned char*>(bytes);
    const auto end = p + length;
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const size_t n = Utf8SequenceLength(p, end);
        if (n == 0) {
            return false;
        }
        p += n;
    }
    return true;
}

std::u32string DecodeUtf8(const char* bytes, size_t length) {
    std::u32string out;
    auto p = reinterpret_cast<const unsigned char*>(bytes);
    const auto end = p + length;
    while (p < end) {
        const size_t n = Utf8SequenceLength(p, end);
        out += n == 0 ? U'\uFFFD' : DecodeUtf8Sequence(p, n);
        p += n == 0 ? 1 : n;
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace pelm32::pdf
