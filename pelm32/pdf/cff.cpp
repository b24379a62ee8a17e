#include "pelm32/pdf/cff.h"

#include <algorithm>

#include "pelm32/pdf/sfnt.h"

namespace pelm32::pdf {

using namespace cff_detail;
using sfnt_detail::Fail;
using sfnt_detail::Fits;
using sfnt_detail::S16;
using sfnt_detail::U16;
using sfnt_detail::U32;

namespace {

uint32_t OffsetAt(const uint8_t* bytes, uint8_t width) {
    uint32_t value = 0;
    for (uint8_t i = 0; i < width; ++i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// Reads the INDEX at start: false when any part of it lies past size or
// its offsets go back.
bool ReadIndex(const uint8_t* data, size_t size, size_t start, Index& index) {
    index = Index{start, start + 2, 0, 0};
    if (!Fits(size, start, 2)) {
        return false;
    }
    index.count = U16(data + start);
    if (index.count == 0) {
        return true;
    }
    if (!Fits(size, start, 3)) {
        return false;
    }
    index.offSize = data[start + 2];
    const uint64_t table = uint64_t{index.offSize} * (index.count + 1);
    if (index.offSize < 1 || index.offSize > 4 || !Fits(size, start + 3, table) ||
        OffsetAt(data + start + 3, index.offSize) != 1) {
        return false;
    }
    uint32_t last = 1;
    for (uint32_t i = 1; i <= index.count; ++i) {
        const uint32_t offset = OffsetAt(data + start + 3 + i * index.offSize, index.offSize);
        if (offset < last) {
            return false;
        }
        last = offset;
    }
    const uint64_t base = start + 2 + table;  // offsets count from 1
    index.end = base + last;
    return Fits(size, base, last);
}

// The width of a real operand at bytes[0] (30, then nibbles up to an 0xF
// one); 0 when it runs past length.
size_t RealWidth(const uint8_t* bytes, size_t length) {
    for (size_t at = 1; at < length; ++at) {
        if ((bytes[at] & 0x0F) == 0x0F || (bytes[at] & 0xF0) == 0xF0) {
            return at + 1;
        }
    }
    return 0;
}

// A DICT operand at bytes (length bytes left): its value and width; false
// for a reserved byte or one cut short.
bool DictOperand(const uint8_t* bytes, size_t length, int64_t& value, size_t& width) {
    const uint8_t b = bytes[0];
    value = 0;
    if (b >= 32 && b <= 246) {
        width = 1;
        value = b - 139;
        return true;
    }
    if (b == 30) {
        width = RealWidth(bytes, length);
        return width != 0;
    }
    width = b == 28 ? 3 : b == 29 ? 5 : b >= 247 && b <= 254 ? 2 : 0;
    if (width == 0 || width > length) {
        return false;
    }
    if (b == 28) {
        value = S16(bytes + 1);
    } else if (b == 29) {
        value = static_cast<int32_t>(U32(bytes + 1));
    } else if (b <= 250) {
        value = (b - 247) * 256 + bytes[1] + 108;
    } else {
        value = -(b - 251) * 256 - bytes[1] - 108;
    }
    return true;
}

bool ReadDict(const uint8_t* data, size_t begin, size_t end, std::vector<DictEntry>& dict) {
    constexpr size_t kMostOperands = 48;
    dict.clear();
    std::vector<int64_t> operands;
    size_t entryBegin = begin;
    for (size_t at = begin; at < end;) {
        if (data[at] <= 21) {
            uint16_t op = data[at++];
            if (op == 12) {
                if (at == end) {
                    return false;
                }
                op = static_cast<uint16_t>(1200 + data[at++]);
            }
            dict.push_back({op, entryBegin, at, std::move(operands)});
            operands.clear();
            entryBegin = at;
            continue;
        }
        int64_t value;
        size_t width;
        if (operands.size() == kMostOperands || !DictOperand(data + at, end - at, value, width)) {
            return false;
        }
        operands.push_back(value);
        at += width;
    }
    return operands.empty();
}

const DictEntry* Find(const std::vector<DictEntry>& dict, uint16_t op) {
    for (const DictEntry& entry : dict) {
        if (entry.op == op) {
            return &entry;
        }
    }
    return nullptr;
}

// Operand i of an entry as an offset or a length within size bytes.
bool OffsetOperand(const DictEntry* entry, size_t i, size_t size, size_t& offset) {
    if (entry == nullptr || entry->operands.size() <= i || entry->operands[i] < 0 ||
        static_cast<uint64_t>(entry->operands[i]) > size) {
        return false;
    }
    offset = static_cast<size_t>(entry->operands[i]);
    return true;
}

}  // namespace

void cff_detail::IndexObject(const uint8_t* data, const Index& index, uint32_t i,
                             const uint8_t*& object, size_t& length) {
    const uint8_t* offsets = data + index.start + 3;
    const uint32_t begin = OffsetAt(offsets + size_t{i} * index.offSize, index.offSize);
    const uint32_t end = OffsetAt(offsets + (size_t{i} + 1) * index.offSize, index.offSize);
    object = data + index.start + 2 + size_t{index.offSize} * (index.count + 1) + begin;
    length = end - begin;
}

bool CffFont::Read(const uint8_t* data, size_t size, uint16_t glyphCount, std::string& why) {
    *this = CffFont();
    data_ = data;
    size_ = size;
    if (!ReadHeader(why) || !ReadTopDict(glyphCount, why)) {
        *this = CffFont();
        return false;
    }
    return true;
}

bool CffFont::ReadHeader(std::string& why) {
    if (size_ < 4 || data_[0] != 1 || data_[2] < 4) {
        return Fail(why, "the 'CFF ' table has no CFF header");
    }
    Index topDicts;
    if (!ReadIndex(data_, size_, data_[2], names_) ||
        !ReadIndex(data_, size_, names_.end, topDicts) ||
        !ReadIndex(data_, size_, topDicts.end, strings_) ||
        !ReadIndex(data_, size_, strings_.end, globalSubrs_)) {
        return Fail(why, "a CFF INDEX lies outside the table");
    }
    if (names_.count == 0 || topDicts.count == 0) {
        return Fail(why, "the CFF table holds no font");
    }
    const uint8_t* top;
    size_t length;
    IndexObject(data_, topDicts, 0, top, length);
    const size_t begin = static_cast<size_t>(top - data_);
    return ReadDict(data_, begin, begin + length, top_) || Fail(why, "a malformed CFF Top DICT");
}

bool CffFont::ReadTopDict(uint16_t glyphCount, std::string& why) {
    const DictEntry* type = Find(top_, kCharstringType);
    if (type != nullptr && (type->operands.size() != 1 || type->operands[0] != 2)) {
        return Fail(why, "CFF charstrings of a type other than 2");
    }
    size_t offset;
    if (!OffsetOperand(Find(top_, kCharStrings), 0, size_, offset) ||
        !ReadIndex(data_, size_, offset, charStrings_)) {
        return Fail(why, "the CFF CharStrings lie outside the table");
    }
    if (charStrings_.count != glyphCount) {
        return Fail(why, "the CFF CharStrings do not hold one charstring per glyph");
    }
    const DictEntry* charset = Find(top_, kCharset);
    // 0-2 name a predefined charset; anything else is an offset, checked when read.
    charsetOffset_ = charset != nullptr && !charset->operands.empty()
                         ? static_cast<size_t>(charset->operands[0])
                         : 0;
    if (Find(top_, kRos) != nullptr) {
        return ReadCidKeyed(glyphCount, why);
    }
    if (!ReadPrivate(top_, why)) {
        return false;
    }
    // A name-keyed font's charset is copied, not used: only its length counts.
    if (charsetOffset_ > 2 && !ReadCharset(glyphCount, why)) {
        return false;
    }
    cids_.clear();
    return true;
}

// The Private DICT a Top or Font DICT points to, and its local subroutines.
bool CffFont::ReadPrivate(const std::vector<DictEntry>& dict, std::string& why) {
    const DictEntry* entry = Find(dict, kPrivate);
    PrivateDict own;
    size_t length;
    if (!OffsetOperand(entry, 0, size_, length) || !OffsetOperand(entry, 1, size_, own.offset) ||
        !Fits(size_, own.offset, length) ||
        !ReadDict(data_, own.offset, own.offset + length, own.entries)) {
        return Fail(why, "a CFF Private DICT is missing or lies outside the table");
    }
    size_t subrs;
    own.hasSubrs = Find(own.entries, kSubrs) != nullptr;
    if (own.hasSubrs && (!OffsetOperand(Find(own.entries, kSubrs), 0, size_, subrs) ||
                         !ReadIndex(data_, size_, own.offset + subrs, own.subrs))) {
        return Fail(why, "CFF local subroutines lie outside the table");
    }
    privates_.push_back(std::move(own));
    return true;
}

bool CffFont::ReadCidKeyed(uint16_t glyphCount, std::string& why) {
    size_t offset;
    if (!OffsetOperand(Find(top_, kFdArray), 0, size_, offset) ||
        !ReadIndex(data_, size_, offset, fdArray_) || fdArray_.count == 0 || fdArray_.count > 256) {
        return Fail(why, "the CFF FDArray is missing or lies outside the table");
    }
    fontDicts_.resize(fdArray_.count);
    for (uint32_t i = 0; i < fdArray_.count; ++i) {
        const uint8_t* dict;
        size_t length;
        IndexObject(data_, fdArray_, i, dict, length);
        const size_t begin = static_cast<size_t>(dict - data_);
        if (!ReadDict(data_, begin, begin + length, fontDicts_[i])) {
            return Fail(why, "a malformed CFF Font DICT");
        }
        if (!ReadPrivate(fontDicts_[i], why)) {
            return false;
        }
    }
    if (!OffsetOperand(Find(top_, kFdSelect), 0, size_, fdSelectOffset_) ||
        !ReadFdSelect(glyphCount, why)) {
        return Fail(why, "the CFF FDSelect is missing, malformed or names no Font DICT");
    }
    return charsetOffset_ > 2 ? ReadCharset(glyphCount, why)
                              : Fail(why, "a CID-keyed CFF font without a charset");
}

// Formats 0 (one SID or CID per glyph), 1 and 2 (ranges of them), for every
// glyph but glyph 0.
bool CffFont::ReadCharset(uint16_t glyphCount, std::string& why) {
    const size_t start = charsetOffset_;
    if (!Fits(size_, start, 1) || data_[start] > 2) {
        return Fail(why, "the CFF charset is malformed or lies outside the table");
    }
    const uint8_t format = data_[start];
    cids_.assign(glyphCount, 0);
    size_t at = start + 1;
    for (size_t glyph = 1; glyph < glyphCount;) {
        const size_t width = format == 0 ? 2 : format == 1 ? 3 : 4;
        if (!Fits(size_, at, width)) {
            return Fail(why, "the CFF charset lies outside the table");
        }
        const uint32_t first = U16(data_ + at);
        const uint32_t left = format == 0 ? 0 : format == 1 ? data_[at + 2] : U16(data_ + at + 2);
        if (first + left > 0xFFFF) {
            return Fail(why, "the CFF charset runs past the last CID");
        }
        for (uint32_t i = 0; i <= left && glyph < glyphCount; ++i) {
            cids_[glyph++] = static_cast<uint16_t>(first + i);
        }
        at += width;
    }
    charsetLength_ = at - start;
    return true;
}

// Format 0 (a Font DICT per glyph) or 3 (ranges of glyphs, the first from
// glyph 0, then a sentinel past the last glyph).
bool CffFont::ReadFdSelect(uint16_t glyphCount, std::string&) {
    const size_t start = fdSelectOffset_;
    fdOfGlyph_.assign(glyphCount, 0);
    if (Fits(size_, start, 1 + size_t{glyphCount}) && data_[start] == 0) {
        std::copy_n(data_ + start + 1, glyphCount, fdOfGlyph_.begin());
        fdSelectLength_ = 1 + size_t{glyphCount};
    } else if (Fits(size_, start, 3) && data_[start] == 3) {
        const size_t ranges = U16(data_ + start + 1);
        fdSelectLength_ = 3 + 3 * ranges + 2;
        if (ranges == 0 || !Fits(size_, start, fdSelectLength_) || U16(data_ + start + 3) != 0 ||
            U16(data_ + start + 3 + 3 * ranges) < glyphCount) {
            return false;
        }
        for (size_t i = 0; i < ranges; ++i) {
            const uint8_t* range = data_ + start + 3 + 3 * i;
            const size_t first = U16(range), next = U16(range + 3);
            if (next <= first) {
                return false;
            }
            std::fill(fdOfGlyph_.begin() + std::min<size_t>(first, glyphCount),
                      fdOfGlyph_.begin() + std::min<size_t>(next, glyphCount), range[2]);
        }
    } else {
        return false;
    }
    return std::all_of(fdOfGlyph_.begin(), fdOfGlyph_.end(),
                       [this](uint8_t fd) { return fd < fontDicts_.size(); });
}

const PrivateDict& CffFont::PrivateOf(uint16_t glyph) const {
    return privates_[fdOfGlyph_.empty() ? 0 : fdOfGlyph_[glyph]];
}

}  // namespace pelm32::pdf
