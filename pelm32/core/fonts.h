// The faces and fonts that documents draw with, shared by all documents of
// the process. No Qt: a face is its font file's bytes read as OpenType, so
// layout, the PDF and the painted page all use the same glyphs and widths.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pelm32/core/font_source.h"
#include "pelm32/pdf/sfnt.h"

struct hb_font_t;

namespace pelm32 {

// One loaded face; ids index the process's table and stay valid until the
// fonts are reset.
class Face {
  public:
    Face(std::unique_ptr<FontBytes> bytes, FontFileRef file, const pdf::SfntFace& sfnt)
        : bytes_(std::move(bytes)), file_(std::move(file)), sfnt_(sfnt) {}
    const pdf::SfntFace& Sfnt() const { return sfnt_; }
    // The font file, and which face of it this is (0 but in a collection).
    const FontFileRef& File() const { return file_; }
    // Advance of a glyph in thousandths of the font size, rounded as the PDF
    // widths are, so that laid-out and shown text agree exactly.
    uint16_t Width(uint16_t glyph) const;
    // Ascent and descent (positive) in thousandths of the font size.
    int Ascent() const;
    int Descent() const;
    // The face as the shaper knows it, made on first use (text_shaping.cpp).
    std::shared_ptr<hb_font_t>& Shaper() const { return shaper_; }

  private:
    std::unique_ptr<FontBytes> bytes_;
    FontFileRef file_;
    pdf::SfntFace sfnt_;
    mutable std::shared_ptr<hb_font_t> shaper_;
};

int FaceCount();
const Face& FaceById(int id);

// Where a character is drawn from: a face of the font's family or one that
// covers the character for it, and how it takes its place on the line.
struct Placement {
    enum Kind : uint8_t {
        Plain,    // its glyph, at its own advance
        Fitted,   // its glyph fitted to its cells: condensed or centred
        Missing,  // no face has it: a box with its code point
        Shaped,   // drawn with its neighbours by the shaper
    };
    int face = -1;
    uint16_t glyph = 0;
    // Its advance on the line in thousandths of the font size: its cells on
    // a fixed-pitch family's grid, else its glyph's own width.
    uint16_t width = 0;
    // Its code in the face's simple font (/WinAnsiEncoding); 0 when it has
    // none there and goes by glyph id.
    uint8_t code = 0;
    uint8_t cells = 1;
    Kind kind = Plain;
};

// A family at a size, as a document selects it.
class Font {
  public:
    Font(const std::string& family, double points);
    const std::string& Family() const { return family_; }
    double Points() const { return points_; }
    // The family's own face; -1 when the system has no usable face at all.
    int PrimaryFace() const { return primary_; }
    const Placement& Place(char32_t character) const {
        // Latin-1 is resolved up front: most text never leaves it.
        return character < 256 ? latin_[character] : PlaceBeyondLatin1(character);
    }
    // The placement every printable ASCII character shares but for its
    // glyph and code, when each is Plain in one face, at one advance, with
    // its own byte as its code (a fixed-pitch family): such text is laid a
    // stretch at a time. Null otherwise.
    const Placement* UniformAscii() const { return uniformAscii_; }
    // Line box of the primary face, points.
    double Ascent() const { return ascent_; }
    double LineHeight() const { return lineHeight_; }
    // One cell of the family's grid (the advance of its space), points.
    double CellAdvance() const;
    // Whether the family is of fixed pitch, so every character takes its
    // cells on the grid whatever face draws it.
    bool CellGrid() const;

    // The family's placements, shared by all its sizes (fonts.cpp).
    struct Placements;

  private:
    const Placement& PlaceBeyondLatin1(char32_t character) const;

    std::string family_;
    double points_;
    int primary_;
    double ascent_;
    double lineHeight_;
    const Placement* latin_;
    const Placement* uniformAscii_ = nullptr;
    std::shared_ptr<Placements> placements_;
};

// The id of a family at a size, made on first use; ids stay valid until
// the fonts are reset.
int FindFont(const std::string& family, double points);
int FontCount();
const Font& FontById(int id);

// Every font and face of the process, and the font source that found
// them, dropped: the next font is looked for anew. For tests, with no
// document open.
void ResetFonts();

}  // namespace pelm32
