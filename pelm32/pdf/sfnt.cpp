#include "pelm32/pdf/sfnt.h"

namespace pelm32::pdf {

using sfnt_detail::Fail;
using sfnt_detail::Fits;
using sfnt_detail::S16;
using sfnt_detail::Tag;
using sfnt_detail::U16;
using sfnt_detail::U32;

namespace {

// Lower is better; the chosen Unicode subtable is the best one that is whole.
constexpr int kUnusableCmap = 5;
int CmapRank(uint16_t platform, uint16_t encoding, uint16_t format) {
    if (format == 12) {
        if (platform == 3 && encoding == 10) {
            return 0;
        }
        return platform == 0 ? (encoding >= 4 ? 1 : 2) : kUnusableCmap;
    }
    if (format == 4) {
        if (platform == 3 && encoding == 1) {
            return 3;
        }
        return platform == 0 ? 4 : kUnusableCmap;
    }
    return kUnusableCmap;
}

// Whether a subtable's arrays lie within the extent bytes left in cmap. The
// format 4 length field is not trusted: large subtables overflow it.
bool CmapWhole(uint16_t format, const uint8_t* subtable, size_t extent) {
    if (format == 4) {
        return extent >= 16 && Fits(extent, 16, 8ull * (U16(subtable + 6) / 2));
    }
    return extent >= 16 && Fits(extent, 16, 12ull * U32(subtable + 12));
}

bool IsNameCharacter(uint16_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// Keeps the characters a PDF name holds without escapes; unit is 2 for
// UTF-16BE, 1 for single-byte text.
std::string ReducedName(const uint8_t* text, size_t length, size_t unit) {
    std::string name;
    for (size_t i = 0; i + unit <= length; i += unit) {
        const uint16_t c = unit == 2 ? U16(text + i) : text[i];
        if (IsNameCharacter(c)) {
            name += static_cast<char>(c);
        }
    }
    return name.empty() ? "Font" : name;
}

// Name id 6 from a Windows Unicode record, else from a Mac Roman one.
std::string PostScriptNameIn(const uint8_t* table, size_t length) {
    if (length < 6) {
        return "Font";
    }
    const uint16_t count = U16(table + 2);
    const size_t storage = U16(table + 4);
    const uint8_t* mac = nullptr;
    size_t macLength = 0;
    for (size_t i = 0; i < count && Fits(length, 6 + 12 * i, 12); ++i) {
        const uint8_t* record = table + 6 + 12 * i;
        const uint16_t platform = U16(record);
        const uint16_t encoding = U16(record + 2);
        const size_t textLength = U16(record + 8);
        const size_t textOffset = storage + U16(record + 10);
        if (U16(record + 6) != 6 || !Fits(length, textOffset, textLength)) {
            continue;
        }
        if (platform == 3 && encoding == 1) {
            return ReducedName(table + textOffset, textLength, 2);
        }
        if (platform == 1 && encoding == 0 && !mac) {
            mac = table + textOffset;
            macLength = textLength;
        }
    }
    return mac ? ReducedName(mac, macLength, 1) : "Font";
}

}  // namespace

bool SfntFace::Load(const uint8_t* data, size_t size, unsigned faceIndex, std::string& why) {
    *this = SfntFace();
    if (!ReadDirectory(data, size, faceIndex, why) || !ReadRequired(why)) {
        *this = SfntFace();
        return false;
    }
    ReadOptional();
    return true;
}

bool SfntFace::ReadDirectory(const uint8_t* data, size_t size, unsigned faceIndex,
                             std::string& why) {
    if (size < 12) {
        return Fail(why, "too short for a font file");
    }
    uint64_t directory = 0;
    if (U32(data) == Tag("ttcf")) {
        if (faceIndex >= U32(data + 8) || !Fits(size, 12 + 4ull * faceIndex, 4)) {
            return Fail(why, "the collection has no such face");
        }
        directory = U32(data + 12 + 4 * size_t{faceIndex});
    } else if (faceIndex != 0) {
        return Fail(why, "a single font file has only face 0");
    }
    if (!Fits(size, directory, 12)) {
        return Fail(why, "the table directory lies outside the file");
    }
    const uint32_t version = U32(data + directory);
    if (version != 0x00010000 && version != Tag("true") && version != Tag("OTTO")) {
        return Fail(why, "not a TrueType or OpenType font");
    }
    const uint16_t count = U16(data + directory + 4);
    if (!Fits(size, directory + 12, 16ull * count)) {
        return Fail(why, "the table directory lies outside the file");
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + directory + 12 + 16 * i;
        const TableEntry table{U32(entry), U32(entry + 8), U32(entry + 12)};
        if (!Fits(size, table.offset, table.length)) {
            return Fail(why, "a table lies outside the file");
        }
        tables_.push_back(table);
    }
    data_ = data;
    size_ = size;
    return true;
}

bool SfntFace::ReadRequired(std::string& why) {
    const uint8_t *head, *maxp, *hhea, *cmap;
    size_t headLength, maxpLength, hheaLength, cmapLength;
    if (!Table("head", head, headLength) || !Table("maxp", maxp, maxpLength) ||
        !Table("hhea", hhea, hheaLength) || !Table("hmtx", hmtx_, hmtxLength_) ||
        !Table("cmap", cmap, cmapLength)) {
        return Fail(why, "a required table (head, maxp, hhea, hmtx, cmap) is missing");
    }
    if (headLength < 54 || maxpLength < 6 || hheaLength < 36) {
        return Fail(why, "head, maxp or hhea is too short");
    }
    if (!ReadHead(head, why) || !ReadGlyphCount(maxp, why) || !ReadOutlines(why) ||
        !ReadHorizontalMetrics(hhea, why)) {
        return false;
    }
    ChooseCmap(cmap, cmapLength);
    return true;
}

bool SfntFace::ReadHead(const uint8_t* head, std::string& why) {
    unitsPerEm_ = U16(head + 18);
    xMin_ = S16(head + 36);
    yMin_ = S16(head + 38);
    xMax_ = S16(head + 40);
    yMax_ = S16(head + 42);
    indexToLocFormat_ = U16(head + 50);
    if (unitsPerEm_ < 16 || unitsPerEm_ > 16384) {
        return Fail(why, "unitsPerEm is out of range");
    }
    return indexToLocFormat_ <= 1 || Fail(why, "unknown indexToLocFormat");
}

bool SfntFace::ReadGlyphCount(const uint8_t* maxp, std::string& why) {
    glyphCount_ = U16(maxp + 4);
    return glyphCount_ != 0 || Fail(why, "no glyphs");
}

// TrueType outlines when the face has them, else CFF ones.
bool SfntFace::ReadOutlines(std::string& why) {
    const uint8_t* bytes;
    size_t length;
    if (Table("glyf", bytes, length)) {
        const uint64_t offsetSize = indexToLocFormat_ ? 4 : 2;
        if (!Table("loca", bytes, length)) {
            return Fail(why, "a 'glyf' table without 'loca'");
        }
        return Fits(length, 0, (glyphCount_ + 1ull) * offsetSize) || Fail(why, "loca is too short");
    }
    if (Table("CFF ", bytes, length)) {
        cffOutlines_ = true;
        return cff_.Read(bytes, length, glyphCount_, why);
    }
    return Fail(why, Table("CFF2", bytes, length)
                         ? "CFF2 outlines (a variable font) cannot be embedded"
                         : "no outlines: neither a 'glyf' nor a 'CFF ' table");
}

bool SfntFace::ReadHorizontalMetrics(const uint8_t* hhea, std::string& why) {
    ascender_ = S16(hhea + 4);
    descender_ = S16(hhea + 6);
    lineGap_ = S16(hhea + 8);
    numberOfHMetrics_ = U16(hhea + 34);
    return (numberOfHMetrics_ >= 1 && numberOfHMetrics_ <= glyphCount_ &&
            Fits(hmtxLength_, 0, 4ull * numberOfHMetrics_)) ||
           Fail(why, "numberOfHMetrics does not fit the glyphs or hmtx");
}

void SfntFace::ReadOptional() {
    const uint8_t* table;
    size_t length;
    capHeight_ = static_cast<int16_t>(ascender_ * 7 / 10);
    if (Table("OS/2", table, length) && length >= 6) {
        weight_ = U16(table + 4);
        // sCapHeight came with version 2; some fonts leave it zero.
        if (U16(table) >= 2 && length >= 90 && S16(table + 88) > 0) {
            capHeight_ = S16(table + 88);
        }
    }
    if (Table("post", table, length) && length >= 16) {
        italicAngle_ = static_cast<int32_t>(U32(table + 4)) / 65536.0;
        fixedPitch_ = U32(table + 12) != 0;
    }
    postScriptName_ = Table("name", table, length) ? PostScriptNameIn(table, length) : "Font";
}

void SfntFace::ChooseCmap(const uint8_t* cmap, size_t length) {
    if (length < 4) {
        return;
    }
    int best = kUnusableCmap;
    const uint16_t count = U16(cmap + 2);
    for (size_t i = 0; i < count && Fits(length, 4 + 8 * i, 8); ++i) {
        const uint8_t* record = cmap + 4 + 8 * i;
        const uint32_t offset = U32(record + 4);
        if (!Fits(length, offset, 2)) {
            continue;
        }
        const uint8_t* subtable = cmap + offset;
        const uint16_t format = U16(subtable);
        const int rank = CmapRank(U16(record), U16(record + 2), format);
        if (rank < best && CmapWhole(format, subtable, length - offset)) {
            best = rank;
            cmap_ = subtable;
            cmapLength_ = length - offset;
            cmapFormat_ = format;
        }
    }
}

uint16_t SfntFace::Glyph(char32_t character) const {
    uint64_t glyph = 0;
    if (cmapFormat_ == 4) {
        glyph = Format4Glyph(character);
    } else if (cmapFormat_ == 12) {
        glyph = Format12Glyph(character);
    }
    return glyph < glyphCount_ ? static_cast<uint16_t>(glyph) : 0;
}

uint64_t SfntFace::Format4Glyph(char32_t character) const {
    if (character > 0xFFFF) {
        return 0;
    }
    const size_t segments = U16(cmap_ + 6) / 2;
    const size_t ends = 14, starts = ends + 2 * segments + 2, deltas = starts + 2 * segments,
                 rangeOffsets = deltas + 2 * segments;
    // The first segment ending at or after the character.
    size_t low = 0, high = segments;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (U16(cmap_ + ends + 2 * middle) < character) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low == segments || U16(cmap_ + starts + 2 * low) > character) {
        return 0;
    }
    const uint16_t delta = U16(cmap_ + deltas + 2 * low);
    const uint16_t rangeOffset = U16(cmap_ + rangeOffsets + 2 * low);
    if (rangeOffset == 0) {
        return (character + delta) & 0xFFFF;
    }
    // idRangeOffset counts bytes from its own slot into glyphIdArray.
    const size_t at = rangeOffsets + 2 * low + rangeOffset +
                      2 * size_t{character - U16(cmap_ + starts + 2 * low)};
    if (!Fits(cmapLength_, at, 2)) {
        return 0;
    }
    const uint16_t glyph = U16(cmap_ + at);
    return glyph == 0 ? 0 : (glyph + delta) & 0xFFFF;
}

uint64_t SfntFace::Format12Glyph(char32_t character) const {
    const size_t groups = U32(cmap_ + 12);
    const uint8_t* group = cmap_ + 16;
    // The first group ending at or after the character.
    size_t low = 0, high = groups;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (U32(group + 12 * middle + 4) < character) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low == groups || U32(group + 12 * low) > character) {
        return 0;
    }
    return uint64_t{U32(group + 12 * low + 8)} + (character - U32(group + 12 * low));
}

uint16_t SfntFace::Advance(uint16_t glyph) const {
    if (glyph >= glyphCount_) {
        return 0;
    }
    const size_t metric = glyph < numberOfHMetrics_ ? glyph : numberOfHMetrics_ - 1;
    return U16(hmtx_ + 4 * metric);
}

bool SfntFace::Table(const char tag[4], const uint8_t*& bytes, size_t& length) const {
    for (const TableEntry& table : tables_) {
        if (table.tag == Tag(tag)) {
            bytes = data_ + table.offset;
            length = table.length;
            return true;
        }
    }
    return false;
}

}  // namespace pelm32::pdf
