#include "pelm32/core/text_decoding.h"

#include "pelm32/pdf/utf8.h"
#include "pelm32/pdf/win_ansi.h"

namespace pelm32 {

namespace {

constexpr uint32_t kTabWidth = 8;

}  // namespace

TextCursor::TextCursor(const char* bytes, size_t length, bool forLayout)
    : begin_(reinterpret_cast<const unsigned char*>(bytes)),
      position_(begin_),
      end_(begin_ + length),
      forLayout_(forLayout) {}

bool TextCursor::Utf8() {
    if (decoding_ == Decoding::Unknown) {
        decoding_ = pdf::IsValidUtf8(reinterpret_cast<const char*>(begin_),
                                     static_cast<size_t>(end_ - begin_))
                        ? Decoding::Utf8
                        : Decoding::Windows1252;
    }
    return decoding_ == Decoding::Utf8;
}

bool TextCursor::NextDecoded(char32_t& character) {
    if (pendingSpaces_ > 0) {
        --pendingSpaces_;
        ++column_;
        character = U' ';
        return true;
    }
    if (position_ >= end_) {
        return false;
    }
    char32_t c;
    if (*position_ < 0x80) {
        c = *position_++;
    } else if (Utf8()) {
        const size_t n = pdf::Utf8SequenceLength(position_, end_);
        c = pdf::DecodeUtf8Sequence(position_, n);
        position_ += n;
    } else {
        c = pdf::Windows1252ToUnicode(*position_++);
        if (c == 0) {
            c = 0x81;  // undefined in 1252: show as a blank like a control
        }
    }
    if (!forLayout_) {
        character = c;
        return true;
    }
    if (c == U'\t') {
        pendingSpaces_ = kTabWidth - column_ % kTabWidth - 1;
        c = U' ';
    } else if (IsControl(c)) {
        c = U' ';
    }
    ++column_;
    character = c;
    return true;
}

}  // namespace pelm32
