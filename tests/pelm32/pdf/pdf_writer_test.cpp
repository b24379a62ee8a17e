// Whole documents from the writer, read back by qpdf and poppler: fonts
// embedded once as subsets with the text extractable, images once with
// their masks, and a page tree that holds any number of pages.
#include "pelm32/pdf/pdf_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
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

TEST(PdfWriter, ImagesAreWrittenOnceLosslessWithAMaskWhereTheyHaveAlpha) {
    const uint32_t width = 30;
    const uint32_t height = 20;
    std::vector<uint8_t> rgb(width * height * 3);
    std::vector<uint8_t> alpha(width * height);
    for (size_t i = 0; i < alpha.size(); ++i) {
        rgb[i * 3] = static_cast<uint8_t>(i * 7);
        rgb[i * 3 + 1] = static_cast<uint8_t>(i / width * 12);
        rgb[i * 3 + 2] = 200;
        alpha[i] = static_cast<uint8_t>(i % width * 8);
    }
    MemorySink sink;
    const auto deflater = MakeDeflater();
    PdfWriter writer(sink, *deflater, kWidth, kHeight);
    const int opaque = writer.AddImage({width, height, rgb.data(), nullptr});
    const int masked = writer.AddImage({width, height, rgb.data(), alpha.data()});
    EXPECT_EQ(writer.AddImage({0, 5, rgb.data(), nullptr}), -1);
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

    // What a reader decodes is what went in: the first image as a PPM.
    const std::string prefix = pdf + "-image";
    pdf_check::Run("pdfimages -f 1 -l 1 " + pdf_check::Quoted(pdf) + " " +
                   pdf_check::Quoted(prefix));
    std::ifstream ppm(prefix + "-000.ppm", std::ios::binary);
    const std::string decoded(std::istreambuf_iterator<char>(ppm), {});
    ASSERT_GE(decoded.size(), rgb.size());
    EXPECT_EQ(decoded.substr(decoded.size() - rgb.size()), std::string(rgb.begin(), rgb.end()));
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
