// Whole documents from the writer, read back by qpdf and poppler: fonts
// embedded once as subsets with the text extractable, images once with
// their masks, and a page tree that holds any number of pages.
#include "pelm32/pdf/pdf_writer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

#include "pelm32/pdf/pdf_fonts.h"
#include "pelm32/pdf/utf8.h"
#include "tests/pelm32/pdf/pdf_check.h"

namespace {

using namespace pelm32::pdf;

constexpr double kWidth = 595.28;
constexpr double kHeight = 841.89;

const char kMono[] = "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf";
const char kCjk[] = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
const char kEmoji[] = "/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf";
const char kNimbus[] = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";
const char kNotoCjk[] = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";

struct LoadedFace {
    std::vector<uint8_t> bytes;
    SfntFace face;
};

LoadedFace Load(const char* path, unsigned faceIndex = 0,
                void (*tweak)(std::vector<uint8_t>&, unsigned) = nullptr) {
    LoadedFace loaded;
    std::ifstream in(path, std::ios::binary);
    loaded.bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (tweak != nullptr) {
        tweak(loaded.bytes, faceIndex);
    }
    std::string why;
    EXPECT_TRUE(loaded.face.Load(loaded.bytes.data(), loaded.bytes.size(), faceIndex, why))
        << path << ": " << why;
    return loaded;
}

uint32_t BigEndian(const std::vector<uint8_t>& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        value = value << 8 | bytes[at + i];
    }
    return value;
}

// Noto's charset is one format 2 range from CID 1, so that each glyph's CID
// is its id: starting the range at CID 2, and raising CIDCount (five bytes)
// to match, makes every CID one more than its glyph's id.
void ShiftCids(std::vector<uint8_t>& font, unsigned faceIndex) {
    const size_t directory = BigEndian(font, 12 + 4 * faceIndex, 4);
    size_t entry = directory + 12;
    while (std::string(&font[entry], &font[entry + 4]) != "CFF ") {
        entry += 16;
    }
    const size_t cff = BigEndian(font, entry + 8, 4);
    const auto indexEnd = [&font](size_t at) {
        const size_t count = BigEndian(font, at, 2), width = font[at + 2];
        return at + 2 + (count + 1) * width + BigEndian(font, at + 3 + count * width, int(width));
    };
    const size_t top = indexEnd(cff + font[cff + 2]);  // the Top DICT INDEX, after the names
    size_t operand = 0, value = 0;
    for (size_t at = top + 3 + 2 * font[top + 2]; at < indexEnd(top);) {
        const uint8_t b = font[at];
        if (b == 15) {  // charset
            ASSERT_EQ(std::tuple(font[cff + value], BigEndian(font, cff + value + 1, 2)),
                      std::tuple(2, 1u));
            font[cff + value + 2] = 2;
        } else if (b == 12 && font[at + 1] == 34) {  // CIDCount
            ASSERT_EQ(std::tuple(font[operand], BigEndian(font, operand + 1, 4)),
                      std::tuple(29, 65535u));
            font[operand + 2] = 1;
            font[operand + 3] = font[operand + 4] = 0;
        }
        if (b <= 21) {
            at += b == 12 ? 2 : 1;
            continue;
        }
        operand = at;
        value = b == 28   ? BigEndian(font, at + 1, 2)
                : b == 29 ? BigEndian(font, at + 1, 4)
                          : (b >= 32 && b <= 246 ? b - 139u : 0);
        while (b == 30 && (font[++at] & 0x0F) != 0x0F && (font[at] & 0xF0) != 0xF0) {
        }
        at += b == 28 ? 3 : b == 29 ? 5 : b >= 247 && b <= 254 ? 2 : 1;
    }
}

// Text of one face, laid out by glyph id as the engine does.
void ShowCharacters(PdfWriter& writer, ContentStream& content, int face, const SfntFace& sfnt,
                    double y, const std::u32string& text, double size = 12) {
    std::vector<uint16_t> glyphs;
    for (const char32_t c : text) {
        glyphs.push_back(sfnt.Glyph(c));
    }
    writer.ShowGlyphs(content, face, size, 72, y, glyphs.data(), text.data(), text.size());
}

std::string Utf8(const std::u32string& text) {
    std::string out;
    for (const char32_t c : text) {
        AppendUtf8(out, c);
    }
    return out;
}

std::string Fonts(const std::string& path) {
    return pdf_check::Run("pdffonts " + pdf_check::Quoted(path));
}

// The document as qpdf writes it uncompressed, to read its dictionaries.
std::string Uncompressed(const std::string& path) {
    return pdf_check::Run("qpdf --qdf --object-streams=disable " + pdf_check::Quoted(path) + " -");
}

TEST(PdfWriter, EachFaceIsEmbeddedOnceAsASubsetAndItsTextExtracts) {
    const LoadedFace mono = Load(kMono);
    const LoadedFace cjk = Load(kCjk);
    const LoadedFace emoji = Load(kEmoji);
    for (auto* deflater : {MakeZlibDeflater(6).release(), MakeDeflater().release()}) {
        const std::unique_ptr<Deflater> owned(deflater);
        MemorySink sink;
        PdfWriter writer(sink, *deflater, kWidth, kHeight);
        const int monoFace = writer.AddFace(mono.face);
        const int cjkFace = writer.AddFace(cjk.face);
        const int emojiFace = writer.AddFace(emoji.face);
        ContentStream content;
        writer.ShowWindows1252(content, monoFace, 12, 72, 700,
                               "Gr\xFC\xDF"
                               "e \x80 (a) \\b");
        ShowCharacters(writer, content, monoFace, mono.face, 680, U"Καλημέρα Привет");
        ShowCharacters(writer, content, cjkFace, cjk.face, 660, U"中文字符");
        ShowCharacters(writer, content, emojiFace, emoji.face, 640, U"😀🎉");
        content.Finish();
        writer.AddPage({writer.PutContent(content)});
        ASSERT_TRUE(writer.Finish("Fonts", "tests"));

        const std::string pdf = pdf_check::WriteTempPdf(sink.bytes);
        EXPECT_TRUE(pdf_check::QpdfClean(pdf));
        const std::string text = pdf_check::PdfToText(pdf);
        for (const char* expected : {"Grüße € (a) \\b", "Καλημέρα Привет", "中文字符", "😀🎉"}) {
            EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
        }
        // One program per face, shared by the face's two fonts; all subsets.
        const std::string fonts = Fonts(pdf);
        std::istringstream rows(fonts);
        std::string row;
        std::set<std::string> programs;
        int fontRows = 0;
        while (std::getline(rows, row)) {
            if (row.size() < 8 || row[6] != '+' ||
                !std::all_of(row.begin(), row.begin() + 6,
                             [](char c) { return c >= 'A' && c <= 'Z'; })) {
                continue;
            }
            ++fontRows;
            programs.insert(row.substr(7, row.find(' ') - 7));
            EXPECT_NE(row.find("yes yes"), std::string::npos) << row;  // embedded, subset
        }
        EXPECT_EQ(fontRows, 4) << fonts;  // the mono face's simple and Type0 fonts, two others
        EXPECT_EQ(programs.size(), 3u) << fonts;
        EXPECT_LT(sink.bytes.size(), 60u * 1024) << "the faces were not subset";
    }
}

// The ink FreeType puts down for glyphs at a pixel size, unhinted.
double FreeTypeInk(const LoadedFace& loaded, unsigned faceIndex,
                   const std::vector<uint16_t>& glyphs, int pixels) {
    FT_Library library;
    FT_Face face;
    FT_Init_FreeType(&library);
    FT_New_Memory_Face(library, loaded.bytes.data(), static_cast<FT_Long>(loaded.bytes.size()),
                       faceIndex, &face);
    FT_Set_Pixel_Sizes(face, 0, pixels);
    double ink = 0;
    for (const uint16_t glyph : glyphs) {
        if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_RENDER) == 0) {
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                for (unsigned x = 0; x < bitmap.width; ++x) {
                    ink += bitmap.buffer[row * bitmap.pitch + x] / 255.0;
                }
            }
        }
    }
    FT_Done_FreeType(library);
    return ink;
}

// The ink of rows [top, bottom) of a page.
double PageInk(const pdf_check::GrayPage& page, int top, int bottom) {
    double ink = 0;
    for (size_t i = size_t(top) * page.width; i < size_t(bottom) * page.width; ++i) {
        ink += (255 - page.pixels[i]) / 255.0;
    }
    return ink;
}

// Faces with CFF outlines, shown by glyph id and as Windows-1252 text: one
// subset program behind two CID fonts, read cleanly by qpdf and
// Ghostscript, drawn by poppler with the ink of the face's own glyphs
// where the text is, and extracted back. Shifted CIDs draw the same page:
// codes are CIDs, not glyph ids.
TEST(PdfWriter, CffFacesAreEmbeddedAsCidFontsThatDrawAndExtract) {
    constexpr int kPixels = 48;  // the text size, at 72 dpi
    const std::u32string cjk = U"中文字符 Grüße";
    const struct {
        const char* what;
        const char* path;
        unsigned faceIndex;
        void (*tweak)(std::vector<uint8_t>&, unsigned);
        std::u32string text;
    } cases[] = {
        {"name-keyed", kNimbus, 0, nullptr, U"Grüße Жж fi"},
        {"CID-keyed in a collection", kNotoCjk, 2, nullptr, cjk},
        {"CIDs apart from glyph ids", kNotoCjk, 2, ShiftCids, cjk},
    };
    const std::string windows1252 =
        "Gr\xFC\xDF"
        "e \x80 (a)";
    pdf_check::GrayPage unshifted;
    for (const auto& c : cases) {
        const LoadedFace loaded = Load(c.path, c.faceIndex, c.tweak);
        MemorySink sink;
        const auto deflater = MakeDeflater();
        PdfWriter writer(sink, *deflater, kWidth, kHeight);
        const int face = writer.AddFace(loaded.face);
        ContentStream content;
        ShowCharacters(writer, content, face, loaded.face, kHeight - 100, c.text, kPixels);
        writer.ShowWindows1252(content, face, kPixels, 72, kHeight - 200, windows1252);
        content.Finish();
        writer.AddPage({writer.PutContent(content)});
        ASSERT_TRUE(writer.Finish("CFF", "tests"));
        const std::string pdf = pdf_check::WriteTempPdf(sink.bytes);
        EXPECT_TRUE(pdf_check::QpdfClean(pdf)) << c.what;
        EXPECT_TRUE(pdf_check::GhostscriptReads(pdf)) << c.what;
        const std::string fonts = Fonts(pdf);
        std::istringstream rows(fonts);
        std::string row;
        int embedded = 0;
        while (std::getline(rows, row)) {
            embedded += row.find("CID Type 0C") != std::string::npos &&
                        row.find("yes yes yes") != std::string::npos;
        }
        EXPECT_EQ(embedded, 2) << c.what << "\n" << fonts;
        const std::string text = pdf_check::PdfToText(pdf);
        for (const std::string& expected : {Utf8(c.text), std::string("Grüße € (a)")}) {
            EXPECT_NE(text.find(expected), std::string::npos) << c.what << ": " << text;
        }
        RecordProperty(
            c.what, std::to_string(loaded.bytes.size()) + " " + std::to_string(sink.bytes.size()));
        EXPECT_LT(sink.bytes.size() * 5, loaded.bytes.size()) << c.what;

        const pdf_check::GrayPage page = pdf_check::RenderGray(pdf, 1, 72);
        ASSERT_EQ(page.height, std::lround(kHeight)) << c.what;
        std::vector<uint16_t> glyphs, codeGlyphs;
        for (const char32_t character : c.text) {
            glyphs.push_back(loaded.face.Glyph(character));
        }
        for (const char code : windows1252) {
            codeGlyphs.push_back(CodeGlyph(loaded.face, static_cast<uint8_t>(code)));
        }
        for (const auto& [baseline, shown] : {std::pair(100, glyphs), std::pair(200, codeGlyphs)}) {
            const double expected = FreeTypeInk(loaded, c.faceIndex, shown, kPixels);
            EXPECT_NEAR(PageInk(page, baseline - kPixels, baseline + kPixels / 2), expected,
                        expected * 0.03)
                << c.what << " at " << baseline;
        }
        EXPECT_EQ(PageInk(page, 200 + kPixels / 2, page.height), 0) << c.what;
        if (c.tweak == nullptr && c.faceIndex != 0) {
            unshifted = page;
        } else if (c.tweak != nullptr) {
            EXPECT_TRUE(page.pixels == unshifted.pixels) << c.what;
        }
    }
}

TEST(PdfWriter, WidthsAreIntegersAndTheMostCommonIsTheDefault) {
    const LoadedFace cjk = Load(kCjk);
    MemorySink sink;
    const auto deflater = MakeDeflater();
    PdfWriter writer(sink, *deflater, kWidth, kHeight);
    const int face = writer.AddFace(cjk.face);
    ContentStream content;
    ShowCharacters(writer, content, face, cjk.face, 700, U"中文字符 abc");
    writer.ShowWindows1252(content, face, 12, 72, 680, "Latin text");
    content.Finish();
    writer.AddPage({writer.PutContent(content)});
    ASSERT_TRUE(writer.Finish("Widths", "tests"));
    const std::string pdf = pdf_check::WriteTempPdf(sink.bytes);
    const std::string dictionaries = Uncompressed(pdf);
    EXPECT_NE(
        dictionaries.find("/DW " + std::to_string(GlyphWidth(cjk.face, cjk.face.Glyph(U'中')))),
        std::string::npos);
    for (const std::string key : {"/W [", "/Widths ["}) {
        const size_t at = dictionaries.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        // Up to the end of the array: "]" then a newline in qpdf's layout.
        const std::string array = dictionaries.substr(at, dictionaries.find("]\n", at) - at);
        EXPECT_GT(array.size(), key.size() + 2) << key;
        EXPECT_EQ(array.find_first_of(".eE"), std::string::npos) << array;
    }
}

// An image's colour and alpha, one byte a channel.
struct Bitmap {
    const char* name;
    uint32_t width;
    uint32_t height;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> alpha;
};

Bitmap SmoothGradient() {
    Bitmap bitmap{"smooth gradient", 30, 20, {}, {}};
    bitmap.rgb.resize(bitmap.width * bitmap.height * 3);
    bitmap.alpha.resize(bitmap.width * bitmap.height);
    for (size_t i = 0; i < bitmap.alpha.size(); ++i) {
        bitmap.rgb[i * 3] = static_cast<uint8_t>(i * 7);
        bitmap.rgb[i * 3 + 1] = static_cast<uint8_t>(i / bitmap.width * 12);
        bitmap.rgb[i * 3 + 2] = 200;
        bitmap.alpha[i] = static_cast<uint8_t>(i % bitmap.width * 8);
    }
    return bitmap;
}

// Seeded grain on a gradient, as a photo has it: neighbours differ by a few
// levels every which way, so the row predictor meets the ties between its
// neighbours that a smooth gradient never reaches.
Bitmap PhotoLike() {
    Bitmap bitmap{"photo-like grain", 64, 48, {}, {}};
    std::mt19937 random(22);
    for (uint32_t y = 0; y < bitmap.height; ++y) {
        for (uint32_t x = 0; x < bitmap.width; ++x) {
            for (const uint32_t base : {x * 3, y * 4, (x + y) * 2}) {
                bitmap.rgb.push_back(static_cast<uint8_t>(base + random() % 8));
            }
            bitmap.alpha.push_back(static_cast<uint8_t>(128 + x - y + random() % 8));
        }
    }
    return bitmap;
}

// Succeeds when an image pdfimages wrote (a binary PPM or PGM, named stem
// and its suffix) has the pixels given, of channels bytes each. Poppler may
// write a grey mask as a PPM, its three samples alike.
::testing::AssertionResult PixelsAre(const std::string& stem, uint32_t width, uint32_t height,
                                     unsigned channels, const std::vector<uint8_t>& pixels) {
    std::string path = stem + ".ppm";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        path = stem + ".pgm";
        in.open(path, std::ios::binary);
    }
    std::string magic;
    uint32_t w = 0;
    uint32_t h = 0;
    int most = 0;
    in >> magic >> w >> h >> most;
    in.get();
    const unsigned samples = magic == "P6" ? 3 : magic == "P5" ? 1 : 0;
    if (samples == 0 || w != width || h != height || most != 255 ||
        (channels != samples && channels != 1)) {
        return ::testing::AssertionFailure()
               << path << " is " << magic << " " << w << " x " << h << " to " << most;
    }
    std::vector<uint8_t> decoded(size_t{w} * h * samples);
    if (!in.read(reinterpret_cast<char*>(decoded.data()), static_cast<long>(decoded.size()))) {
        return ::testing::AssertionFailure() << path << " is short";
    }
    size_t wrong = 0;
    size_t first = 0;
    for (size_t pixel = size_t{w} * h; pixel-- > 0;) {
        for (unsigned sample = 0; sample < samples; ++sample) {
            const uint8_t expected = pixels[pixel * channels + (channels == 1 ? 0 : sample)];
            if (decoded[pixel * samples + sample] != expected) {
                ++wrong;
                first = pixel;
                break;
            }
        }
    }
    if (wrong > 0) {
        return ::testing::AssertionFailure()
               << path << ": " << wrong << " of " << size_t{w} * h
               << " pixels differ, the first at " << first % w << ", " << first / w;
    }
    return ::testing::AssertionSuccess();
}

TEST(PdfWriter, ImagesAreWrittenOnceLosslessWithAMaskWhereTheyHaveAlpha) {
    for (const Bitmap& bitmap : {SmoothGradient(), PhotoLike()}) {
        SCOPED_TRACE(bitmap.name);
        const uint32_t width = bitmap.width;
        const uint32_t height = bitmap.height;
        MemorySink sink;
        const auto deflater = MakeDeflater();
        PdfWriter writer(sink, *deflater, kWidth, kHeight);
        const int opaque = writer.AddImage({width, height, bitmap.rgb.data(), nullptr});
        const int masked = writer.AddImage({width, height, bitmap.rgb.data(), bitmap.alpha.data()});
        EXPECT_EQ(writer.AddImage({0, 5, bitmap.rgb.data(), nullptr}), -1);
        for (int page = 0; page < 3; ++page) {
            ContentStream content;
            writer.DrawImage(content, opaque, 72, 600, 90, 60);
            writer.DrawImage(content, masked, 72, 400, 90, 60);
            writer.DrawImage(content, masked, 300, 400, 0, 60);  // empty: not drawn
            content.Finish();
            writer.AddPage({writer.PutContent(content)});
        }
        ASSERT_TRUE(writer.Finish("Images", "tests"));
        const std::string pdf = pdf_check::WriteTempPdf(sink.bytes);
        EXPECT_TRUE(pdf_check::QpdfClean(pdf));

        const std::string list = pdf_check::Run("pdfimages -list " + pdf_check::Quoted(pdf));
        std::istringstream rows(list);
        std::string row;
        std::set<std::string> objects;
        int drawn = 0;
        int masks = 0;
        while (std::getline(rows, row)) {
            std::istringstream fields(row);
            std::string page, number, type, w, h, color, comp, bpc, encoding, interp, object;
            if (!(fields >> page >> number >> type >> w >> h >> color >> comp >> bpc >> encoding >>
                  interp >> object) ||
                page == "page") {
                continue;
            }
            EXPECT_EQ(encoding, "image") << row;  // Flate, never a lossy encoding
            masks += type == "smask";
            drawn += type == "image";
            objects.insert(type + object);
        }
        EXPECT_EQ(drawn, 6);
        EXPECT_EQ(masks, 3);
        EXPECT_EQ(objects.size(), 3u) << list;  // two images and one mask, each once

        // What a reader decodes is what went in, byte for byte: the first
        // page's images in the order drawn, the mask after its image.
        const std::string prefix = pdf + "-image";
        pdf_check::Run("pdfimages -f 1 -l 1 " + pdf_check::Quoted(pdf) + " " +
                       pdf_check::Quoted(prefix));
        EXPECT_TRUE(PixelsAre(prefix + "-000", width, height, 3, bitmap.rgb)) << "opaque";
        EXPECT_TRUE(PixelsAre(prefix + "-001", width, height, 3, bitmap.rgb)) << "masked";
        EXPECT_TRUE(PixelsAre(prefix + "-002", width, height, 1, bitmap.alpha)) << "mask";
    }
}

TEST(PdfWriter, PageTreesOfAnySizeCountEveryPageInOrder) {
    const LoadedFace mono = Load(kMono);
    for (const int pages : {0, 1, 64, 65, 4097}) {
        MemorySink sink;
        const auto deflater = MakeDeflater();
        PdfWriter writer(sink, *deflater, kWidth, kHeight);
        const int face = writer.AddFace(mono.face);
        ContentStream shared;
        writer.ShowWindows1252(shared, face, 10, 72, 800, "Shared top");
        shared.Finish();
        const uint32_t top = pages > 0 ? writer.PutContent(shared) : 0;
        for (int page = 1; page <= pages; ++page) {
            ContentStream own;
            writer.ShowWindows1252(own, face, 10, 72, 700, "page-" + std::to_string(page));
            own.Finish();
            writer.AddPage({top, writer.PutContent(own)});
        }
        ASSERT_TRUE(writer.Finish("Tree", "tests"));
        const std::string pdf = pdf_check::WriteTempPdf(sink.bytes);
        EXPECT_TRUE(pdf_check::QpdfClean(pdf)) << pages;
        EXPECT_EQ(pdf_check::PdfPageCount(pdf), std::max(pages, 1));
        for (const int page : {1, pages / 2 + 1, pages}) {
            if (page >= 1 && page <= pages) {
                const std::string text = pdf_check::PdfToText(pdf, page);
                EXPECT_NE(text.find("Shared top"), std::string::npos) << page;
                EXPECT_NE(text.find("page-" + std::to_string(page) + "\n"), std::string::npos)
                    << page << ":\n"
                    << text;
            }
        }
    }
}

TEST(PdfWriter, TitlesReachTheDocumentInformationInAnyScript) {
    for (const std::string title : {"Plain (title) \\ here", "Grüße – Привет – 中文 – 😀"}) {
        MemorySink sink;
        const auto deflater = MakeDeflater();
        PdfWriter writer(sink, *deflater, kWidth, kHeight);
        ASSERT_TRUE(writer.Finish(title, "tests"));
        const std::string pdf = pdf_check::WriteTempPdf(sink.bytes);
        EXPECT_TRUE(pdf_check::QpdfClean(pdf));
        const std::string info = pdf_check::PdfInfo(pdf);
        const size_t line = info.find("Title:");
        ASSERT_NE(line, std::string::npos) << info;
        const size_t value = info.find_first_not_of(' ', line + 6);
        EXPECT_EQ(info.substr(value, info.find('\n', value) - value), title);
    }
}

}  // namespace
