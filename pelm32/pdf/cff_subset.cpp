// The subset keeps every glyph id, so the CharStrings INDEX keeps one entry
// per glyph (an endchar for a glyph left out), and every subroutine number
// (a return for a subroutine no kept glyph calls). Offsets in the Top and
// Font DICTs are written in five bytes, so each DICT's size is known before
// the offsets are.
#include <algorithm>
#include <initializer_list>

#include "pelm32/pdf/cff.h"
#include "pelm32/pdf/sfnt.h"

namespace pelm32::pdf {

using namespace cff_detail;
using sfnt_detail::S16;
using sfnt_detail::U32;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kReturn = 11;
constexpr uint8_t kEndchar = 14;
constexpr int kMostNesting = 10;
constexpr size_t kMostSteps = size_t{1} << 26;  // operands and operators, for one subset

struct Span {
    const uint8_t* bytes;
    size_t length;
};

int Bias(uint32_t count) {
    return count < 1240 ? 107 : count < 33900 ? 1131 : 32768;
}

// Follows charstrings through the subroutines they call, marking those in
// use. Each call's number is the operand before it, so numbers are kept on
// a stack; hint masks are skipped by the count of stems declared before.
// False for what it does not follow: arithmetic, an accented glyph made of
// two standard ones (endchar with four operands), calls out of range, too
// deep or too long.
class SubrWalk {
  public:
    SubrWalk(const uint8_t* data, const Index& globals, std::vector<bool>& globalsUsed)
        : data_(data), globals_(globals), globalsUsed_(globalsUsed) {}

    bool Glyph(Span charstring, const Index* locals, std::vector<bool>* localsUsed) {
        locals_ = locals;
        localsUsed_ = localsUsed;
        count_ = 0;
        stems_ = 0;
        ended_ = false;
        return Run(charstring, 0);
    }

  private:
    bool Number(Span code, size_t& at) {
        const uint8_t b = code.bytes[at];
        const size_t width = b == 28 ? 3 : b == 255 ? 5 : b >= 247 ? 2 : 1;
        if (at + width > code.length || count_ == std::size(stack_)) {
            return false;
        }
        const uint8_t* p = code.bytes + at;
        if (b == 28) {
            stack_[count_++] = S16(p + 1);
        } else if (b == 255) {
            stack_[count_++] = static_cast<int32_t>(U32(p + 1)) >> 16;  // 16.16 fixed
        } else if (b >= 251) {
            stack_[count_++] = -(b - 251) * 256 - p[1] - 108;
        } else if (b >= 247) {
            stack_[count_++] = (b - 247) * 256 + p[1] + 108;
        } else {
            stack_[count_++] = b - 139;
        }
        at += width;
        return true;
    }

    bool Call(bool local, int depth) {
        const Index* subrs = local ? locals_ : &globals_;
        if (count_ == 0 || subrs == nullptr || depth == kMostNesting) {
            return false;
        }
        const int64_t number = stack_[--count_] + Bias(subrs->count);
        if (number < 0 || number >= subrs->count) {
            return false;
        }
        (local ? *localsUsed_ : globalsUsed_)[static_cast<size_t>(number)] = true;
        Span subr;
        IndexObject(data_, *subrs, static_cast<uint32_t>(number), subr.bytes, subr.length);
        return Run(subr, depth + 1);
    }

    bool Run(Span code, int depth) {
        for (size_t at = 0; at < code.length && !ended_;) {
            if (++steps_ > kMostSteps) {
                return false;
            }
            const uint8_t op = code.bytes[at];
            if (op >= 32 || op == 28) {
                if (!Number(code, at)) {
                    return false;
                }
                continue;
            }
            ++at;
            if (op == 10 || op == 29) {  // callsubr, callgsubr: the stack goes on
                if (!Call(op == 10, depth)) {
                    return false;
                }
                continue;
            }
            if (op == kReturn) {
                return true;
            }
            if (op == 1 || op == 3 || op == 18 || op == 23 || op == 19 || op == 20) {
                stems_ += count_ / 2;  // before a mask, operands are vertical stems
            }
            if (op == 19 || op == 20) {  // hintmask, cntrmask: a bit per stem follows
                at += (stems_ + 7) / 8;
            } else if (op == kEndchar) {
                ended_ = true;
                if (count_ >= 4) {
                    return false;
                }
            } else if (op == 12) {  // only the flex operators and dotsection
                const uint8_t escaped = at < code.length ? code.bytes[at++] : 0xFF;
                if (escaped != 0 && (escaped < 34 || escaped > 37)) {
                    return false;
                }
            }
            count_ = 0;
        }
        return true;
    }

    const uint8_t* data_;
    const Index& globals_;
    std::vector<bool>& globalsUsed_;
    const Index* locals_ = nullptr;
    std::vector<bool>* localsUsed_ = nullptr;
    int64_t stack_[48] = {};
    size_t count_ = 0;
    size_t stems_ = 0;
    size_t steps_ = 0;
    bool ended_ = false;
};

void PutU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void PutOffset(Bytes& out, uint32_t value, uint8_t width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// An INDEX of count objects, object(i) giving each one's bytes.
template <typename Object>
void PutIndex(Bytes& out, uint32_t count, const Object& object) {
    PutU16(out, static_cast<uint16_t>(count));
    if (count == 0) {
        return;
    }
    uint64_t end = 1;
    for (uint32_t i = 0; i < count; ++i) {
        end += object(i).length;
    }
    const uint8_t width = end <= 0xFF ? 1 : end <= 0xFFFF ? 2 : end <= 0xFFFFFF ? 3 : 4;
    out.push_back(width);
    uint32_t offset = 1;
    PutOffset(out, offset, width);
    for (uint32_t i = 0; i < count; ++i) {
        offset += static_cast<uint32_t>(object(i).length);
        PutOffset(out, offset, width);
    }
    for (uint32_t i = 0; i < count; ++i) {
        const Span span = object(i);
        out.insert(out.end(), span.bytes, span.bytes + span.length);
    }
}

void PutIndex(Bytes& out, const std::vector<Bytes>& objects) {
    PutIndex(out, static_cast<uint32_t>(objects.size()), [&objects](uint32_t i) {
        return Span{objects[i].data(), objects[i].size()};
    });
}

// An INDEX as it is, or with the objects not used replaced by filler.
void PutSubset(Bytes& out, const uint8_t* data, const Index& index, const std::vector<bool>& used,
               const uint8_t& filler) {
    PutIndex(out, index.count, [&](uint32_t i) {
        Span span{&filler, 1};
        if (used[i]) {
            IndexObject(data, index, i, span.bytes, span.length);
        }
        return span;
    });
}

// A DICT's entries but the dropped operators, as they are.
void CopyEntries(Bytes& out, const uint8_t* data, const std::vector<DictEntry>& dict,
                 std::initializer_list<uint16_t> dropped) {
    for (const DictEntry& entry : dict) {
        if (std::find(dropped.begin(), dropped.end(), entry.op) == dropped.end()) {
            out.insert(out.end(), data + entry.begin, data + entry.end);
        }
    }
}

// An operator with integer operands in five bytes each.
void PutEntry(Bytes& out, uint16_t op, std::initializer_list<size_t> operands) {
    for (const size_t operand : operands) {
        out.push_back(29);
        PutOffset(out, static_cast<uint32_t>(operand), 4);
    }
    if (op >= 1200) {
        out.push_back(12);
    }
    out.push_back(static_cast<uint8_t>(op % 1200));
}

// Where the parts after the fixed ones go in the subset.
struct Layout {
    size_t charset = 0, fdSelect = 0, charStrings = 0, fdArray = 0;
    std::vector<size_t> privates, privateSizes;
};

}  // namespace

bool CffFont::FindSubrsUsed(const std::vector<bool>& kept, std::vector<bool>& globals,
                            std::vector<std::vector<bool>>& locals) const {
    const bool everything = std::all_of(kept.begin(), kept.end(), [](bool k) { return k; });
    globals.assign(globalSubrs_.count, everything);
    locals.resize(privates_.size());
    for (size_t i = 0; i < privates_.size(); ++i) {
        locals[i].assign(privates_[i].subrs.count, everything);
    }
    SubrWalk walk(data_, globalSubrs_, globals);
    for (uint16_t glyph = 0; glyph < charStrings_.count && !everything; ++glyph) {
        if (!kept[glyph]) {
            continue;
        }
        const PrivateDict& own = PrivateOf(glyph);
        Span charstring;
        IndexObject(data_, charStrings_, glyph, charstring.bytes, charstring.length);
        if (!walk.Glyph(charstring, own.hasSubrs ? &own.subrs : nullptr,
                        &locals[static_cast<size_t>(&own - privates_.data())])) {
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> CffFont::Subset(const std::vector<bool>& kept, bool renumber) const {
    std::vector<bool> globalsUsed;
    std::vector<std::vector<bool>> localsUsed;
    if (!FindSubrsUsed(kept, globalsUsed, localsUsed)) {
        return Subset(std::vector<bool>(kept.size(), true), renumber);
    }
    // The glyphs the subset holds, glyph 0 first.
    const bool compact = renumber && CidKeyed();
    std::vector<uint16_t> glyphs;
    for (uint16_t glyph = 0; glyph < charStrings_.count; ++glyph) {
        if (!compact || glyph == 0 || kept[glyph]) {
            glyphs.push_back(glyph);
        }
    }

    Bytes head{1, 0, 4, 4}, strings(data_ + strings_.start, data_ + strings_.end), globals,
        charStrings;
    Span name;
    IndexObject(data_, names_, 0, name.bytes, name.length);
    PutIndex(head, 1, [&name](uint32_t) { return name; });
    PutSubset(globals, data_, globalSubrs_, globalsUsed, kReturn);
    PutIndex(charStrings, static_cast<uint32_t>(glyphs.size()), [&](uint32_t i) {
        Span span{&kEndchar, 1};
        if (kept[glyphs[i]]) {
            IndexObject(data_, charStrings_, glyphs[i], span.bytes, span.length);
        }
        return span;
    });
    // Format 0 of the charset (CIDs) and FDSelect (Font DICTs), glyph by glyph.
    Bytes charset{0}, fdSelect{0};
    for (size_t i = 1; compact && i < glyphs.size(); ++i) {
        PutU16(charset, cids_[glyphs[i]]);
    }
    for (size_t i = 0; compact && i < glyphs.size(); ++i) {
        fdSelect.push_back(fdOfGlyph_[glyphs[i]]);
    }
    if (!compact) {
        charset.assign(data_ + charsetOffset_, data_ + charsetOffset_ + charsetLength_);
        fdSelect.assign(data_ + fdSelectOffset_, data_ + fdSelectOffset_ + fdSelectLength_);
    }

    Layout at;
    std::vector<Bytes> privates(privates_.size());
    for (size_t i = 0; i < privates.size(); ++i) {
        CopyEntries(privates[i], data_, privates_[i].entries, {kSubrs});
        // Subroutines none of the glyphs calls go with their INDEX.
        if (std::find(localsUsed[i].begin(), localsUsed[i].end(), true) != localsUsed[i].end()) {
            PutEntry(privates[i], kSubrs, {privates[i].size() + 6});  // right after the DICT
            at.privateSizes.push_back(privates[i].size());
            PutSubset(privates[i], data_, privates_[i].subrs, localsUsed[i], kReturn);
        } else {
            at.privateSizes.push_back(privates[i].size());
        }
    }
    const auto topDict = [&](const Layout& layout) {
        Bytes dict, index;
        CopyEntries(dict, data_, top_,
                    {kEncoding, kCharStrings, kPrivate, kFdArray, kFdSelect,
                     charset.empty() ? kEncoding : kCharset});
        if (!charset.empty()) {
            PutEntry(dict, kCharset, {layout.charset});
        }
        PutEntry(dict, kCharStrings, {layout.charStrings});
        if (CidKeyed()) {
            PutEntry(dict, kFdArray, {layout.fdArray});
            PutEntry(dict, kFdSelect, {layout.fdSelect});
        } else {
            PutEntry(dict, kPrivate, {layout.privateSizes[0], layout.privates[0]});
        }
        PutIndex(index, {dict});
        return index;
    };
    const auto fdArray = [&](const Layout& layout) {
        std::vector<Bytes> dicts(fontDicts_.size());
        for (size_t i = 0; i < dicts.size(); ++i) {
            CopyEntries(dicts[i], data_, fontDicts_[i], {kPrivate});
            PutEntry(dicts[i], kPrivate, {layout.privateSizes[i], layout.privates[i]});
        }
        Bytes index;
        if (!dicts.empty()) {
            PutIndex(index, dicts);
        }
        return index;
    };

    at.privates.assign(privates.size(), 0);
    at.charset = head.size() + topDict(at).size() + strings.size() + globals.size();
    at.fdSelect = at.charset + charset.size();
    at.charStrings = at.fdSelect + fdSelect.size();
    at.fdArray = at.charStrings + charStrings.size();
    size_t next = at.fdArray + fdArray(at).size();
    for (size_t i = 0; i < privates.size(); ++i) {
        at.privates[i] = next;
        next += privates[i].size();
    }
    Bytes out = std::move(head);
    Bytes top = topDict(at), fonts = fdArray(at);
    for (const Bytes* part :
         {&top, &strings, &globals, &charset, &fdSelect, &charStrings, &fonts}) {
        out.insert(out.end(), part->begin(), part->end());
    }
    for (const Bytes& part : privates) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

}  // namespace pelm32::pdf
