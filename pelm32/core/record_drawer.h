// Turns a page's records into what they draw: it follows the font in force
// and lays out page numbers and counts, and hands text runs and graphics to
// the subclass, so every output (the PDF, a painter on a screen or a
// printer) draws one page the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pelm32/core/fonts.h"
#include "pelm32/core/spool_records.h"
#include "pelm32/core/text_layout.h"

namespace pelm32 {

class Document;

class RecordDrawer {
  public:
    explicit RecordDrawer(const Document& document) : document_(document) {}
    virtual ~RecordDrawer() = default;

    // The records that follow belong to this page (0-based).
    void StartPage(int index);
    void Draw(const SpoolRecord& record);

  protected:
    const Font& CurrentFont() const { return *font_; }
    // A run of one face, its baseline starting at (x, baseline), points
    // from the top left corner: codes for Windows1252, else glyphs with
    // their characters.
    virtual void DrawText(int face, Encoding encoding, double x, double baseline,
                          std::string_view codes, const uint16_t* glyphs,
                          const char32_t* characters, size_t count) = 0;
    // left, top, right, bottom in points.
    virtual void DrawGraphic(int32_t graphic, const float* rect) = 0;

    const Document& document_;

  private:
    void DrawNumber(const SpoolRecord& record);

    int page_ = 0;
    const Font* font_ = nullptr;
    TextLayout layout_;
};

}  // namespace pelm32
