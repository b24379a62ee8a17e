#include "pelm32/core/fonts.h"

#include <cstdio>
#include <map>
#include <utility>

#include "pelm32/core/text_decoding.h"
#include "pelm32/pdf/pdf_fonts.h"
#include "pelm32/pdf/win_ansi.h"

namespace pelm32 {

namespace {

constexpr char32_t kLastCharacter = 0x10FFFF;
constexpr int kUnresolved = -2;

}  // namespace

// Placements of one family, filled 256 characters at a time as they are met.
struct Font::Placements {
    using Block = std::array<Placement, 256>;
    std::string family;
    int primary;
    std::vector<std::unique_ptr<Block>> blocks =
        std::vector<std::unique_ptr<Block>>((kLastCharacter >> 8) + 1);

    static Placement In(int face, char32_t character, uint16_t glyph);
    Placement Find(char32_t character) const;
    Block& BlockOf(char32_t character);
    const Placement& Get(char32_t character);
};

namespace {

// Everything the process knows of fonts, in one place: the source that
// finds faces, the faces loaded, and the families and fonts made of them.
class FontRegistry {
  public:
    FontRegistry() : source_(MakeFontSource()) {}

    FontSource& Source() { return *source_; }
    const std::vector<std::unique_ptr<Face>>& Faces() const { return faces_; }
    std::vector<std::unique_ptr<Font>>& Fonts() { return fonts_; }
    std::shared_ptr<Font::Placements>& Family(const std::string& family) {
        return families_[family];
    }

    // A face by file, loaded once; a file that cannot be used is said once
    // and remembered as -1.
    int LoadFace(const FontFileRef& file) {
        const auto key = std::make_pair(file.path, file.index);
        if (const auto found = loaded_.find(key); found != loaded_.end()) {
            return found->second;
        }
        std::string why;
        std::unique_ptr<FontBytes> bytes = ReadFontFile(file.path, why);
        pdf::SfntFace sfnt;
        int id = -1;
        if (bytes != nullptr && sfnt.Load(bytes->Data(), bytes->Size(), file.index, why)) {
            faces_.push_back(std::make_unique<Face>(std::move(bytes), file, sfnt));
            id = static_cast<int>(faces_.size()) - 1;
        } else {
            std::fprintf(stderr, "pelm32: font \"%s\" not used: %s\n", file.path.c_str(),
                         why.c_str());
        }
        loaded_.emplace(key, id);
        return id;
    }

    int LoadFamilyFace(const std::string& family) {
        FontFileRef file;
        if (!source_->FindFaceFile(family, file)) {
            std::fprintf(stderr, "pelm32: no font with TrueType or CFF outlines for \"%s\"\n",
                         family.c_str());
            return -1;
        }
        return LoadFace(file);
    }

  private:
    std::unique_ptr<FontSource> source_;
    std::vector<std::unique_ptr<Face>> faces_;
    std::map<std::pair<std::string, unsigned>, int> loaded_;
    std::map<std::string, std::shared_ptr<Font::Placements>> families_;
    std::vector<std::unique_ptr<Font>> fonts_;
};

// Made on first use and kept until exit (Qt may still hold a face's bytes
// then), unless a test resets it.
FontRegistry*& TheRegistry() {
    static FontRegistry* registry = nullptr;
    return registry;
}

FontRegistry& Registry() {
    FontRegistry*& registry = TheRegistry();
    if (registry == nullptr) {
        registry = new FontRegistry;
    }
    return *registry;
}

}  // namespace

uint16_t Face::Width(uint16_t glyph) const {
    return pdf::GlyphWidth(sfnt_, glyph);
}

int Face::Ascent() const {
    return pdf::ToThousandthsOfEm(sfnt_, sfnt_.Ascender());
}

int Face::Descent() const {
    return -pdf::ToThousandthsOfEm(sfnt_, sfnt_.Descender());
}

int FaceCount() {
    return static_cast<int>(Registry().Faces().size());
}

const Face& FaceById(int id) {
    return *Registry().Faces()[static_cast<size_t>(id)];
}

Placement Font::Placements::In(int face, char32_t character, uint16_t glyph) {
    const uint8_t code = glyph != 0 ? pdf::UnicodeToWinAnsi(character) : 0;
    return {face, glyph, FaceById(face).Width(glyph), code};
}

Placement Font::Placements::Find(char32_t character) const {
    if (primary < 0) {
        return {};
    }
    if (const uint16_t glyph = FaceById(primary).Sfnt().Glyph(character); glyph != 0) {
        return In(primary, character, glyph);
    }
    for (const FontFileRef& file : Registry().Source().FindFacesFor(family, character)) {
        const int face = Registry().LoadFace(file);
        if (face < 0) {
            continue;
        }
        if (const uint16_t glyph = FaceById(face).Sfnt().Glyph(character); glyph != 0) {
            return In(face, character, glyph);
        }
    }
    return In(primary, character, 0);
}

Font::Placements::Block& Font::Placements::BlockOf(char32_t character) {
    std::unique_ptr<Block>& block = blocks[character >> 8];
    if (!block) {
        block = std::make_unique<Block>();
        const char32_t first = character & ~char32_t(0xFF);
        for (char32_t i = 0; i < 256; ++i) {
            // Only the primary face at first: other faces are searched for a
            // character when it is met.
            const uint16_t glyph = primary < 0 ? 0 : FaceById(primary).Sfnt().Glyph(first + i);
            (*block)[i] = glyph != 0 ? In(primary, first + i, glyph) : Placement{kUnresolved};
        }
    }
    return *block;
}

const Placement& Font::Placements::Get(char32_t character) {
    if (character > kLastCharacter) {
        character = 0xFFFD;
    }
    Placement& entry = BlockOf(character)[character & 0xFF];
    if (entry.face == kUnresolved) {
        entry = Find(character);
    }
    return entry;
}

Font::Font(const std::string& family, double points) : family_(family), points_(points) {
    std::shared_ptr<Placements>& placements = Registry().Family(family);
    if (!placements) {
        placements = std::make_shared<Placements>();
        placements->family = family;
        placements->primary = Registry().LoadFamilyFace(family);
    }
    placements_ = placements;
    primary_ = placements->primary;
    // Latin-1 resolved in full, fallbacks included, so Place() never has
    // to look further for it. Control characters never reach layout.
    Placements::Block& latin = placements->BlockOf(0);
    for (char32_t c = 0; c < 256; ++c) {
        if (latin[c].face == kUnresolved) {
            latin[c] = IsControl(c) ? Placement{primary_} : placements->Find(c);
        }
    }
    latin_ = latin.data();
    if (primary_ < 0) {
        ascent_ = 0.8 * points_;
        lineHeight_ = points_;
    } else {
        const Face& face = FaceById(primary_);
        ascent_ = face.Ascent() * points_ / 1000.0;
        lineHeight_ = (face.Ascent() + face.Descent()) * points_ / 1000.0;
    }
}

const Placement& Font::PlaceBeyondLatin1(char32_t character) const {
    return placements_->Get(character);
}

int FindFont(const std::string& family, double points) {
    auto& fonts = Registry().Fonts();
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (fonts[i]->Points() == points && fonts[i]->Family() == family) {
            return static_cast<int>(i);
        }
    }
    fonts.push_back(std::make_unique<Font>(family, points));
    return static_cast<int>(fonts.size()) - 1;
}

int FontCount() {
    return static_cast<int>(Registry().Fonts().size());
}

const Font& FontById(int id) {
    return *Registry().Fonts()[static_cast<size_t>(id)];
}

void ResetFonts() {
    delete TheRegistry();
    TheRegistry() = nullptr;
}

}  // namespace pelm32
