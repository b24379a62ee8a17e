// How a drawn text becomes runs of glyphs on its line, on the font's grid of
// cells as a terminal shows it: each character takes 0, 1 or 2 cells; a
// glyph from another face is fitted to its cells; text that needs its
// neighbours (marks, joining and reordering scripts, right to left) is put
// in visual order and shaped, each run fitted to its cells as a whole; a
// character no face has is a box with its code point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pelm32/core/fonts.h"
#include "pelm32/core/text_decoding.h"
#include "pelm32/core/text_shaping.h"

namespace pelm32 {

enum class Encoding : uint8_t {
    // One Windows-1252 byte a character: the face's simple font, whose
    // text any PDF reader extracts without help.
    Windows1252 = 0,
    // Glyph ids, each with its character for text extraction, at their own
    // advances: the face's Type0 font.
    Glyphs = 1,
    // Glyph ids, each at its own place (Places()).
    Placed = 2,
    // A box, the run's width, for a character no face has.
    Missing = 3,
};

struct LaidRun {
    int face;
    Encoding encoding;
    double x;  // points from the left edge of the page
    // Range in Codes() for Windows1252, in Glyphs() and Characters() else.
    size_t begin;
    size_t end;
    // Placed: where its glyphs' places start in Places(). Missing: the
    // box's width in points.
    size_t places = 0;
    float width = 0;
    // Placed: range in Text(), the characters its glyphs stand for, in
    // order. Readers are given them whole (as actual text), not glyph by
    // glyph, where the glyphs reorder or join them, or stand apart in their
    // cells: spanRuns is then how many runs, from this one on, the text
    // covers (its range ending with theirs).
    size_t textBegin = 0;
    size_t textEnd = 0;
    bool actualText = false;
    uint8_t spanRuns = 0;
};

// A glyph's place in a Placed run: points right of the run's x and up from
// its baseline, its horizontal scale (condensed to fit its cells), and how
// many
// characters of the run's text it stands for (0 for a glyph that continues
// its cluster, several for a ligature).
struct GlyphPlace {
    float dx;
    float dy;
    float scale;
    uint32_t characters;
};

class TextLayout {
  public:
    // Characters kept past the page's right edge: the page cuts them, but
    // the text is in the file, whole for any report line.
    static constexpr size_t kKeptPastTheEdge = 4096;

    // Lays out the cursor's characters in font with the pen starting at x.
    // Characters wholly left of the page are dropped, and so are trailing
    // blanks: they draw nothing. Of those starting at or beyond pageWidth,
    // kKeptPastTheEdge are kept.
    void Lay(const Font& font, double x, double pageWidth, TextCursor& cursor);
    // Whether the last text laid has ink past the right edge.
    bool PastTheEdge() const { return pastTheEdge_; }

    // Lays out a number's digits the same way. The engine draws page
    // numbers itself, so it keeps them on the paper and readable: one that
    // would cross the right edge moves left to end a quarter inch inside
    // it, but no nearer than a space to leftLimit, where the text before it
    // on its line ends; one that would still reach the edge, or come closer
    // than a space to rightLimit, where the text after it starts (0 for
    // none), is condensed to end there, its height and baseline kept.
    void LayNumber(const Font& font, double x, double leftLimit, double rightLimit,
                   double pageWidth, long number);

    // Where the last character that draws ends, points from the left edge.
    double InkEnd() const { return inkEnd_; }

    const std::vector<LaidRun>& Runs() const { return runs_; }
    const std::string& Codes() const { return codes_; }
    const std::vector<uint16_t>& Glyphs() const { return glyphs_; }
    const std::vector<char32_t>& Characters() const { return characters_; }
    const std::vector<GlyphPlace>& Places() const { return places_; }
    const std::u32string& Text() const { return text_; }

  private:
    // One piece of a shaped line: characters of one face, script and
    // direction, in logical order.
    struct Item {
        size_t begin;
        size_t end;
        int face;
        uint32_t script;
        bool rightToLeft;
        int cells;
    };

    void Clear();
    bool LayGlyphByGlyph(const Font& font, double x, double pageWidth, TextCursor& cursor);
    void LayShaped(const Font& font, double x, double pageWidth, TextCursor& cursor);
    void Itemize(const Font& font, size_t begin, size_t end, bool rightToLeft);
    double LayItem(const Font& font, const Item& item, double x);
    void LayCondensed(const Font& font, double x, const std::string& digits, float scale);
    void Append(const Placement& place, double x, char32_t c);
    void AppendCodes(const Placement& place, double x, const unsigned char* bytes, size_t count);
    void AppendFitted(const Font& font, const Placement& place, double x, char32_t c);
    void AppendMissing(const Font& font, const Placement& place, double x, char32_t c);
    void DropTrailingBlanks(size_t runs, size_t codes, size_t glyphs);
    void JoinSpans();

    std::vector<LaidRun> runs_;
    std::string codes_;
    std::vector<uint16_t> glyphs_;
    std::vector<char32_t> characters_;
    std::vector<GlyphPlace> places_;
    std::u32string text_;
    double inkEnd_ = 0;
    bool pastTheEdge_ = false;
    // The shaped path's working space.
    std::u32string line_;
    std::vector<uint8_t> levels_;
    std::vector<Item> items_;
    std::vector<ShapedGlyph> shaped_;
    std::vector<size_t> clusterEnds_;
};

}  // namespace pelm32
