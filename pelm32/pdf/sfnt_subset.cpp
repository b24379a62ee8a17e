// The subset keeps every glyph id: glyphs left out get empty outlines, so a
// long loca with one entry per glyph of the face (or, for CFF outlines, a
// charstring each: see cff_subset.cpp).
#include <algorithm>
#include <cstring>

#include "pelm32/pdf/sfnt.h"

namespace pelm32::pdf {

using sfnt_detail::S16;
using sfnt_detail::Tag;
using sfnt_detail::U16;
using sfnt_detail::U32;

namespace {

using Bytes = std::vector<uint8_t>;

struct OutputTable {
    uint32_t tag;
    Bytes bytes;
};

void PutU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void PutU32(Bytes& out, uint32_t value) {
    PutU16(out, static_cast<uint16_t>(value >> 16));
    PutU16(out, static_cast<uint16_t>(value));
}

void SetU32(Bytes& out, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
}

void PadTo4(Bytes& out) {
    out.resize((out.size() + 3) & ~size_t{3}, 0);
}

// The sum of a table's big-endian 32-bit words, the last one zero-padded.
uint32_t Checksum(const uint8_t* bytes, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; i += 4) {
        uint32_t word = 0;
        for (size_t j = i; j < i + 4; ++j) {
            word = word << 8 | (j < length ? bytes[j] : 0);
        }
        sum += word;
    }
    return sum;
}

// The searchRange, entrySelector and rangeShift of a table of count
// entries of unit bytes each.
void PutSearchFields(Bytes& out, uint16_t count, uint16_t unit) {
    uint16_t power = 1, log = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log;
    }
    PutU16(out, static_cast<uint16_t>(power * unit));
    PutU16(out, log);
    PutU16(out, static_cast<uint16_t>((count - power) * unit));
}

// Where each glyph starts in glyf, and where the last one ends; empty when
// the offsets go backwards or past glyf's end.
std::vector<uint32_t> GlyphOffsets(const uint8_t* loca, bool longOffsets, size_t glyphCount,
                                   size_t glyfLength) {
    std::vector<uint32_t> offsets(glyphCount + 1);
    for (size_t i = 0; i <= glyphCount; ++i) {
        offsets[i] = longOffsets ? U32(loca + 4 * i) : 2u * U16(loca + 2 * i);
        if (i > 0 && offsets[i] < offsets[i - 1]) {
            return {};
        }
    }
    if (offsets.back() > glyfLength) {
        return {};
    }
    return offsets;
}

// Adds the glyphs a composite glyph is made of. Any instructions follow the
// last component and stay with the glyph's bytes.
void AddComponents(const uint8_t* glyph, size_t length, std::vector<uint16_t>& glyphs) {
    constexpr uint16_t kArgsAreWords = 0x0001, kScale = 0x0008, kMoreComponents = 0x0020,
                       kXYScale = 0x0040, kTwoByTwo = 0x0080;
    if (length < 10 || S16(glyph) >= 0) {
        return;
    }
    size_t at = 10;
    uint16_t flags = kMoreComponents;
    while ((flags & kMoreComponents) && at + 4 <= length) {
        flags = U16(glyph + at);
        glyphs.push_back(U16(glyph + at + 2));
        at += 4 + ((flags & kArgsAreWords) ? 4 : 2);
        if (flags & kScale) {
            at += 2;
        } else if (flags & kXYScale) {
            at += 4;
        } else if (flags & kTwoByTwo) {
            at += 8;
        }
    }
}

// The glyphs whose outlines the subset keeps: glyph 0, the asked ones, the
// cmap's, and every component of those (TrueType outlines, when glyf is
// given).
std::vector<bool> KeptGlyphs(size_t glyphCount, const std::vector<uint16_t>& glyphs,
                             const std::vector<std::pair<char16_t, uint16_t>>& cmap,
                             const std::vector<uint32_t>& offsets, const uint8_t* glyf) {
    std::vector<bool> kept(glyphCount);
    std::vector<uint16_t> pending(glyphs);
    pending.push_back(0);
    for (const auto& [character, glyph] : cmap) {
        pending.push_back(glyph);
    }
    while (!pending.empty()) {
        const uint16_t glyph = pending.back();
        pending.pop_back();
        if (glyph < kept.size() && !kept[glyph]) {
            kept[glyph] = true;
            if (glyf != nullptr) {
                AddComponents(glyf + offsets[glyph], offsets[glyph + 1] - offsets[glyph], pending);
            }
        }
    }
    return kept;
}

// The new glyf and its long loca.
void CopyOutlines(const std::vector<bool>& kept, const std::vector<uint32_t>& offsets,
                  const uint8_t* glyf, Bytes& newGlyf, Bytes& newLoca) {
    for (size_t glyph = 0; glyph < kept.size(); ++glyph) {
        PutU32(newLoca, static_cast<uint32_t>(newGlyf.size()));
        if (kept[glyph]) {
            newGlyf.insert(newGlyf.end(), glyf + offsets[glyph], glyf + offsets[glyph + 1]);
            PadTo4(newGlyf);
        }
    }
    PutU32(newLoca, static_cast<uint32_t>(newGlyf.size()));
}

// A (3,1) format 4 cmap: one segment per run of consecutive characters with
// consecutive glyphs, then the closing 0xFFFF segment. Empty when the
// segments overflow the subtable's 16-bit length.
Bytes UnicodeCmap(std::vector<std::pair<char16_t, uint16_t>> map) {
    struct Segment {
        uint16_t start, end, delta;
    };
    std::stable_sort(map.begin(), map.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Segment> segments;
    for (const auto& [character, glyph] : map) {
        const auto delta = static_cast<uint16_t>(glyph - character);
        if (character == 0xFFFF || (!segments.empty() && segments.back().end >= character)) {
            continue;  // 0xFFFF closes the table; a repeated character keeps its first glyph
        }
        if (!segments.empty() && segments.back().end + 1 == character &&
            segments.back().delta == delta) {
            segments.back().end = character;
        } else {
            segments.push_back({character, character, delta});
        }
    }
    segments.push_back({0xFFFF, 0xFFFF, 1});
    const size_t length = 16 + 8 * segments.size();
    if (length > 0xFFFF) {
        return {};
    }
    const auto count = static_cast<uint16_t>(segments.size());
    Bytes out;
    PutU16(out, 0);  // version
    PutU16(out, 1);  // one subtable: Windows, Unicode BMP, right after this header
    PutU16(out, 3);
    PutU16(out, 1);
    PutU32(out, 12);
    PutU16(out, 4);  // format
    PutU16(out, static_cast<uint16_t>(length));
    PutU16(out, 0);  // language
    PutU16(out, static_cast<uint16_t>(2 * count));
    PutSearchFields(out, count, 2);
    for (const Segment& segment : segments) {
        PutU16(out, segment.end);
    }
    PutU16(out, 0);
    for (const Segment& segment : segments) {
        PutU16(out, segment.start);
    }
    for (const Segment& segment : segments) {
        PutU16(out, segment.delta);
    }
    out.resize(out.size() + 2 * segments.size(), 0);  // no idRangeOffset
    return out;
}

// head as the face has it, but announcing long loca offsets, with the
// checksum adjustment cleared until the whole font is known.
// The metrics of the glyphs not kept are zeroed: a large face's table then
// compresses to almost nothing. The last long metric keeps its advance,
// which every glyph after it shares.
Bytes SubsetMetrics(const uint8_t* hmtx, size_t length, const std::vector<bool>& kept,
                    uint16_t longMetrics) {
    Bytes out(hmtx, hmtx + length);
    for (size_t glyph = 0; glyph < kept.size(); ++glyph) {
        if (kept[glyph]) {
            continue;
        }
        const bool isLong = glyph < longMetrics;
        const size_t at = isLong ? glyph * 4 : size_t{longMetrics} * 4 + (glyph - longMetrics) * 2;
        const size_t width = isLong ? 4 : 2;
        if (at + width > out.size()) {
            break;
        }
        const size_t from = isLong && glyph + 1 == longMetrics ? at + 2 : at;
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(from),
                  out.begin() + static_cast<std::ptrdiff_t>(at + width), 0);
    }
    return out;
}

Bytes SubsetHead(const uint8_t* head, size_t length) {
    Bytes out(head, head + length);
    SetU32(out, 8, 0);
    out[50] = 0;
    out[51] = 1;
    return out;
}

// The font file: directory sorted by tag, each table 4-byte aligned.
Bytes Assemble(uint32_t version, std::vector<OutputTable> tables) {
    std::sort(tables.begin(), tables.end(),
              [](const OutputTable& a, const OutputTable& b) { return a.tag < b.tag; });
    const auto count = static_cast<uint16_t>(tables.size());
    Bytes out;
    PutU32(out, version);
    PutU16(out, count);
    PutSearchFields(out, count, 16);
    size_t offset = out.size() + 16 * tables.size();
    size_t headOffset = 0;
    for (const OutputTable& table : tables) {
        PutU32(out, table.tag);
        PutU32(out, Checksum(table.bytes.data(), table.bytes.size()));
        PutU32(out, static_cast<uint32_t>(offset));
        PutU32(out, static_cast<uint32_t>(table.bytes.size()));
        if (table.tag == Tag("head")) {
            headOffset = offset;
        }
        offset += (table.bytes.size() + 3) & ~size_t{3};
    }
    for (const OutputTable& table : tables) {
        out.insert(out.end(), table.bytes.begin(), table.bytes.end());
        PadTo4(out);
    }
    SetU32(out, headOffset + 8, 0xB1B0AFBA - Checksum(out.data(), out.size()));
    return out;
}

}  // namespace

std::vector<uint8_t> SubsetFace(const SfntFace& face, const std::vector<uint16_t>& glyphs,
                                const std::vector<std::pair<char16_t, uint16_t>>& cmap) {
    const uint8_t *loca, *glyf, *head;
    size_t locaLength, glyfLength, headLength;
    if (!face.Table("head", head, headLength)) {
        return {};
    }
    std::vector<OutputTable> tables;
    std::vector<bool> kept;
    if (face.CffOutlines()) {
        kept = KeptGlyphs(face.GlyphCount(), glyphs, cmap, {}, nullptr);
        tables.push_back({Tag("CFF "), face.cff_.Subset(kept, false)});
    } else {
        if (!face.Table("loca", loca, locaLength) || !face.Table("glyf", glyf, glyfLength)) {
            return {};
        }
        const std::vector<uint32_t> offsets =
            GlyphOffsets(loca, face.indexToLocFormat_ == 1, face.GlyphCount(), glyfLength);
        if (offsets.empty()) {
            return {};
        }
        kept = KeptGlyphs(face.GlyphCount(), glyphs, cmap, offsets, glyf);
        tables.push_back({Tag("glyf"), {}});
        tables.push_back({Tag("loca"), {}});
        CopyOutlines(kept, offsets, glyf, tables[0].bytes, tables[1].bytes);
    }
    tables.push_back({Tag("head"), SubsetHead(head, headLength)});
    for (const char* tag : {"hhea", "hmtx", "maxp", "cvt ", "fpgm", "prep"}) {
        const uint8_t* bytes;
        size_t length;
        if (!face.Table(tag, bytes, length)) {
            continue;
        }
        tables.push_back({Tag(tag), std::strcmp(tag, "hmtx") == 0
                                        ? SubsetMetrics(bytes, length, kept, face.numberOfHMetrics_)
                                        : Bytes(bytes, bytes + length)});
    }
    if (!cmap.empty()) {
        tables.push_back({Tag("cmap"), UnicodeCmap(cmap)});
        if (tables.back().bytes.empty()) {
            return {};
        }
    }
    return Assemble(face.CffOutlines() ? Tag("OTTO") : 0x00010000, std::move(tables));
}

std::vector<uint8_t> SubsetCff(const SfntFace& face, const std::vector<uint16_t>& glyphs) {
    if (!face.CffOutlines()) {
        return {};
    }
    return face.cff_.Subset(KeptGlyphs(face.GlyphCount(), glyphs, {}, {}, nullptr), true);
}

}  // namespace pelm32::pdf
