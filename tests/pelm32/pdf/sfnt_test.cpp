#include "pelm32/pdf/sfnt.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_CID_H
#include FT_FONT_FORMATS_H
#include FT_TRUETYPE_TABLES_H
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using pelm32::pdf::SfntFace;
using pelm32::pdf::SubsetCff;
using pelm32::pdf::SubsetFace;
using pelm32::pdf::sfnt_detail::U16;
using pelm32::pdf::sfnt_detail::U32;
using Bytes = std::vector<uint8_t>;

const char* const kMono = "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf";
const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kNimbus = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";
const char* const kNotoCjk = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";

Bytes ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The fonts come from scripts/setup.sh; a test without its font skips.
#define READ_FONT_OR_SKIP(bytes, path)                               \
    const Bytes bytes = ReadFile(path);                              \
    if (bytes.empty()) {                                             \
        GTEST_SKIP() << path << " is missing: run scripts/setup.sh"; \
    }

SfntFace Loaded(const Bytes& bytes, unsigned faceIndex = 0) {
    SfntFace face;
    std::string why;
    EXPECT_TRUE(face.Load(bytes.data(), bytes.size(), faceIndex, why)) << why;
    return face;
}

void Put(Bytes& bytes, size_t at, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> 8 * (width - 1 - i));
    }
}

// A table's directory entry (tag, checksum, offset, length) in a .ttf, or
// in face 0 of a collection.
size_t EntryOf(const Bytes& font, const char* tag) {
    const size_t directory = std::memcmp(font.data(), "ttcf", 4) == 0 ? U32(&font[12]) : 0;
    for (size_t entry = directory + 12; entry < directory + 12 + 16 * U16(&font[directory + 4]);
         entry += 16) {
        if (std::memcmp(&font[entry], tag, 4) == 0) {
            return entry;
        }
    }
    ADD_FAILURE() << "no " << tag;
    return 0;
}
size_t TableOf(const Bytes& font, const char* tag) {
    return U32(&font[EntryOf(font, tag) + 8]);
}

// The font with a copy of a table, grown by extra bytes, at its very end,
// where ASan sees any read past the table.
Bytes WithTableAtEnd(const Bytes& font, const char* tag, const Bytes& extra = {}) {
    const size_t entry = EntryOf(font, tag), length = U32(&font[entry + 12]);
    Bytes moved(font.size() + length + extra.size());
    std::copy(font.begin(), font.end(), moved.begin());
    std::copy_n(font.begin() + TableOf(font, tag), length, moved.begin() + font.size());
    std::copy(extra.begin(), extra.end(), moved.begin() + font.size() + length);
    Put(moved, entry + 8, static_cast<uint32_t>(font.size()), 4);
    Put(moved, entry + 12, static_cast<uint32_t>(length + extra.size()), 4);
    return moved;
}

// Calls edit(record, subtable, segments) for each cmap encoding record; for a
// format 4 subtable segment i's idDelta is at subtable + 16 + 4 * segments +
// 2 * i, its idRangeOffset 2 * segments further.
void EditCmap(Bytes& font, const std::function<void(size_t, size_t, size_t)>& edit) {
    const size_t cmap = TableOf(font, "cmap");
    for (size_t record = cmap + 4; record < cmap + 4 + 8 * U16(&font[cmap + 2]); record += 8) {
        const size_t subtable = cmap + U32(&font[record + 4]);
        edit(record, subtable, U16(&font[subtable]) == 4 ? U16(&font[subtable + 6]) / 2 : 0);
    }
}

uint32_t Sum(const uint8_t* bytes, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; i += 4) {
        sum += U32(bytes + i);
    }
    return sum;
}

struct FreeType {
    explicit FreeType(const Bytes& bytes, long faceIndex = 0) {
        FT_Init_FreeType(&library);
        FT_New_Memory_Face(library, bytes.data(), static_cast<FT_Long>(bytes.size()), faceIndex,
                           &face);
    }
    ~FreeType() { FT_Done_FreeType(library); }
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

std::string Render(FT_Face face, FT_UInt glyph) {
    FT_Set_Pixel_Sizes(face, 0, 40);
    if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL)) {
        return "no bitmap";
    }
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    std::string image = std::to_string(bitmap.width) + "x" + std::to_string(bitmap.rows) + "+" +
                        std::to_string(face->glyph->bitmap_left) + "+" +
                        std::to_string(face->glyph->bitmap_top) + ":";
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        image.append(reinterpret_cast<const char*>(bitmap.buffer) + row * bitmap.pitch,
                     bitmap.width);
    }
    return image;
}

// searchRange, entrySelector and rangeShift for count entries of unit bytes.
void ExpectSearchFields(const uint8_t* fields, unsigned count, unsigned unit) {
    const unsigned power = std::bit_floor(count);
    EXPECT_EQ(std::tuple(U16(fields), U16(fields + 2), U16(fields + 4)),
              std::tuple(unit * power, std::countr_zero(power), unit * (count - power)));
}

// Checks the directory and the checksums; returns the tags in order.
std::string ExpectWellFormed(const Bytes& font) {
    EXPECT_EQ(font.size() % 4, 0u);
    const unsigned count = U16(&font[4]);
    ExpectSearchFields(&font[6], count, 16);
    const uint8_t* cmap = &font[TableOf(font, "cmap") + 12];
    ExpectSearchFields(cmap + 8, U16(cmap + 6) / 2, 2);
    EXPECT_EQ(U16(cmap + 12 + U16(cmap + 6)), 0xFFFF);  // the last endCode
    std::string tags;
    for (size_t entry = 12; entry < 12 + 16 * count; entry += 16) {
        const std::string tag(reinterpret_cast<const char*>(&font[entry]), 4);
        const uint32_t offset = U32(&font[entry + 8]), padded = (U32(&font[entry + 12]) + 3) & ~3u;
        EXPECT_TRUE(offset % 4 == 0 && offset + padded <= font.size()) << tag;
        const uint32_t adjustment = tag == "head" ? U32(&font[offset + 8]) : 0;
        EXPECT_EQ(U32(&font[entry + 4]), Sum(&font[offset], padded) - adjustment) << tag;
        tags += tag;
    }
    EXPECT_EQ(Sum(font.data(), font.size()), 0xB1B0AFBAu);
    return tags;
}

struct Font {
    const char* name;
    const char* path;
    const char* postScriptName;
    std::u32string text;  // to subset
    void (*tweak)(Bytes& font) = nullptr;
    unsigned faceIndex = 0;
};
void PrintTo(const Font& font, std::ostream* out) {
    *out << font.name;
}

// Only the format 4 subtable left, with idDelta set where idRangeOffset is
// (no installed font has both).
void Format4WithDeltas(Bytes& font) {
    EditCmap(font, [&](size_t record, size_t subtable, size_t segments) {
        if (U16(&font[subtable]) == 12) {
            Put(font, record, 0x7777, 2);
        }
        for (size_t delta = subtable + 16 + 4 * segments, i = 0; i < segments; ++i) {
            if (U16(&font[delta + 2 * segments + 2 * i])) {
                Put(font, delta + 2 * i, 1, 2);
            }
        }
    });
}

class SfntFont : public testing::TestWithParam<Font> {
  protected:
    void SetUp() override {
        bytes = ReadFile(GetParam().path);
        if (bytes.empty()) {
            GTEST_SKIP() << GetParam().path << " is missing: run scripts/setup.sh";
        }
        if (GetParam().tweak) {
            GetParam().tweak(bytes);
        }
        face = Loaded(bytes, GetParam().faceIndex);
    }
    Bytes bytes;
    SfntFace face;
};

TEST_P(SfntFont, MetricsGlyphsAdvancesAndCidsAgreeWithFreeType) {
    const FreeType freeType(bytes, GetParam().faceIndex);
    const FT_Face ft = freeType.face;
    ASSERT_TRUE(ft && ft->charmap);
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA));
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(ft, FT_SFNT_POST));
    const auto* head = static_cast<const TT_Header*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HEAD));
    FT_Bool cidKeyed = 0;
    FT_Get_CID_Is_Internally_CID_Keyed(ft, &cidKeyed);
    EXPECT_EQ(std::tuple(face.CffOutlines(), face.CidKeyed()),
              std::tuple(std::string(FT_Get_Font_Format(ft)) == "CFF", cidKeyed != 0));
    EXPECT_EQ(std::tuple(face.UnitsPerEm(), face.GlyphCount(), face.Ascender(), face.Descender(),
                         face.LineGap(), face.Weight(), face.CapHeight()),
              std::tuple(ft->units_per_EM, ft->num_glyphs, hhea->Ascender, hhea->Descender,
                         hhea->Line_Gap, os2->usWeightClass,
                         os2->version >= 2 ? os2->sCapHeight : hhea->Ascender * 7 / 10));
    EXPECT_EQ(std::tuple(face.XMin(), face.YMin(), face.XMax(), face.YMax()),
              std::tuple(head->xMin, head->yMin, head->xMax, head->yMax));
    EXPECT_EQ(std::tuple(face.ItalicAngle(), face.FixedPitch(), face.PostScriptName()),
              std::tuple(post->italicAngle / 65536.0, post->isFixedPitch != 0,
                         GetParam().postScriptName));
    int wrong = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (face.Glyph(c) != FT_Get_Char_Index(ft, c) && ++wrong < 5) {
            ADD_FAILURE() << "glyph of U+" << std::hex << uint32_t{c};
        }
    }
    // not from FT_Load_Glyph: it makes up an advance where hmtx has 0
    for (FT_UInt glyph = 0; glyph <= face.GlyphCount(); ++glyph) {
        FT_Fixed advance = 0;
        FT_Get_Advance(ft, glyph, FT_LOAD_NO_SCALE, &advance);
        FT_UInt cid = glyph;
        if (FT_Get_CID_From_Glyph_Index(ft, glyph, &cid) != 0) {
            cid = glyph;  // a face not keyed by CID shows glyph ids
        }
        if ((face.Advance(glyph) != advance || face.Cid(glyph) != cid) && ++wrong < 10) {
            ADD_FAILURE() << "advance or CID of glyph " << glyph;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_P(SfntFont, SubsetDrawsTheKeptGlyphsLikeTheFaceAndNothingElse) {
    std::vector<uint16_t> glyphs;
    std::vector<std::pair<char16_t, uint16_t>> cmap;
    for (char32_t c : GetParam().text) {
        glyphs.push_back(face.Glyph(c));
        ASSERT_NE(glyphs.back(), 0) << std::hex << uint32_t{c};
        if (c <= 0xFFFF) {
            cmap.emplace_back(static_cast<char16_t>(c), glyphs.back());
        }
    }
    const Bytes subset = SubsetFace(face, glyphs, cmap);
    ASSERT_FALSE(subset.empty());
    EXPECT_EQ(ExpectWellFormed(subset), face.CffOutlines()
                                            ? "CFF cmapheadhheahmtxmaxp"
                                            : "cmapcvt fpgmglyfheadhheahmtxlocamaxpprep");
    const FreeType original(bytes, GetParam().faceIndex), embedded(subset);
    ASSERT_TRUE(embedded.face && embedded.face->num_glyphs == face.GlyphCount());
    size_t drawn = 0;  // the given glyphs, glyph 0, and components must look the same
    for (FT_UInt glyph = 0; glyph < face.GlyphCount(); ++glyph) {
        ASSERT_EQ(FT_Load_Glyph(embedded.face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_RECURSE), 0);
        const FT_GlyphSlot slot = embedded.face->glyph;
        if (slot->outline.n_points || slot->num_subglyphs || glyph == 0 ||
            std::count(glyphs.begin(), glyphs.end(), glyph)) {
            ++drawn;
            EXPECT_EQ(Render(embedded.face, glyph), Render(original.face, glyph)) << glyph;
        }
    }
    EXPECT_LE(drawn, 2 * glyphs.size() + 1);
    for (size_t i = 0, loca = face.CffOutlines() ? 0 : TableOf(subset, "loca");
         loca && i <= face.GlyphCount(); ++i) {
        ASSERT_EQ(U32(&subset[loca + 4 * i]) % 4, 0u);
    }
    // The bare program a PDF embeds draws each glyph under its CID.
    const Bytes program = SubsetCff(face, glyphs);
    const FreeType bare(program);
    ASSERT_EQ(program.empty(), !face.CffOutlines());
    for (size_t i = 0; bare.face && i < glyphs.size(); ++i) {
        EXPECT_EQ(Render(bare.face, face.Cid(glyphs[i])), Render(original.face, glyphs[i]));
    }
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        const bool mapped = c < 0xFFFF && GetParam().text.find(c) != std::u32string::npos;
        ASSERT_EQ(FT_Get_Char_Index(embedded.face, c), mapped ? face.Glyph(c) : 0u) << uint32_t{c};
    }
    uLongf deflated = compressBound(subset.size());
    Bytes buffer(deflated);
    ASSERT_EQ(compress2(buffer.data(), &deflated, subset.data(), subset.size(), 6), Z_OK);
    RecordProperty("sizes", std::to_string(bytes.size()) + " " + std::to_string(subset.size()) +
                                " " + std::to_string(deflated) + " " +
                                std::to_string(program.size()));
    EXPECT_LT(std::max(subset.size(), program.size()) * 4, bytes.size());
}

INSTANTIATE_TEST_SUITE_P(
    SfntFonts, SfntFont,
    testing::Values(
        Font{"LiberationMono", kMono, "LiberationMono",
             U" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
             U"abcdefghijklmnopqrstuvwxyz{|}~"},
        Font{"LiberationMonoItalic",
             "/usr/share/fonts/truetype/liberation2/LiberationMono-Italic.ttf",
             "LiberationMono-Italic", U"Ab\u20AC"},
        // letters made of components, and a character beyond U+FFFF
        Font{"DejaVuSans", kDejaVu, "DejaVuSans", U"A\u00C0\u00E9\u01FA\u1EA0\U0001F600"},
        Font{"DejaVuSansFormat4", kDejaVu, "DejaVuSans", U"A\u00C0\u0410\u05D0", Format4WithDeltas},
        // Hangul jamo: consecutive characters whose glyphs are not
        Font{"DroidSansFallback", "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf",
             "DroidSansFallback", U"\u4E2D\u6587\u3042\u11A9\u11AA\u11AB\u11AC"},
        Font{"Symbola", "/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf", "Symbola",
             U"\u2603\U0001F600\U0001F680\U0001D11E"},
        // CFF outlines: name-keyed, and CID-keyed in a collection
        Font{"NimbusSans", kNimbus, "NimbusSans-Regular", U"Aa\u00E9\u20AC\u0416fi"},
        Font{"NotoSansCJKsc", kNotoCjk, "NotoSansCJKsc-Regular",
             U"\u4E2D\u6587\u3042A\uD55C\U00020B9F", nullptr, 2}),
    [](const testing::TestParamInfo<Font>& info) { return info.param.name; });

TEST(SfntFace, LoadsEachFaceOfACollection) {
    READ_FONT_OR_SKIP(mono, kMono);
    READ_FONT_OR_SKIP(dejaVu, kDejaVu);
    Bytes collection = {'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes* fonts[] = {&mono, &dejaVu};
    for (unsigned i = 0; i < 2; ++i) {
        const size_t base = collection.size();
        Put(collection, 12 + 4 * i, static_cast<uint32_t>(base), 4);
        collection.insert(collection.end(), fonts[i]->begin(), fonts[i]->end());
        for (size_t entry = 12; entry < 12 + 16 * size_t{U16(&fonts[i]->at(4))}; entry += 16) {
            Put(collection, base + entry + 8, U32(&collection[base + entry + 8]) + base, 4);
        }
    }
    for (unsigned i = 0; i < 2; ++i) {
        const SfntFace alone = Loaded(*fonts[i]), member = Loaded(collection, i);
        EXPECT_EQ(member.GlyphCount(), FreeType(collection, i).face->num_glyphs);
        EXPECT_EQ(member.PostScriptName(), alone.PostScriptName());
        EXPECT_EQ(member.Glyph(U'\u00E9'), alone.Glyph(U'\u00E9'));
        EXPECT_EQ(SubsetFace(member, {36, 135}, {}), SubsetFace(alone, {36, 135}, {}));
    }
    SfntFace face;
    std::string why;
    EXPECT_FALSE(face.Load(collection.data(), collection.size(), 2, why));
    EXPECT_FALSE(face.Load(mono.data(), mono.size(), 1, why));
}

TEST(SfntFace, RefusesFontsItCannotUseAndReadsOddOnesWithinTheirBytes) {
    READ_FONT_OR_SKIP(mono, kMono);
    const auto field = [](const char* tag, size_t at, uint32_t value, int width = 2) {
        return [=](Bytes& font) { Put(font, TableOf(font, tag) + at, value, width); };
    };
    const auto entry = [](const char* tag, size_t at, uint32_t value) {
        return [=](Bytes& font) { Put(font, EntryOf(font, tag) + at, value, 4); };
    };
    // edits the format 4 subtable with cmap last in the file, where ASan
    // sees reads past it
    const auto format4 = [](void (*edit)(Bytes&, size_t subtable, size_t segments)) {
        return [=](Bytes& font) {
            font = WithTableAtEnd(font, "cmap");
            EditCmap(font, [&](size_t, size_t subtable, size_t segments) {
                if (segments) {
                    edit(font, subtable, segments);
                }
            });
        };
    };
    const uint16_t glyphs = U16(&mono[TableOf(mono, "maxp") + 4]);
    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
        int glyphOfA;  // -1: refused
    } cases[] = {
        {"as it is", [](Bytes&) {}, 36},
        {"sfnt version 'true'", [](Bytes& font) { Put(font, 0, 0x74727565, 4); }, 36},
        {"sfnt version 'OTTO'", [](Bytes& font) { Put(font, 0, 0x4F54544F, 4); }, 36},
        {"shorter than a directory", [](Bytes& font) { font.resize(11); }, -1},
        {"directory past the end", [](Bytes& font) { Put(font, 4, 0x7FFF, 2); }, -1},
        {"collection face past the end",
         [](Bytes& font) { font = {'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0}; }, -1},
        {"unitsPerEm 15", field("head", 18, 15), -1},
        {"unitsPerEm 16384", field("head", 18, 16384), 36},
        {"unitsPerEm 16385", field("head", 18, 16385), -1},
        {"indexToLocFormat 2", field("head", 50, 2), -1},
        {"no glyphs", field("maxp", 4, 0), -1},
        {"numberOfHMetrics 0", field("hhea", 34, 0), -1},
        {"numberOfHMetrics past numGlyphs", field("hhea", 34, glyphs + 1u), -1},
        {"hmtx short of its metrics", entry("hmtx", 12, 4u * glyphs - 1), -1},
        {"loca short of its glyphs", entry("loca", 12, 4u * glyphs), -1},
        {"table running past the end", entry("cmap", 12, uint32_t(mono.size())), -1},
        {"length wrapping around", entry("glyf", 12, 0xFFFFFFFF), -1},
        {"head too short", entry("head", 12, 50), -1},
        {"more cmap records than bytes",
         [](Bytes& font) {
             font = WithTableAtEnd(font, "cmap");
             Put(font, TableOf(font, "cmap") + 2, 0xFFFF, 2);
         },
         36},
        {"cmap glyph past numGlyphs",
         [&](Bytes& font) {
             field("maxp", 4, 30)(font);
             field("hhea", 34, 30)(font);
         },
         0},
        {"cmap segments past the table",
         format4([](Bytes& font, size_t table, size_t) { Put(font, table + 6, 0xFFFE, 2); }), 0},
        {"idRangeOffsets past the table", format4([](Bytes& font, size_t table, size_t segments) {
             for (size_t i = 0; i < segments; ++i) {
                 Put(font, table + 16 + 6 * segments + 2 * i, 0xFFFE, 2);
             }
         }),
         0},
    };
    for (const char* tag : {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "cmap"}) {
        Bytes font = mono;
        std::memcpy(&font[EntryOf(font, tag)], "zzzz", 4);
        SfntFace face;
        std::string why;
        EXPECT_FALSE(face.Load(font.data(), font.size(), 0, why)) << tag;
    }
    for (const auto& c : cases) {
        Bytes font = mono;
        c.damage(font);
        SfntFace face;
        std::string why;
        ASSERT_EQ(face.Load(font.data(), font.size(), 0, why), c.glyphOfA >= 0) << c.what << why;
        for (char32_t character = 0; character < 0x10000 && c.glyphOfA >= 0; ++character) {
            face.Glyph(character);
        }
        EXPECT_EQ(face.Glyph(U'A'), std::max(c.glyphOfA, 0)) << c.what;
    }
}

TEST(SfntFace, FallsBackWhereOptionalDataIsMissing) {
    READ_FONT_OR_SKIP(mono, kMono);
    Bytes font = mono;
    Put(font, TableOf(font, "OS/2") + 4, 700, 2);
    Put(font, EntryOf(font, "OS/2") + 12, 88, 4);  // no room for sCapHeight
    Put(font, EntryOf(font, "post") + 12, 12, 4);
    // the name from its Mac Roman record once the Windows one is gone
    const size_t name = TableOf(font, "name");
    for (size_t record = name + 6; record < name + 6 + 12 * U16(&font[name + 2]); record += 12) {
        if (U16(&font[record]) == 3 && U16(&font[record + 6]) == 6) {
            Put(font, record + 6, 7, 2);
        }
    }
    const SfntFace face = Loaded(font);
    EXPECT_EQ(std::tuple(face.CapHeight(), face.Weight(), face.FixedPitch(), face.PostScriptName()),
              std::tuple(face.Ascender() * 7 / 10, 700, false, "LiberationMono"));
    Put(font, EntryOf(font, "OS/2") + 12, 4, 4);
    EXPECT_EQ(Loaded(font).Weight(), 400);
    font = WithTableAtEnd(font, "name");
    Put(font, TableOf(font, "name") + 2, 0xFFFF, 2);  // more records than bytes
    EXPECT_EQ(Loaded(font).PostScriptName(), "LiberationMono");
    Put(font, TableOf(font, "name") + 4, 0xFFF0, 2);  // strings past the table
    EXPECT_EQ(Loaded(font).PostScriptName(), "Font");
    Put(font, EntryOf(font, "name"), 0x6E616D78, 4);
    EXPECT_EQ(Loaded(font).PostScriptName(), "Font");
}

// Whatever loads must answer lookups and subset without reading out of
// bounds (ASan watches): cuts, and random damage to a table moved last.
TEST(SfntFace, DamagedFontsAreRefusedOrReadWithinTheirBytes) {
    READ_FONT_OR_SKIP(mono, kMono);
    READ_FONT_OR_SKIP(dejaVu, kDejaVu);
    size_t tablesEnd = 0;
    for (size_t entry = 12; entry < 12 + 16 * size_t{U16(&mono[4])}; entry += 16) {
        tablesEnd = std::max<size_t>(tablesEnd, U32(&mono[entry + 8]) + U32(&mono[entry + 12]));
    }
    SfntFace face;
    std::string why;
    for (size_t length = 0; length <= mono.size(); length += length < 8192 ? 1 : 997) {
        const Bytes cut(mono.begin(), mono.begin() + length);
        EXPECT_EQ(face.Load(cut.data(), cut.size(), 0, why), length >= tablesEnd) << length;
    }
    Bytes groups = WithTableAtEnd(dejaVu, "cmap");
    EditCmap(groups, [&](size_t, size_t subtable, size_t) {
        if (U16(&groups[subtable]) == 12) {
            Put(groups, subtable + 12, 0x10000000, 4);  // groups past the table
        }
    });
    EXPECT_EQ(std::tuple(Loaded(groups).Glyph(U'A'), Loaded(groups).Glyph(U'\U0001F600')),
              std::tuple(36, 0));
    std::mt19937 random(7);
    const char* tags[] = {"cmap", "head", "hhea", "maxp", "hmtx", "loca", "name", "OS/2", "post"};
    int loaded = 0;
    for (int round = 0; round < 300; ++round) {
        const char* tag = tags[round % std::size(tags)];
        Bytes font = WithTableAtEnd(dejaVu, tag);
        const bool directory = round % 10 == 9;
        const size_t start = directory ? 0 : TableOf(font, tag);
        const size_t span = directory ? 12 + 16 * size_t{U16(&font[4])} : 1024;
        for (int flips = 1 + round % 16; flips > 0; --flips) {
            font[std::min(font.size() - 1, start + random() % span)] =
                static_cast<uint8_t>(random());
        }
        if (face.Load(font.data(), font.size(), 0, why)) {
            ++loaded;
            std::vector<uint16_t> glyphs;
            for (char32_t c = 0; c < 0x30000; c += 1 + random() % 64) {
                glyphs.push_back(face.Glyph(c));
                face.Advance(glyphs.back());
            }
            SubsetFace(face, glyphs, {{u'A', glyphs[1]}});
        }
    }
    EXPECT_GT(loaded, 100);
}

// Loaded CFF faces must subset within their bytes too: a name-keyed face
// with its 'CFF ' table last, cut at every length (its last bytes are
// subroutines, so no cut leaves a whole font) and damaged at random, and a
// CID-keyed one damaged where its Top DICT, charset and FDSelect are.
TEST(SfntFace, DamagedCffFacesAreRefusedOrReadWithinTheirBytes) {
    READ_FONT_OR_SKIP(nimbus, kNimbus);
    READ_FONT_OR_SKIP(noto, kNotoCjk);
    SfntFace face;
    std::string why;
    Bytes moved = WithTableAtEnd(nimbus, "CFF "), cidKeyedFont = noto;
    const size_t entry = EntryOf(moved, "CFF "), cff = TableOf(moved, "CFF ");
    for (size_t length = 0; length < moved.size() - cff; length += length < 2048 ? 1 : 61) {
        Bytes cut(moved.begin(), moved.begin() + static_cast<std::ptrdiff_t>(cff + length));
        Put(cut, entry + 12, static_cast<uint32_t>(length), 4);
        EXPECT_FALSE(face.Load(cut.data(), cut.size(), 0, why)) << length;
    }
    for (const char* tag : {"CFF2", "zzzz"}) {
        Bytes renamed = nimbus;
        std::memcpy(&renamed[EntryOf(renamed, "CFF ")], tag, 4);
        EXPECT_FALSE(face.Load(renamed.data(), renamed.size(), 0, why)) << tag;
        EXPECT_NE(why.find(tag[3] == '2' ? "CFF2" : "no outlines"), std::string::npos) << why;
    }
    std::mt19937 random(11);
    int loaded = 0;
    for (int round = 0; round < 200; ++round) {
        const bool cidKeyed = round % 2;
        Bytes& font = cidKeyed ? cidKeyedFont : moved;  // restored after the round
        const size_t start = TableOf(font, "CFF ");
        const size_t span = cidKeyed ? 16384 : font.size() - start;
        std::vector<std::pair<size_t, uint8_t>> flipped;
        for (int flips = 1 + round % 8; flips > 0; --flips) {
            const size_t at = start + random() % span;
            flipped.emplace_back(at, font[at]);
            font[at] = static_cast<uint8_t>(random());
        }
        if (face.Load(font.data(), font.size(), 0, why)) {
            ++loaded;
            std::vector<uint16_t> glyphs;
            for (char32_t c = 0x20; c < 0x30000; c += 1 + random() % 997) {
                glyphs.push_back(face.Glyph(c));
                face.Cid(glyphs.back());
            }
            SubsetFace(face, glyphs, {{u'A', glyphs[1]}});
            SubsetCff(face, glyphs);
        }
        for (auto it = flipped.rbegin(); it != flipped.rend(); ++it) {
            font[it->first] = it->second;
        }
    }
    EXPECT_GT(loaded, 40);
}

TEST(SfntSubset, ShortLocaOffsetsGiveTheSameSubset) {
    READ_FONT_OR_SKIP(mono, kMono);
    Bytes longForm = mono;  // cut to 200 glyphs, whose offsets the short form can hold
    const uint16_t count = 200;
    Put(longForm, TableOf(longForm, "maxp") + 4, count, 2);
    Put(longForm, TableOf(longForm, "hhea") + 34, count, 2);
    Bytes shortForm = longForm;
    const size_t loca = TableOf(shortForm, "loca");
    for (size_t i = 0; i <= count; ++i) {
        const uint32_t offset = U32(&shortForm[loca + 4 * i]);
        ASSERT_TRUE(offset % 2 == 0 && offset / 2 <= 0xFFFF);
        Put(shortForm, loca + 2 * i, offset / 2, 2);
    }
    Put(shortForm, EntryOf(shortForm, "loca") + 12, 2 * (count + 1), 4);
    Put(shortForm, TableOf(shortForm, "head") + 50, 0, 2);
    const Bytes subset = SubsetFace(Loaded(longForm), {36, 37, 199}, {{u'A', 36}});
    EXPECT_FALSE(subset.empty());
    EXPECT_EQ(SubsetFace(Loaded(shortForm), {36, 37, 199}, {{u'A', 36}}), subset);
}

TEST(SfntSubset, CmapKeepsAFirstGlyphPerCharacterAndFitsFormat4OrIsRefused) {
    READ_FONT_OR_SKIP(mono, kMono);
    const SfntFace face = Loaded(mono);
    const Bytes subset = SubsetFace(face, {}, {{u'B', 37}, {u'A', 36}, {u'A', 99}, {0xFFFF, 5}});
    const FreeType embedded(subset);
    ASSERT_TRUE(embedded.face);
    EXPECT_EQ(
        std::tuple(FT_Get_Char_Index(embedded.face, 'A'), FT_Get_Char_Index(embedded.face, 'B'),
                   FT_Get_Char_Index(embedded.face, 0xFFFF)),
        std::tuple(36u, 37u, 0u));
    std::vector<std::pair<char16_t, uint16_t>> apart;  // a segment each: 8 bytes apiece
    for (char16_t c = 2; c <= 2 * 8188; c += 2) {
        apart.emplace_back(c, 36);
    }
    EXPECT_FALSE(SubsetFace(face, {}, apart).empty());
    apart.emplace_back(0x8000, 36);
    EXPECT_TRUE(SubsetFace(face, {}, apart).empty());
}

// A copy of a composite glyph becomes the last glyph, its bytes the file's
// last, so that reading past them is caught.
TEST(SfntSubset, BrokenOutlinesGiveNoSubsetAndOddComponentsAreSkipped) {
    READ_FONT_OR_SKIP(dejaVu, kDejaVu);
    const SfntFace face = Loaded(dejaVu);
    const uint16_t aGrave = face.Glyph(U'\u00C0'), last = face.GlyphCount() - 1;
    const size_t loca = TableOf(dejaVu, "loca"), glyf = TableOf(dejaVu, "glyf");
    const uint32_t glyfLength = U32(&dejaVu[EntryOf(dejaVu, "glyf") + 12]);
    const Bytes composite(dejaVu.begin() + glyf + U32(&dejaVu[loca + 4 * aGrave]),
                          dejaVu.begin() + glyf + U32(&dejaVu[loca + 4 * aGrave + 4]));
    ASSERT_LT(static_cast<int16_t>(U16(composite.data())), 0);
    Bytes copied = WithTableAtEnd(dejaVu, "glyf", composite);
    Put(copied, loca + 4 * last, glyfLength, 4);
    Put(copied, loca + 4 * last + 4, static_cast<uint32_t>(glyfLength + composite.size()), 4);
    const size_t copy = copied.size() - composite.size();
    const struct {
        const char* what;
        size_t at;
        uint32_t value;
        int width;
        bool subsets;
    } cases[] = {
        {"loca going back", loca + 4 * 5, 0, 4, false},
        {"loca past glyf", loca + 4 * last + 4, glyfLength + 4096, 4, false},
        {"component made of itself", copy + 12, last, 2, true},
        {"component past the glyphs", copy + 12, 0xFFFF, 2, true},
        {"more components than bytes", copy + 10, 0xFFFF, 2, true},
        {"empty last glyph", loca + 4 * last, uint32_t(glyfLength + composite.size()), 4, true},
    };
    for (const auto& c : cases) {
        Bytes font = copied;
        Put(font, c.at, c.value, c.width);
        const Bytes subset = SubsetFace(Loaded(font), {last}, {});
        EXPECT_EQ(subset.empty(), !c.subsets) << c.what;
        EXPECT_TRUE(subset.empty() || FreeType(subset).face) << c.what;
    }
    const Bytes subset = SubsetFace(Loaded(copied), {last}, {});
    const FreeType original(dejaVu), embedded(subset);
    EXPECT_EQ(Render(embedded.face, last), Render(original.face, aGrave));
}

}  // namespace
