// A TrueType or OpenType face read straight from its font file's bytes:
// the metrics, the character map and the glyph advances that layout and PDF
// embedding need, and a subset of it to embed.
//
// Faces with TrueType outlines (a 'glyf' table) and with CFF outlines (a
// 'CFF ' table, name-keyed or CID-keyed) are accepted: a PDF 1.5 embeds
// either as it is. The bytes are not copied and must outlive the face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pelm32/pdf/cff.h"

namespace pelm32::pdf {

// Big-endian reads and bounds for the font code; callers check bounds first.
namespace sfnt_detail {
inline uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline int16_t S16(const uint8_t* p) {
    return static_cast<int16_t>(U16(p));
}
inline uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
constexpr uint32_t Tag(const char tag[4]) {
    return uint32_t{static_cast<uint8_t>(tag[0])} << 24 |
           uint32_t{static_cast<uint8_t>(tag[1])} << 16 |
           uint32_t{static_cast<uint8_t>(tag[2])} << 8 | static_cast<uint8_t>(tag[3]);
}
// Whether [offset, offset + length) lies within size bytes.
inline bool Fits(uint64_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}
// A refusal, with its reason in why.
inline bool Fail(std::string& why, const char* reason) {
    why = reason;
    return false;
}
}  // namespace sfnt_detail

class SfntFace {
  public:
    // Reads face faceIndex of a font file (a .ttf or .otf, or one face of a
    // .ttc or .otc collection; a single file has only face 0). False, with
    // the reason in why, when the bytes are not a well-formed face with
    // TrueType or CFF outlines. Every
    // offset and length is checked against size: malformed files are
    // refused, never read out of bounds.
    bool Load(const uint8_t* data, size_t size, unsigned faceIndex, std::string& why);

    uint16_t UnitsPerEm() const { return unitsPerEm_; }
    uint16_t GlyphCount() const { return glyphCount_; }
    // hhea ascender and descender (descender negative) and line gap, font units.
    int16_t Ascender() const { return ascender_; }
    int16_t Descender() const { return descender_; }
    int16_t LineGap() const { return lineGap_; }
    // head's bounding box of all glyphs, font units.
    int16_t XMin() const { return xMin_; }
    int16_t YMin() const { return yMin_; }
    int16_t XMax() const { return xMax_; }
    int16_t YMax() const { return yMax_; }
    // OS/2 sCapHeight where the table has it, else 70 % of the ascender.
    int16_t CapHeight() const { return capHeight_; }
    // OS/2 usWeightClass (400 when there is no OS/2 table).
    uint16_t Weight() const { return weight_; }
    // post italicAngle in degrees, and whether post says fixed pitch.
    double ItalicAngle() const { return italicAngle_; }
    bool FixedPitch() const { return fixedPitch_; }
    // The PostScript name (name id 6), reduced to the characters a PDF name
    // may hold without escapes ("A"-"Z", "a"-"z", "0"-"9", "-", "_");
    // "Font" when the face has none.
    const std::string& PostScriptName() const { return postScriptName_; }

    // Whether the outlines are CFF ones, and whether they are keyed by CID.
    bool CffOutlines() const { return cffOutlines_; }
    bool CidKeyed() const { return cff_.CidKeyed(); }
    // The CID a PDF shows a glyph with: from the charset of a CID-keyed
    // face, else the glyph id itself.
    uint16_t Cid(uint16_t glyph) const { return cff_.Cid(glyph); }

    // The glyph of a Unicode character from the face's Unicode cmap
    // (format 12 preferred, else format 4); 0 when the face has none.
    uint16_t Glyph(char32_t character) const;
    // Advance width of a glyph, font units (hmtx; the last long metric for
    // glyphs past numberOfHMetrics; 0 for a glyph out of range).
    uint16_t Advance(uint16_t glyph) const;

    // The raw bytes of the whole file and where this face's table
    // directory starts in them.
    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }
    // A table of this face by tag ("glyf", ...); false when it is absent.
    bool Table(const char tag[4], const uint8_t*& bytes, size_t& length) const;

  private:
    friend std::vector<uint8_t> SubsetFace(const SfntFace&, const std::vector<uint16_t>&,
                                           const std::vector<std::pair<char16_t, uint16_t>>&);
    friend std::vector<uint8_t> SubsetCff(const SfntFace&, const std::vector<uint16_t>&);
    bool ReadDirectory(const uint8_t* data, size_t size, unsigned faceIndex, std::string& why);
    bool ReadRequired(std::string& why);
    bool ReadHead(const uint8_t* head, std::string& why);
    bool ReadGlyphCount(const uint8_t* maxp, std::string& why);
    bool ReadOutlines(std::string& why);
    bool ReadHorizontalMetrics(const uint8_t* hhea, std::string& why);
    void ReadOptional();
    void ChooseCmap(const uint8_t* cmap, size_t length);
    uint64_t Format4Glyph(char32_t character) const;
    uint64_t Format12Glyph(char32_t character) const;

    struct TableEntry {
        uint32_t tag;
        uint32_t offset;
        uint32_t length;
    };
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    std::vector<TableEntry> tables_;
    uint16_t unitsPerEm_ = 0;
    uint16_t glyphCount_ = 0;
    int16_t ascender_ = 0;
    int16_t descender_ = 0;
    int16_t lineGap_ = 0;
    int16_t xMin_ = 0, yMin_ = 0, xMax_ = 0, yMax_ = 0;
    int16_t capHeight_ = 0;
    uint16_t weight_ = 400;
    double italicAngle_ = 0;
    bool fixedPitch_ = false;
    std::string postScriptName_;
    uint16_t numberOfHMetrics_ = 0;
    uint16_t indexToLocFormat_ = 0;  // 0: short loca offsets (halved), 1: long
    const uint8_t* hmtx_ = nullptr;
    size_t hmtxLength_ = 0;
    const uint8_t* cmap_ = nullptr;  // the chosen Unicode subtable
    size_t cmapLength_ = 0;          // the rest of cmap from there
    int cmapFormat_ = 0;             // 4, 12, or 0 for none
    bool cffOutlines_ = false;
    CffFont cff_;  // read when cffOutlines_
};

// A standalone font made from a face, for embedding: only the outlines of
// the given glyphs (plus glyph 0, the glyphs cmap maps to and the
// components of composite glyphs) are kept, under their original glyph
// ids, so text encoded with the face's glyph ids shows unchanged. It holds
// the tables a PDF reader needs (head, hhea, hmtx, maxp, and loca, glyf,
// and cvt, fpgm, prep where the face has them, or the subset 'CFF ' table
// of SubsetCff) and, when cmap is not empty, a (3,1) format 4 cmap mapping
// exactly those characters (all below U+10000) to their glyphs.
// Empty when the face cannot be subset (a broken glyf or loca table), or
// when cmap needs more segments than a format 4 subtable holds.
std::vector<uint8_t> SubsetFace(const SfntFace& face, const std::vector<uint16_t>& glyphs,
                                const std::vector<std::pair<char16_t, uint16_t>>& cmap);

// The bare CFF font program of a face with CFF outlines, as a PDF embeds
// it: the charstrings of glyphs other than the given ones and glyph 0
// emptied, or for a CID-keyed face left out (a PDF selects glyphs by CID:
// see CffFont::Subset). Empty for a face with TrueType outlines.
std::vector<uint8_t> SubsetCff(const SfntFace& face, const std::vector<uint16_t>& glyphs);

}  // namespace pelm32::pdf
