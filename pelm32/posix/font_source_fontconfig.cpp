#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "pelm32/core/font_source.h"

namespace pelm32 {

namespace {

// The outline formats a PDF embeds: TrueType, and CFF (name-keyed or CID-keyed).
const char* const kOutlineFormats[] = {"TrueType", "CFF"};

// A pattern for a family as fontconfig's own tools would build it.
FcPattern* FamilyPattern(const std::string& family, bool outlinesOnly) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    if (outlinesOnly) {
        for (const char* format : kOutlineFormats) {
            FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>(format));
        }
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

bool IsOutlineFace(FcPattern* font) {
    FcChar8* format = nullptr;
    if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch) {
        return false;
    }
    for (const char* outline : kOutlineFormats) {
        if (std::strcmp(reinterpret_cast<const char*>(format), outline) == 0) {
            return true;
        }
    }
    return false;
}

bool FileOf(FcPattern* font, FontFileRef& face) {
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) {
        return false;
    }
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    face.path = reinterpret_cast<const char*>(file);
    face.index = static_cast<unsigned>(index) & 0xFFFF;  // the high bits name variations
    FcChar8* family = nullptr;
    FcChar8* style = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch) {
        face.family = reinterpret_cast<const char*>(family);
    }
    if (FcPatternGetString(font, FC_STYLE, 0, &style) == FcResultMatch) {
        face.style = reinterpret_cast<const char*>(style);
    }
    return true;
}

class MappedFile : public FontBytes {
  public:
    MappedFile(void* data, size_t size) : data_(data), size_(size) {}
    ~MappedFile() override { munmap(data_, size_); }
    const uint8_t* Data() const override { return static_cast<const uint8_t*>(data_); }
    size_t Size() const override { return size_; }

  private:
    void* data_;
    size_t size_;
};

class FontconfigSource : public FontSource {
  public:
    ~FontconfigSource() override {
        for (auto& [family, set] : sorted_) {
            if (set != nullptr) {
                FcFontSetDestroy(set);
            }
        }
    }
    bool FindFaceFile(const std::string& family, FontFileRef& face) override;
    std::vector<FontFileRef> FindFacesFor(const std::string& family, char32_t character) override;

  private:
    FcFontSet* SortedFaces(const std::string& family);

    std::map<std::string, FcFontSet*> sorted_;
};

// The faces of the system sorted for a family, made once per family: the
// sort is the costly part and characters a face lacks come one by one.
FcFontSet* FontconfigSource::SortedFaces(const std::string& family) {
    auto found = sorted_.find(family);
    if (found != sorted_.end()) {
        return found->second;
    }
    FcPattern* pattern = FamilyPattern(family, false);
    FcResult result;
    FcFontSet* set = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);
    sorted_.emplace(family, set);
    return set;
}

bool FontconfigSource::FindFaceFile(const std::string& family, FontFileRef& face) {
    // The family's own match first; when that has no outlines a PDF
    // embeds (bitmaps, Type 1), the best match among faces that do.
    for (const bool outlinesOnly : {false, true}) {
        FcPattern* pattern = FamilyPattern(family, outlinesOnly);
        FcResult result;
        FcPattern* font = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (font == nullptr) {
            continue;
        }
        const bool found = IsOutlineFace(font) && FileOf(font, face);
        FcPatternDestroy(font);
        if (found) {
            return true;
        }
    }
    return false;
}

std::vector<FontFileRef> FontconfigSource::FindFacesFor(const std::string& family,
                                                        char32_t character) {
    std::vector<FontFileRef> faces;
    FcFontSet* set = SortedFaces(family);
    for (int i = 0; set != nullptr && i < set->nfont; ++i) {
        FcPattern* font = set->fonts[i];
        FcCharSet* characters = nullptr;
        FontFileRef face;
        if (IsOutlineFace(font) &&
            FcPatternGetCharSet(font, FC_CHARSET, 0, &characters) == FcResultMatch &&
            FcCharSetHasChar(characters, character) && FileOf(font, face)) {
            faces.push_back(face);
        }
    }
    return faces;
}

}  // namespace

std::unique_ptr<FontSource> MakeFontSource() {
    return std::make_unique<FontconfigSource>();
}

std::unique_ptr<FontBytes> ReadFontFile(const std::string& path, std::string& why) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    void* data = MAP_FAILED;
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
        data = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    }
    const int error = errno;
    close(fd);
    if (data == MAP_FAILED) {
        why = info.st_size == 0 ? "the file is empty" : std::strerror(error);
        return nullptr;
    }
    return std::make_unique<MappedFile>(data, static_cast<size_t>(info.st_size));
}

}  // namespace pelm32
