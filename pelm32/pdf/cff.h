// The CFF font program of an OpenType face with CFF outlines (its 'CFF '
// table), read as far as subsetting it needs: its INDEXes and DICTs, the
// charstrings, the Private DICTs with their local subroutines, and for a
// CID-keyed font the CID and the Font DICT of each glyph. Every offset is
// checked when the table is read; the bytes are not copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pelm32::pdf {

namespace cff_detail {

// An INDEX: count objects whose offsets (offSize bytes each, 1-based) follow
// the header at start; end is just past the last object.
struct Index {
    size_t start = 0;
    size_t end = 0;
    uint32_t count = 0;
    uint8_t offSize = 0;
};
// Object i of a checked INDEX, within data.
void IndexObject(const uint8_t* data, const Index& index, uint32_t i, const uint8_t*& object,
                 size_t& length);

// One operator of a DICT with its operands (reals read as 0), and where the
// pair lies in the table so that it can be copied as it is.
struct DictEntry {
    uint16_t op;  // 0-21, or 1200 + the second byte of an escaped operator
    size_t begin;
    size_t end;
    std::vector<int64_t> operands;
};
constexpr uint16_t kCharset = 15, kEncoding = 16, kCharStrings = 17, kPrivate = 18, kSubrs = 19,
                   kCharstringType = 1206, kRos = 1230, kFdArray = 1236, kFdSelect = 1237;

struct PrivateDict {
    size_t offset = 0;
    std::vector<DictEntry> entries;
    bool hasSubrs = false;
    Index subrs;
};

}  // namespace cff_detail

class CffFont {
  public:
    // Reads a 'CFF ' table of a face of glyphCount glyphs. False, with the
    // reason in why, when it is malformed or holds no single font that can
    // be embedded.
    bool Read(const uint8_t* data, size_t size, uint16_t glyphCount, std::string& why);

    // Whether glyphs are keyed by CID (a ROS in the Top DICT), and a glyph's
    // CID: from the charset for a CID-keyed font, else the glyph id itself.
    bool CidKeyed() const { return !cids_.empty(); }
    uint16_t Cid(uint16_t glyph) const { return glyph < cids_.size() ? cids_[glyph] : glyph; }

    // The font program with the charstrings of glyphs not kept (kept is
    // indexed by glyph id) emptied, and the subroutines only they call
    // too: a bare CFF. Under the same glyph ids; or, when renumber is set
    // and the font is CID-keyed, only the glyphs kept, in order, under
    // their CIDs, which is all a PDF selects them by. The Encoding, which
    // a PDF's fonts replace, is dropped.
    std::vector<uint8_t> Subset(const std::vector<bool>& kept, bool renumber) const;

  private:
    bool ReadHeader(std::string& why);
    bool ReadTopDict(uint16_t glyphCount, std::string& why);
    bool ReadPrivate(const std::vector<cff_detail::DictEntry>& dict, std::string& why);
    bool ReadCidKeyed(uint16_t glyphCount, std::string& why);
    bool ReadCharset(uint16_t glyphCount, std::string& why);
    bool ReadFdSelect(uint16_t glyphCount, std::string& why);
    const cff_detail::PrivateDict& PrivateOf(uint16_t glyph) const;
    // The subroutines the kept glyphs call; false where the calls cannot be
    // followed.
    bool FindSubrsUsed(const std::vector<bool>& kept, std::vector<bool>& globals,
                       std::vector<std::vector<bool>>& locals) const;

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    cff_detail::Index names_, strings_, globalSubrs_, charStrings_, fdArray_;
    std::vector<cff_detail::DictEntry> top_;
    std::vector<std::vector<cff_detail::DictEntry>> fontDicts_;  // CID-keyed only
    std::vector<cff_detail::PrivateDict> privates_;              // one, or one per Font DICT
    size_t charsetOffset_ = 0;  // 0-2: a predefined charset, not in the table
    size_t charsetLength_ = 0;
    size_t fdSelectOffset_ = 0;
    size_t fdSelectLength_ = 0;
    std::vector<uint16_t> cids_;      // by glyph; CID-keyed only
    std::vector<uint8_t> fdOfGlyph_;  // by glyph; CID-keyed only
};

}  // namespace pelm32::pdf
