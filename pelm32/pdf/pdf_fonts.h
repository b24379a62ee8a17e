// A face as the PDF carries it: one embedded font program, subset to the
// glyphs shown, behind up to two fonts: one for Windows-1252 text and a
// Type0 font (Identity-H, two-byte codes) for everything else; each with a
// ToUnicode map. The codes of the Type0 font are glyph ids, or CIDs for a CID-keyed
// CFF face. For Windows-1252 text a face with TrueType outlines has a simple
// TrueType font with /WinAnsiEncoding; a face with CFF outlines has a second
// Type0 font whose one-byte CMap maps the codes to the CIDs of their glyphs,
// with its own ToUnicode map: one CIDFontType0C program then serves both
// fonts, name-keyed or CID-keyed.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "pelm32/pdf/deflate.h"
#include "pelm32/pdf/object_writer.h"
#include "pelm32/pdf/sfnt.h"

namespace pelm32::pdf {

// A glyph shown at a place of its own: dx right of the run's start and dy
// above its baseline, points, condensed horizontally by scale; text is
// what it stands for (empty for a glyph that continues its cluster, several
// characters for a ligature).
struct PlacedGlyph {
    uint16_t glyph;
    float dx;
    float dy;
    float scale;
    std::u32string_view text;
};

// A glyph's advance in thousandths of the font size, rounded to the integer
// the PDF's widths hold; layout uses the same numbers so text lands where
// it was laid out.
uint16_t GlyphWidth(const SfntFace& face, uint16_t glyph);
// Font units in thousandths of the font size, rounded.
int ToThousandthsOfEm(const SfntFace& face, int fontUnits);
// The glyph a simple font of the face with /WinAnsiEncoding shows for a code.
uint16_t CodeGlyph(const SfntFace& face, uint8_t code);

class EmbeddedFace {
  public:
    explicit EmbeddedFace(const SfntFace& face) : face_(face) {}
    const SfntFace& Face() const { return face_; }

    // The resource number (/F<n>) of the simple or the Type0 font; given
    // from nextResource on first use.
    int SimpleFont(int& nextResource);
    int Type0Font(int& nextResource);

    // Notes Windows-1252 codes shown with the simple font.
    void UseCodes(std::string_view codes);
    // Notes glyphs shown with the Type0 font and appends their two-byte
    // codes (the glyph ids or CIDs, big-endian) to codes. A glyph's
    // character is what its code extracts as; 0 for none (a glyph that
    // continues its cluster).
    void UseGlyphs(const uint16_t* glyphs, const char32_t* characters, size_t count,
                   std::string& codes);
    // The same for placed glyphs, each standing for its text.
    void UsePlacedGlyphs(const PlacedGlyph* glyphs, size_t count, std::string& codes);

    // Writes the font program and the fonts that were used, and appends
    // their resource entries ("/F1 12 0 R ") to entries.
    void Put(ObjectWriter& objects, std::string& entries) const;

  private:
    // One code a Type0 font shows: the CID it selects, that CID's glyph and
    // the character it stands for.
    struct Shown {
        uint16_t code;
        uint16_t cid;
        uint16_t glyph;
        char32_t character;
    };
    std::vector<uint16_t> GlyphsShown() const;
    std::vector<Shown> GlyphCodes() const;
    std::vector<Shown> WindowsCodes() const;
    std::string SubsetTag(const std::vector<uint16_t>& glyphs) const;
    uint32_t PutProgram(ObjectWriter& objects, const std::vector<uint16_t>& glyphs) const;
    uint32_t PutDescriptor(ObjectWriter& objects, const std::string& name, bool symbolic,
                           uint32_t program) const;
    void PutSimpleFont(ObjectWriter& objects, uint32_t number, const std::string& name,
                       uint32_t descriptor) const;
    uint32_t PutToUnicode(ObjectWriter& objects, const std::vector<Shown>& shown,
                          bool oneByte) const;
    void PutType0Font(ObjectWriter& objects, uint32_t number, const std::string& name,
                      uint32_t descriptor, const std::vector<Shown>& shown, bool oneByte) const;
    uint32_t PutCidFont(ObjectWriter& objects, const std::string& name, uint32_t descriptor,
                        const std::vector<Shown>& shown) const;
    std::string WidthsArray(const std::vector<Shown>& shown, int& defaultWidth) const;

    const SfntFace& face_;
    int simpleResource_ = 0;
    int type0Resource_ = 0;
    std::array<bool, 256> codes_{};
    // The character each glyph shown through the Type0 font stands for; 0
    // for glyphs not shown. Sized on first use.
    std::vector<char32_t> glyphCharacters_;
    // Glyphs that stand for several characters (ligatures), by glyph id.
    std::map<uint16_t, std::u32string> glyphTexts_;
};

}  // namespace pelm32::pdf
