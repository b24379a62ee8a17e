// How the bytes of a drawn text become characters on the page.
#pragma once

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

  private:
    bool NextDecoded(char32_t& character);

    const unsigned char* position_;
    const unsigned char* end_;
    bool utf8_;
    bool forLayout_;
    uint32_t column_ = 0;
    uint32_t pendingSpaces_ = 0;
};

}  // namespace pelm32
