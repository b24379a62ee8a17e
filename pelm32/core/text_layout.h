// How a drawn text becomes runs of glyphs on its line: each character goes
// to the face that has it, and a run holds consecutive characters of one
// face in one encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pelm32/core/fonts.h"
#include "pelm32/core/text_decoding.h"

namespace pelm32 {

enum class Encoding : uint8_t {
    // One Windows-1252 byte a character: the face's simple font, whose
    // text any PDF reader extracts without help.
    Windows1252 = 0,
    // Glyph ids, each with its character for text extraction: the face's
    // Type0 font, for everything else.
    Glyphs = 1,
};

struct LaidRun {
    int face;
    Encoding encoding;
    double x;  // points from the left edge of the page
    // Range in Codes() for Windows1252, in Glyphs() and Characters() else.
    size_t begin;
    size_t end;
};

class TextLayout {
  public:
    // Lays out the cursor's characters in font with the pen starting at x.
    // Characters wholly left of the page and those starting at or beyond
    // pageWidth are dropped, and so are trailing blanks: they draw nothing.
    void Lay(const Font& font, double x, double pageWidth, TextCursor& cursor);

    // Lays out a number's digits the same way. The engine draws page
    // numbers itself, so it keeps them on the paper: one that would cross
    // the right edge moves left to end a quarter inch inside it, but no
    // further than leftLimit, where the text before it on its line ends.
    void LayNumber(const Font& font, double x, double leftLimit, double pageWidth, long number);

    // Where the last character that draws ends, points from the left edge.
    double InkEnd() const { return inkEnd_; }

    const std::vector<LaidRun>& Runs() const { return runs_; }
    const std::string& Codes() const { return codes_; }
    const std::vector<uint16_t>& Glyphs() const { return glyphs_; }
    const std::vector<char32_t>& Characters() const { return characters_; }

  private:
    void Append(const Placement& place, double x, char32_t c);
    void DropTrailingBlanks(size_t runs, size_t codes, size_t glyphs);

    std::vector<LaidRun> runs_;
    std::string codes_;
    std::vector<uint16_t> glyphs_;
    std::vector<char32_t> characters_;
    double inkEnd_ = 0;
};

}  // namespace pelm32
