// Whole documents from the writer, read back by qpdf and poppler: fonts
// embedded once as subsets with the text extractable, images once with
// their masks, and a page tree that holds any number of pages.
#include "pelm32/pdf/pdf_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>

#include "pelm32/pdf/pdf_fonts.h"
#include "tests/pelm32/pdf/pdf_check.h"

namespace {

using namespace pelm32::pdf;

constexpr double kWidth = 595.28;
constexpr double kHeight = 841.89;

const char kMono[] = "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf";
const char kCjk[] = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
const char kEmoji[] = "/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf";

struct LoadedFace {
    std::vector<uint8_t> bytes;
    SfntFace face;
};

LoadedFace Load(const char* path) {
    LoadedFace loaded;
    std::ifstream in(path, std::ios::binary);
    loaded.bytes.assign(std::istreambuf_iterator<char>(in), {});
    std::string why;
    EXPECT_TRUE(loaded.face.Load(loaded.bytes.data(), loaded.bytes.size(), 0, why))
        << path << ": " << why;
    return loaded;
}

// Text of one face, laid out by glyph id as the engine does.
void ShowCharacters(PdfWriter& writer, ContentStream& content, int face, const SfntFace& sfnt,
                    double y, const std::u32string& text) {
    std::vector<uint16_t> glyphs;
    for (const char32_t c : text) {
        glyphs.push_back(sfnt.Glyph(c));
    }
    writer.ShowGlyphs(content, face, 12, 72, y, glyphs.data(), text.data(), text.size());
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
