// How the bytes of a drawn text become characters on the page.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace pelm32 {

// Control characters (C0, DEL and C1) draw nothing of their own.
constexpr bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// Walks a text character by character: UTF-8 when the whole text is valid
// UTF-8, else Windows-1252; tabs expand to 8-column stops and other control
// characters show as one blank column, so none reaches a font as a glyph.
class TextCursor {
  public:
    // forLayout false: characters as decoded, tabs and controls untouched
    // (for titles and names rather than drawn text).
    TextCursor(const char* bytes, size_t length, bool forLayout = true);
    // The next character to draw; false at the end of the text.
    bool Next(char32_t& character) {
        // Printable ASCII, most of any text, goes straight through.
        if (pendingSpaces_ == 0 && position_ < end_ && *position_ >= 0x20 && *position_ < 0x7F) {
            character = *position_++;
            ++column_;
            return true;
        }
        return NextDecoded(character);
    }

    // The next stretch of printable ASCII, at most most characters of it:
    // what Next() would give one by one. Its length; its bytes from bytes.
    size_t NextPrintableAscii(size_t most, const unsigned char*& bytes) {
        bytes = position_;
        if (pendingSpaces_ != 0) {
            return 0;
        }
        const unsigned char* const last = position_ + std::min<size_t>(most, end_ - position_);
        while (position_ < last && *position_ >= 0x20 && *position_ < 0x7F) {
            ++position_;
        }
        const auto taken = static_cast<size_t>(position_ - bytes);
        column_ += static_cast<uint32_t>(taken);
        return taken;
    }

  private:
    bool NextDecoded(char32_t& character);
    bool Utf8();

    const unsigned char* begin_;
    const unsigned char* position_;
    const unsigned char* end_;
    // Whether the whole text is valid UTF-8, found when the first byte
    // beyond ASCII is met: ASCII reads the same either way.
    enum class Decoding : uint8_t { Unknown, Utf8, Windows1252 } decoding_ = Decoding::Unknown;
    bool forLayout_;
    uint32_t column_ = 0;
    uint32_t pendingSpaces_ = 0;
};

}  // namespace pelm32
