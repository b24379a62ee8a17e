// Reading a page of a finished document back from its spool, record by
// record: what the PDF writer and the painter both draw from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pelm32/document.h"
#include "pelm32/fonts.h"
#include "pelm32/text_layout.h"

namespace pelm32 {

struct SpoolRecord {
    Record kind = Record::Font;
    uint32_t font = 0;  // Font
    // Run: x and baseline; PageNumber and PageCount: x and top.
    float x = 0;
    float y = 0;
    float floor = 0;   // PageNumber and PageCount
    int32_t face = 0;  // Run
    Encoding encoding = Encoding::Windows1252;
    std::string codes;                 // Run, Windows1252
    std::vector<uint16_t> glyphs;      // Run, Glyphs
    std::vector<char32_t> characters;  // Run, Glyphs
    int32_t graphic = 0;               // Graphic
    float rect[4] = {};                // Graphic: left, top, right, bottom
    // The record's bytes as spooled, when the reader keeps them.
    std::string raw;
};

class RecordReader {
  public:
    RecordReader(const Document& document, int page, bool keepRaw = false);
    // The next record; false at the end of the page or when the spool
    // cannot be read (then Failed() says so).
    bool Next(SpoolRecord& record);
    bool Failed() const { return failed_; }

  private:
    bool Read(SpoolRecord& record, void* out, size_t size);
    template <typename T>
    bool ReadValue(SpoolRecord& record, T& value) {
        return Read(record, &value, sizeof value);
    }
    bool ReadRun(SpoolRecord& record);

    SpoolReader reader_;
    bool keepRaw_;
    bool failed_ = false;
    std::vector<char> scratch_;
};

// Turns a page's records into what they draw: it follows the font in force
// and lays out page numbers and counts, and hands text runs and graphics to
// the subclass, so the PDF and the painter draw one page the same way.
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
