// Turns a page's records into what they draw: it follows the font in force
// and lays out page numbers and counts, and hands text runs and graphics to
// the subclass, so every output (the PDF, a painter on a screen or a
// printer) draws one page the same way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "pelm32/core/fonts.h"
#include "pelm32/core/spool_records.h"
#include "pelm32/core/text_layout.h"

namespace pelm32 {

class Document;

// A run of text of one face as every output draws it. Positions are points
// from the page's top left corner.
struct TextRun {
    int face = -1;
    Encoding encoding = Encoding::Windows1252;
    double x = 0;
    double baseline = 0;
    double size = 0;                   // points
    std::string_view codes;            // Windows1252
    const uint16_t* glyphs = nullptr;  // the other encodings
    // Each glyph's character, for search and copy; 0 for a glyph that only
    // continues its cluster.
    const char32_t* characters = nullptr;
    size_t count = 0;
    const GlyphPlace* places = nullptr;  // Placed
    std::u32string_view text;            // Placed: what the glyphs stand for
};

class RecordDrawer {
  public:
    explicit RecordDrawer(const Document& document) : document_(document) {}
    virtual ~RecordDrawer() = default;

    // The records that follow belong to this page (0-based).
    void StartPage(int index);
    void Draw(const SpoolRecord& record);

  protected:
    const Font& CurrentFont() const { return *font_; }
    // Draws what follows in font, as a font record would.
    void UseFont(const Font& font) { font_ = &font; }
    virtual void DrawText(const TextRun& run) = 0;
    // left, top, right, bottom in points.
    virtual void DrawGraphic(int32_t graphic, const float* rect) = 0;
    // A thin frame: the box of a character no face has.
    virtual void DrawFrame(double left, double top, double right, double bottom) = 0;
    // What is drawn until EndActualText stands for this text, for search
    // and copy, where the glyphs alone do not give it.
    virtual void BeginActualText(std::u32string_view) {}
    virtual void EndActualText() {}
    // A Windows1252 run's codes as its face's glyph ids, for the outputs
    // that draw by glyph id (the painters); valid until the next call.
    const std::vector<uint16_t>& CodeGlyphs(const TextRun& run);

    const Document& document_;

  private:
    void DrawNumber(const SpoolRecord& record);
    void DrawRun(const SpoolRecord& record);
    void DrawMissing(const SpoolRecord& record);
    void DrawLaidOut(const TextLayout& layout, double baseline);

    int page_ = 0;
    const Font* font_ = nullptr;
    int spanLeft_ = 0;  // runs still to come in the open actual text
    TextLayout layout_;
    std::map<int, std::array<uint16_t, 256>> codeGlyphs_;
    std::vector<uint16_t> glyphs_;
};

}  // namespace pelm32
