// Faces through GDI: the face the system selects for a family name, its
// bytes read back with GetFontData. A family the system lacks gets the
// font mapper's fixed-pitch modern face, as reports are laid out in columns
// (Windows without Courier New, or Wine, whose loose name matching would
// otherwise give a proportional face).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <utility>

#include "pelm32/core/font_source.h"
#include "pelm32/win32/windows_text.h"

namespace pelm32 {

namespace {

constexpr DWORD kCollectionTag = 0x66637474;      // 'ttcf', the whole collection file
constexpr DWORD kCmapTag = 0x70616d63;            // 'cmap'
constexpr DWORD kBeyondBmpBit = 1u << (57 - 32);  // OS/2 Unicode range 57, in its second word

class FontData : public FontBytes {
  public:
    explicit FontData(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    const uint8_t* Data() const override { return bytes_.data(); }
    size_t Size() const override { return bytes_.size(); }

  private:
    std::vector<uint8_t> bytes_;
};

uint16_t BigEndian16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] << 8 | at[1]);
}

uint32_t BigEndian32(const uint8_t* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

// The characters beyond the Basic Multilingual Plane that a cmap table's
// first format 12 subtable maps, as ranges; every offset checked.
std::vector<std::pair<char32_t, char32_t>> BeyondBmpRanges(const std::vector<uint8_t>& cmap) {
    std::vector<std::pair<char32_t, char32_t>> ranges;
    const size_t size = cmap.size();
    const size_t tables = size >= 4 ? BigEndian16(&cmap[2]) : 0;
    for (size_t i = 0; i < tables && 4 + 8 * (i + 1) <= size; ++i) {
        const size_t at = BigEndian32(&cmap[4 + 8 * i + 4]);
        if (at + 16 > size || BigEndian16(&cmap[at]) != 12) {
            continue;
        }
        const size_t groups = BigEndian32(&cmap[at + 12]);
        for (size_t g = 0; g < groups && at + 16 + 12 * (g + 1) <= size; ++g) {
            const uint8_t* group = &cmap[at + 16 + 12 * g];
            const char32_t first = std::max<char32_t>(BigEndian32(group), 0x10000);
            const char32_t last = std::min<char32_t>(BigEndian32(group + 4), 0x10FFFF);
            if (first <= last) {
                ranges.emplace_back(first, last);
            }
        }
        break;
    }
    return ranges;
}

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Whether the system has a family of that name itself, not through the
// font mapper's choice.
bool HasFamily(const std::wstring& name) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, name.c_str(), LF_FACESIZE - 1);
    bool found = false;
    HDC dc = CreateCompatibleDC(nullptr);
    EnumFontFamiliesExW(dc, &wanted, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
    DeleteDC(dc);
    return found;
}

// A memory device context with the face a family name selects: among all
// outline faces (TrueType, OpenType with CFF outlines, Type 1), or among
// TrueType ones only.
class SelectedFace {
  public:
    explicit SelectedFace(const std::string& family, BYTE precision = OUT_OUTLINE_PRECIS,
                          BYTE pitchAndFamily = DEFAULT_PITCH)
        : dc_(CreateCompatibleDC(nullptr)) {
        LOGFONTW font{};
        font.lfHeight = -256;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfOutPrecision = precision;
        font.lfPitchAndFamily = pitchAndFamily;
        const std::wstring name = Wide(family);
        wcsncpy(font.lfFaceName, name.c_str(), LF_FACESIZE - 1);
        font_ = CreateFontIndirectW(&font);
        if (dc_ != nullptr && font_ != nullptr) {
            old_ = SelectObject(dc_, font_);
        }
    }
    ~SelectedFace() {
        if (old_ != nullptr) {
            SelectObject(dc_, old_);
        }
        if (font_ != nullptr) {
            DeleteObject(font_);
        }
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    SelectedFace(const SelectedFace&) = delete;
    SelectedFace& operator=(const SelectedFace&) = delete;

    bool Good() const { return old_ != nullptr; }
    std::string Name() const {
        wchar_t name[LF_FACESIZE] = {};
        return GetTextFaceW(dc_, LF_FACESIZE, name) > 0 ? Utf8(name) : std::string();
    }
    // A table (0: the face from its start), empty when there is none.
    std::vector<uint8_t> Table(DWORD tag, DWORD size = GDI_ERROR) const {
        if (size == GDI_ERROR) {
            size = GetFontData(dc_, tag, 0, nullptr, 0);
        }
        if (size == GDI_ERROR || size == 0) {
            return {};
        }
        std::vector<uint8_t> bytes(size);
        if (GetFontData(dc_, tag, 0, bytes.data(), size) != size) {
            return {};
        }
        return bytes;
    }

    // The face's pitch and the characters it covers, into face: those of the
    // Basic Multilingual Plane from GDI, those beyond it from the face's own
    // cmap, read only for faces whose signature says they have some.
    template <typename Face>
    bool Covering(Face& face) const {
        TEXTMETRICW metrics{};
        const DWORD size = GetFontUnicodeRanges(dc_, nullptr);
        if (!Good() || size == 0 || !GetTextMetricsW(dc_, &metrics)) {
            return false;
        }
        // The flag is set for a variable pitch, despite its name.
        face.fixedPitch = (metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0;
        std::vector<uint8_t> space(size);
        auto* set = reinterpret_cast<GLYPHSET*>(space.data());
        set->cbThis = size;
        if (GetFontUnicodeRanges(dc_, set) == 0) {
            return false;
        }
        for (DWORD i = 0; i < set->cRanges; ++i) {
            const char32_t first = set->ranges[i].wcLow;
            face.ranges.emplace_back(first, first + set->ranges[i].cGlyphs - 1);
        }
        FONTSIGNATURE signature{};
        GetTextCharsetInfo(dc_, &signature, 0);
        if ((signature.fsUsb[1] & kBeyondBmpBit) != 0) {
            for (const auto& range : BeyondBmpRanges(Table(kCmapTag))) {
                face.ranges.push_back(range);
            }
        }
        std::sort(face.ranges.begin(), face.ranges.end());
        return true;
    }

  private:
    HDC dc_;
    HFONT font_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// Which face of a collection is the selected one: the one whose table
// directory starts with the same bytes as the selected face's own data.
unsigned IndexInCollection(const SelectedFace& face, const std::vector<uint8_t>& collection) {
    const std::vector<uint8_t> own = face.Table(0, 12);
    if (own.size() < 12 || collection.size() < 12) {
        return 0;
    }
    const uint32_t count = BigEndian32(&collection[8]);
    for (uint32_t index = 0; index < count && 12 + 4 * (index + 1) <= collection.size(); ++index) {
        const uint32_t offset = BigEndian32(&collection[12 + 4 * index]);
        if (offset + own.size() <= collection.size() &&
            std::memcmp(&collection[offset], own.data(), own.size()) == 0) {
            return index;
        }
    }
    return 0;
}

// A face the system has, with the characters it covers and its pitch.
struct CoveringFace {
    FontFileRef face;
    bool fixedPitch = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;  // first, last, ascending

    bool Covers(char32_t character) const {
        auto after = std::upper_bound(
            ranges.begin(), ranges.end(), character,
            [](char32_t c, const std::pair<char32_t, char32_t>& range) { return c < range.first; });
        return after != ranges.begin() && character <= std::prev(after)->second;
    }
};

int CALLBACK AddFamily(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD type, LPARAM names) {
    // Outline faces come with a NEWTEXTMETRICEX, whose flags tell OpenType
    // faces with CFF outlines. Vertical faces ("@...") are the same faces turned.
    const bool cff =
        (type & RASTER_FONTTYPE) == 0 &&
        (reinterpret_cast<const NEWTEXTMETRICEXW*>(metrics)->ntmTm.ntmFlags & NTM_PS_OPENTYPE) != 0;
    if (((type & TRUETYPE_FONTTYPE) != 0 || cff) && font->lfFaceName[0] != L'@') {
        reinterpret_cast<std::vector<std::wstring>*>(names)->push_back(font->lfFaceName);
    }
    return 1;
}

class GdiFontSource : public FontSource {
  public:
    bool FindFaceFile(const std::string& family, FontFileRef& face) override;
    std::vector<FontFileRef> FindFacesFor(const std::string& family, char32_t character) override;

  private:
    const std::vector<CoveringFace>& CoveringFaces();

    std::map<std::string, FontFileRef> found_;
    std::vector<CoveringFace> covering_;
    bool coveringKnown_ = false;
};

bool GdiFontSource::FindFaceFile(const std::string& family, FontFileRef& face) {
    if (const auto known = found_.find(family); known != found_.end()) {
        face = known->second;
        return true;
    }
    // The family's own outline face first; when GDI gives no font data for
    // it (a Type 1 face), the TrueType face the font mapper puts in its place.
    const BYTE pitch = HasFamily(Wide(family)) ? DEFAULT_PITCH : FIXED_PITCH | FF_MODERN;
    for (const BYTE precision : {BYTE{OUT_OUTLINE_PRECIS}, BYTE{OUT_TT_ONLY_PRECIS}}) {
        SelectedFace selected(family, precision, pitch);
        const std::string name = selected.Good() ? selected.Name() : std::string();
        if (name.empty() || selected.Table(0, 12).empty()) {
            continue;
        }
        face = FontFileRef{name, 0, name, {}};
        const std::vector<uint8_t> collection = selected.Table(kCollectionTag);
        if (!collection.empty()) {
            face.index = IndexInCollection(selected, collection);
        }
        found_.emplace(family, face);
        return true;
    }
    return false;
}

// Every family with TrueType or CFF outlines the system has, with what it
// covers; made once.
const std::vector<CoveringFace>& GdiFontSource::CoveringFaces() {
    if (coveringKnown_) {
        return covering_;
    }
    coveringKnown_ = true;
    std::vector<std::wstring> names;
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &all, AddFamily, reinterpret_cast<LPARAM>(&names), 0);
    DeleteDC(dc);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const std::wstring& name : names) {
        CoveringFace face;
        if (FindFaceFile(Utf8(name), face.face) && SelectedFace(face.face.family).Covering(face)) {
            covering_.push_back(std::move(face));
        }
    }
    return covering_;
}

// Faces that have the character, those of the family's pitch first.
std::vector<FontFileRef> GdiFontSource::FindFacesFor(const std::string& family,
                                                     char32_t character) {
    CoveringFace wanted;
    const bool fixedPitch = FindFaceFile(family, wanted.face) &&
                            SelectedFace(wanted.face.family).Covering(wanted) && wanted.fixedPitch;
    std::vector<FontFileRef> same;
    std::vector<FontFileRef> other;
    for (const CoveringFace& face : CoveringFaces()) {
        if (face.face.family != wanted.face.family && face.Covers(character)) {
            (face.fixedPitch == fixedPitch ? same : other).push_back(face.face);
        }
    }
    same.insert(same.end(), other.begin(), other.end());
    return same;
}

}  // namespace

std::unique_ptr<FontSource> MakeFontSource() {
    return std::make_unique<GdiFontSource>();
}

// The "file" of a face found here is its face name: the bytes are read back
// from GDI, the whole collection when the face belongs to one.
std::unique_ptr<FontBytes> ReadFontFile(const std::string& path, std::string& why) {
    SelectedFace selected(path);
    std::vector<uint8_t> bytes = selected.Table(kCollectionTag);
    if (bytes.empty()) {
        bytes = selected.Table(0);
    }
    if (bytes.empty()) {
        why = "the system gives no font data for it";
        return nullptr;
    }
    return std::make_unique<FontData>(std::move(bytes));
}

}  // namespace pelm32
