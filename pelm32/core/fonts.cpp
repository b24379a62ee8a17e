#include "pelm32/core/fonts.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "pelm32/core/character_cells.h"
#include "pelm32/core/text_decoding.h"
#include "pelm32/pdf/pdf_fonts.h"
#include "pelm32/pdf/win_ansi.h"

namespace pelm32 {

namespace {

constexpr char32_t kLastCharacter = 0x10FFFF;
constexpr int kUnresolved = -2;
constexpr uint16_t kNoFaceCell = 600;  // a typical fixed-pitch advance

}  // namespace

// Placements of one family, filled 256 characters at a time as they are met.
struct Font::Placements {
    using Block = std::array<Placement, 256>;
    std::string family;
    int primary;
    uint16_t cell = kNoFaceCell;  // thousandths of the font size
    bool grid = false;
    std::vector<std::unique_ptr<Block>> blocks =
        std::vector<std::unique_ptr<Block>>((kLastCharacter >> 8) + 1);

    void SetPrimary(int face);
    Placement In(int face, char32_t character, uint16_t glyph) const;
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

void Font::Placements::SetPrimary(int face) {
    primary = face;
    if (face < 0) {
        return;
    }
    const pdf::SfntFace& sfnt = FaceById(face).Sfnt();
    if (const uint16_t space = sfnt.Glyph(U' '); space != 0) {
        cell = FaceById(face).Width(space);
    }
    grid = sfnt.FixedPitch() && cell > 0;
}

Placement Font::Placements::In(int face, char32_t character, uint16_t glyph) const {
    const uint16_t natural = FaceById(face).Width(glyph);
    const auto cells = static_cast<uint8_t>(CellWidth(character));
    const auto onGrid = static_cast<uint16_t>(cells * cell);
    if (glyph == 0 && cells > 0) {
        return {face, 0, onGrid, 0, cells, Placement::Missing};
    }
    if (NeedsShaping(character)) {
        return {face, glyph, grid ? onGrid : natural, 0, cells, Placement::Shaped};
    }
    const uint8_t code = pdf::UnicodeToWinAnsi(character);
    if (grid && natural != onGrid) {
        return {face, glyph, onGrid, code, cells, Placement::Fitted};
    }
    return {face, glyph, natural, code, cells, Placement::Plain};
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
        placements->SetPrimary(Registry().LoadFamilyFace(family));
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
    const Placement& space = latin_[' '];
    const bool uniform = std::all_of(latin_ + ' ', latin_ + 0x7F, [&](const Placement& place) {
        return place.kind == Placement::Plain && place.face == space.face &&
               place.width == space.width && place.code == &place - latin_;
    });
    uniformAscii_ = uniform && space.face >= 0 ? &space : nullptr;
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

double Font::CellAdvance() const {
    return placements_->cell * points_ / 1000.0;
}

bool Font::CellGrid() const {
    return placements_->grid;
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
