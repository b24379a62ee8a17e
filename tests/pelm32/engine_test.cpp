// The engine through its nine functions, as the report job drives it, judged
// by the PDFs it leaves in the output folder.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/pelm32.h"
#include "pelm32/core/failures.h"
#include "pelm32/core/fonts.h"
#include "pelm32/core/settings.h"
#include "pelm32/core/spool.h"
#include "pelm32/core/text_layout.h"
#include "tests/pelm32/engine_fixture.h"
#include "tests/pelm32/failing_allocation.h"
#include "tests/pelm32/pdf_tools.h"
#include "tests/pelm32/report_driver.h"

namespace {

using namespace pelm32_test;

TEST_F(EngineTest, ThreePageReportCarriesNumberingHeadersBodyAndEndLine) {
    // 53 lines on the first page, 51 on the second, the rest on the third.
    const std::vector<std::string> lines = NumberedLines(110);
    PrintLines(lines);
    const std::string pdf = Pdf();
    ASSERT_EQ(PdfPageCount(pdf), 3);
    EXPECT_NE(PdfInfo(pdf).find("(A4)"), std::string::npos) << PdfInfo(pdf);

    const int firstOnPage[] = {1, 54, 105, 111};
    for (int page = 1; page <= 3; ++page) {
        const std::string text = PdfText(pdf, page);
        EXPECT_NE(text.find("Page " + std::to_string(page) + " of   3"), std::string::npos) << text;
        for (const char* header : {"First Line of Page Header", "Second Line of Page Header",
                                   "Run Date and Time or Whatever"}) {
            EXPECT_NE(text.find(header), std::string::npos) << "page " << page;
        }
        // Each page's body lines, in order, and no other page's.
        size_t at = 0;
        for (int line = firstOnPage[page - 1]; line < firstOnPage[page]; ++line) {
            const size_t found = text.find(lines[static_cast<size_t>(line - 1)], at);
            ASSERT_NE(found, std::string::npos) << "line " << line << " on page " << page;
            at = found;
        }
        if (page < 3) {
            EXPECT_EQ(text.find(lines[static_cast<size_t>(firstOnPage[page] - 1)]),
                      std::string::npos);
        }
        if (page > 1) {
            EXPECT_EQ(text.find(lines[static_cast<size_t>(firstOnPage[page - 2] - 1)]),
                      std::string::npos);
        }
        EXPECT_EQ(text.find("** END OF REPORT **") != std::string::npos, page == 3);
    }
}

TEST_F(EngineTest, EverythingDrawnLiesOnThePaper) {
    // The 53rd line of the first page is the lowest body line, the page
    // count the rightmost text; all of it must be inside the A4 sheet.
    PrintLines(NumberedLines(53));
    const std::vector<PdfWord> words = PdfWords(Pdf());
    ASSERT_FALSE(words.empty());
    bool sawLastLine = false;
    bool sawCount = false;
    for (const PdfWord& word : words) {
        EXPECT_GE(word.xMin, 0.0) << word.text;
        EXPECT_GE(word.yMin, 0.0) << word.text;
        EXPECT_LE(word.xMax, 595.3) << word.text;
        EXPECT_LE(word.yMax, 841.9) << word.text;
        if (word.text == "0053") {
            sawLastLine = true;
            EXPECT_NEAR(word.yMin, 11.0 * 72, 1.0);  // top of its line box at 11 in
        }
        if (word.text == "1" && word.xMin > 7.7 * 72) {
            sawCount = true;
            EXPECT_NEAR(word.xMin, 7.8 * 72, 0.5);
        }
    }
    EXPECT_TRUE(sawLastLine);
    EXPECT_TRUE(sawCount);
    EXPECT_NE(PdfText(Pdf()).find("** END OF REPORT **"), std::string::npos);
}

TEST_F(EngineTest, EachBitmapIsEmbeddedOnceLosslesslyHoweverOftenDrawn) {
    PrintLines(NumberedLines(110));
    const std::vector<PdfImage> images = PdfImages(Pdf());
    ASSERT_EQ(images.size(), 3u * 13u);  // 12 tiles and the logo on each page
    std::set<int> objects;
    for (const PdfImage& image : images) {
        objects.insert(image.object);
        EXPECT_NE(image.encoding, "jpeg");
        EXPECT_TRUE((image.width == 150 && image.height == 150) ||
                    (image.width == 100 && image.height == 100));
    }
    EXPECT_EQ(objects.size(), 2u);
}

TEST_F(EngineTest, CourierNewIsEmbeddedAsTextInAMetricCompatibleFace) {
    PrintLines(NumberedLines(3));
    const std::string fonts = PdfFonts(Pdf());
    EXPECT_NE(fonts.find("LiberationMono"), std::string::npos) << fonts;
    EXPECT_EQ(fonts.find("Type 3"), std::string::npos) << fonts;
    std::istringstream rows(fonts);
    std::string row;
    int fontRows = 0;
    while (std::getline(rows, row)) {
        if (row.find("LiberationMono") != std::string::npos) {
            ++fontRows;
            EXPECT_NE(row.find("yes"), std::string::npos) << row;  // embedded, with ToUnicode
        }
    }
    EXPECT_EQ(fontRows, 1);
    EXPECT_NE(PdfText(Pdf()).find("Body line 0002 of the report"), std::string::npos);
}

TEST_F(EngineTest, EveryPageSharesOneStreamForWhatRepeatsAtItsTop) {
    PrintLines(NumberedLines(110));
    const std::vector<std::vector<int>> pages = PageContents(Pdf());
    ASSERT_EQ(pages.size(), 3u);
    std::set<int> own;
    for (const std::vector<int>& contents : pages) {
        ASSERT_EQ(contents.size(), 2u);
        EXPECT_EQ(contents[0], pages[0][0]);  // watermark, logo, headers: written once
        own.insert(contents[1]);
    }
    EXPECT_EQ(own.size(), 3u);
    EXPECT_EQ(own.count(pages[0][0]), 0u);
}

TEST_F(EngineTest, ScriptsBeyondWindows1252AreEmbeddedAsSubsetsAndExtractBack) {
    const char* lines[] = {
        "Greek: \xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1",
        "Cyrillic: \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
        "CJK: \xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97",
        "Emoji: \xF0\x9F\x98\x80\xF0\x9F\x8E\x89",
        "Latin: Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x82\xAC",
    };
    PrintLines(std::vector<std::string>(std::begin(lines), std::end(lines)));
    const std::string text = RunCommand("pdftotext -enc UTF-8 " + Quoted(Pdf()) + " -");
    for (const char* line : lines) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    }
    // Liberation Mono twice (Windows-1252, and Greek and Cyrillic by glyph
    // id), then the faces fontconfig finds for CJK and emoji: all embedded
    // subsets, and all but the first by glyph id.
    const std::string fonts = PdfFonts(Pdf());
    std::istringstream rows(fonts);
    std::string row;
    std::set<std::string> faces;
    int subsets = 0;
    int identity = 0;
    while (std::getline(rows, row)) {
        if (row.size() > 7 && row[6] == '+') {
            faces.insert(row.substr(7, row.find(' ') - 7));
            EXPECT_NE(row.find("yes yes"), std::string::npos) << row;
            ++subsets;
            identity += row.find("Identity-H") != std::string::npos;
        }
    }
    EXPECT_GE(faces.size(), 3u) << fonts;
    EXPECT_EQ(faces.count("LiberationMono"), 1u) << fonts;
    EXPECT_EQ(identity, subsets - 1) << fonts;
}

// The glyph ids of a word as the engine lays it out, in the order they are
// drawn left to right, and the face they come from. Right-to-left glyphs
// are written in reading order.
std::string LaidGlyphs(const char* text, bool rightToLeft, std::string& file, unsigned& index) {
    const pelm32::Font& font = pelm32::FontById(pelm32::FindFont("Courier New", 10));
    pelm32::TextCursor cursor(text, std::strlen(text));
    pelm32::TextLayout layout;
    layout.Lay(font, 0, 1e6, cursor);
    std::vector<uint16_t> glyphs;
    for (const pelm32::LaidRun& run : layout.Runs()) {
        file = pelm32::FaceById(run.face).File().path;
        index = pelm32::FaceById(run.face).File().index;
        glyphs.insert(glyphs.end(), layout.Glyphs().begin() + static_cast<ptrdiff_t>(run.begin),
                      layout.Glyphs().begin() + static_cast<ptrdiff_t>(run.end));
    }
    if (rightToLeft) {
        std::reverse(glyphs.begin(), glyphs.end());
    }
    std::string ids = "[";
    for (const uint16_t glyph : glyphs) {
        ids += (ids.size() > 1 ? "|" : "") + std::to_string(glyph);
    }
    return ids + "]";
}

// A fixed-pitch line as the grid gives it, character by character: what
// starts left of the page is dropped, what is past its edge is kept up to a
// limit, trailing blanks go, and tabs and non-ASCII interleave with plain
// ASCII (laid a stretch at a time) without moving it.
TEST_F(EngineTest, FixedPitchTextKeepsItsColumnsAtBothEdges) {
    const pelm32::Font& font = pelm32::FontById(pelm32::FindFont("Courier New", 10));
    ASSERT_NE(font.UniformAscii(), nullptr);
    constexpr double kCell = 6;  // 10 points of Courier New
    const size_t kept = pelm32::TextLayout::kKeptPastTheEdge;
    const std::string longLine(kept + 200, 'w');
    const struct {
        double x;
        double pageWidth;
        std::string text;
        std::u32string expected;  // the characters laid, with where they start
        double first;
    } cases[] = {
        {36, 612, "plain line   ", U"plain line", 36},
        {-18, 612, "ABCDEFGH", U"DEFGH", 0},  // C ends at 0: nothing of it shows
        {-13, 612, "ABCDEFGH", U"CDEFGH", -1},
        {600, 612, longLine, std::u32string(kept + 2, U'w'), 600},  // 2 before the edge
        {0, 612, "a\tb\xC3\xA9\tc", U"a       b\u00E9      c", 0},
        {6, 612, "x \x01 y\t", U"x   y", 6},
        {0, 612, "      ", U"", 0},
        {0, HUGE_VAL, "no edge at all", U"no edge at all", 0},  // as a page number is measured
    };
    for (const auto& c : cases) {
        pelm32::TextCursor cursor(c.text.data(), c.text.size());
        pelm32::TextLayout layout;
        layout.Lay(font, c.x, c.pageWidth, cursor);
        std::u32string laid;
        for (const pelm32::LaidRun& run : layout.Runs()) {
            EXPECT_NEAR(run.x, c.first + kCell * static_cast<double>(laid.size()), 1e-9) << c.x;
            for (size_t i = run.begin; i < run.end; ++i) {
                laid += run.encoding == pelm32::Encoding::Windows1252
                            ? static_cast<unsigned char>(layout.Codes()[i])
                            : layout.Characters()[i];
            }
        }
        EXPECT_TRUE(laid == c.expected) << c.text.substr(0, 40) << " from " << c.x;
        EXPECT_NEAR(layout.InkEnd(), c.expected.empty() ? c.x : c.first + kCell * laid.size(),
                    1e-6);
    }
}

// Readers of the spool share two blocks read back from it: readers that
// take turns across block edges, start mid-way or read records larger than
// a block each get exactly the bytes written.
TEST(SpoolReading, EveryReaderGetsTheBytesWrittenWhateverItsNeighboursRead) {
    pelm32::SpoolFile spool;
    std::string written;
    for (uint32_t i = 0; written.size() < (3u << 20); ++i) {
        const std::string record(i % 97 == 0 ? 200000 : 5 + i % 300,
                                 static_cast<char>('a' + i % 26));
        spool.Append(record.data(), record.size());
        written += record;
    }
    ASSERT_TRUE(spool.Flush());
    const uint64_t third = written.size() / 3;
    const struct {
        uint64_t begins[3];  // readers taking turns, each from its own offset
        size_t step;         // bytes per read
    } cases[] = {
        {{0, 0, 0}, 4096},
        {{0, 131000, 262000}, 7},    // neighbours a block apart, small reads
        {{0, third, 2 * third}, 7},  // three stretches for two blocks
        {{third, third + 5, 2 * third}, 90001},
        {{1, 2 * third - 3, 2 * third + 11}, 150000},  // larger than half a block
    };
    for (const auto& c : cases) {
        std::vector<pelm32::SpoolReader> readers;
        std::vector<uint64_t> at;
        for (const uint64_t begin : c.begins) {
            readers.emplace_back(spool, begin, written.size());
            at.push_back(begin);
        }
        std::string buffer(c.step, '\0');
        for (int turn = 0; turn < 60; ++turn) {
            const size_t r = static_cast<size_t>(turn) % readers.size();
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(c.step, written.size() - at[r]));
            ASSERT_TRUE(readers[r].Read(buffer.data(), n)) << c.step << " turn " << turn;
            ASSERT_EQ(buffer.compare(0, n, written, at[r], n), 0) << c.step << " turn " << turn;
            at[r] += n;
        }
    }
    pelm32::SpoolReader reader(spool, written.size() - 4, written.size());
    char tail[8];
    EXPECT_FALSE(reader.Read(tail, 8));  // past its stretch
    EXPECT_TRUE(reader.Read(tail, 4));
}

// Every script as its readers write it: a word's glyphs are those
// HarfBuzz's own tool gives for the same face and text, the text after it
// starts in the column a terminal shows it in, and the PDF's text reads as
// written, a character no face has included.
TEST_F(EngineTest, EveryScriptIsShapedInItsColumnsAndExtractsAsWritten) {
    enum Shaping { Unshaped, LeftToRight, RightToLeft };
    struct Row {
        const char* text;
        int cells;
        Shaping shaping;
    };
    const Row rows[] = {
        {"\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", 4, RightToLeft},
        {"\xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85", 7, RightToLeft},
        {"\xE0\xA4\xA8\xE0\xA4\xAE\xE0\xA4\xB8\xE0\xA5\x8D\xE0\xA4\xA4\xE0\xA5\x87", 4,
         LeftToRight},
        {"\xE0\xB8\xAA\xE0\xB8\xA7\xE0\xB8\xB1\xE0\xB8\xAA\xE0\xB8\x94\xE0\xB8\xB5", 4,
         LeftToRight},
        {"\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x95\xD7\x9C\xD7\x9D", 9, Unshaped},
        {"e\xCC\x81"
         "a\xCC\x88",
         2, Unshaped},
        {"\xE7\x94\xB5\xE6\xBA\x90\xE7\xBA\xBF", 6, Unshaped},
        {"\xF0\x9F\x98\x80\xF0\x9F\x8E\x89", 4, Unshaped},
        {"\xEE\x84\xA3", 1, Unshaped},  // private use: no face has it
    };
    std::vector<std::string> lines;
    for (const Row& row : rows) {
        lines.push_back(std::string(row.text) + "|");
        if (row.shaping != Unshaped) {
            std::string file;
            unsigned index = 0;
            const std::string ours = LaidGlyphs(row.text, row.shaping == RightToLeft, file, index);
            const std::string reference = RunCommand(
                "hb-shape --no-glyph-names --no-positions --no-clusters --font-file=" +
                Quoted(file) + " --face-index=" + std::to_string(index) + " " + Quoted(row.text));
            EXPECT_EQ(ours + "\n", reference) << row.text << " in " << file;
        }
    }
    PrintLines(lines);
    const std::string text = RunCommand("pdftotext -enc UTF-8 " + Quoted(Pdf()) + " -");
    std::vector<double> bars;
    for (const PdfWord& word : PdfWords(Pdf())) {
        if (!word.text.empty() && word.text.back() == '|') {
            bars.push_back(word.xMax);
        }
    }
    ASSERT_EQ(bars.size(), std::size(rows)) << text;
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_NE(text.find(rows[i].text), std::string::npos) << rows[i].text << " in\n" << text;
        // Body lines start at half an inch; a cell of 10 pt Courier is 6 pt.
        EXPECT_NEAR(bars[i], 36 + (rows[i].cells + 1) * 6.0, 0.5) << rows[i].text;
    }
}

TEST_F(EngineTest, OutlandishPositionsAndSpecialCharactersStayWellFormed) {
    const float huge = 1e19f;
    const float nan = std::nanf("");
    const float inf = INFINITY;
    ReportRun run = StartReport();
    pmDrawGraphic(run.doc, run.logo, 1.0f, 1.0f, huge, huge);  // reaches far off the page
    pmDrawGraphic(run.doc, run.logo, -huge, 3.0f, 2.0f, 4.0f);
    pmDrawGraphic(run.doc, run.logo, nan, 1.0f, 2.0f, 2.0f);
    pmDrawGraphic(run.doc, run.logo, 1.0f, 1.0f, inf, 2.0f);
    pmText(run.doc, nan, 1.0f, 0, "not a number");
    pmText(run.doc, 1.0f, -inf, 0, "minus infinity");
    pmFont(run.doc, 1, nan, 0, "Courier New");
    pmFont(run.doc, 1, 1e30f, 0, "Courier New");
    pmPageNo(run.doc, huge, huge, 0, 0);
    ReportLine(run, "Escapes: (open) close) back\\slash \\( ((");
    FinishReport(run);
    const std::string text = PdfText(Pdf());
    EXPECT_NE(text.find("Escapes: (open) close) back\\slash \\( (("), std::string::npos) << text;
    EXPECT_EQ(text.find("not a number"), std::string::npos);
    EXPECT_EQ(text.find("infinity"), std::string::npos);
    // The graphic that reaches far off the page is drawn, cut at the reach
    // the engine allows, with numbers a reader takes.
    std::string content;
    const std::vector<std::vector<int>> pages = PageContents(Pdf());
    ASSERT_EQ(pages.size(), 1u);
    for (const int stream : pages[0]) {
        content += RunCommand("qpdf --show-object=" + std::to_string(stream) +
                              " --filtered-stream-data " + Quoted(Pdf()));
    }
    size_t images = 0;
    for (size_t at = content.find(" cm /Im"); at != std::string::npos;
         at = content.find(" cm /Im", at + 1)) {
        ++images;
    }
    EXPECT_EQ(images, 13u + 3u) << content;  // the furniture, and all but the NaN one
    EXPECT_EQ(content.find("e+"), std::string::npos);
    EXPECT_EQ(content.find("nan"), std::string::npos);
    EXPECT_EQ(content.find("inf"), std::string::npos);
}

TEST_F(EngineTest, MissingOrBrokenBitmapGetsAnIdAndDrawsNothing) {
    {
        std::ofstream broken(work_ + "/broken.bmp");
        broken << "BM this is not a bitmap";
    }
    testing::internal::CaptureStderr();
    ReportRun run = StartReport("no-such-logo.bmp", "broken.bmp");
    const int32_t good = pmAddGraphic(run.doc, "Logo.bmp");
    pmDrawGraphic(run.doc, good, 3.0f, 3.0f, 4.0f, 4.0f);
    ReportLine(run, "a line");
    FinishReport(run);
    const std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_GT(run.logo, 0);
    EXPECT_GT(run.watermark, 0);
    EXPECT_NE(run.logo, run.watermark);
    EXPECT_NE(errors.find("no-such-logo.bmp"), std::string::npos) << errors;
    EXPECT_NE(errors.find("broken.bmp"), std::string::npos) << errors;
    EXPECT_EQ(PdfPageCount(Pdf()), 1);
    const std::vector<PdfImage> images = PdfImages(Pdf());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 150);
    EXPECT_NE(PdfText(Pdf()).find("a line"), std::string::npos);
}

// The lines of a report file, as the report job reads them.
std::vector<std::string> ReportFileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream text(ReadFile(path));
    for (std::string line; std::getline(text, line, '\n');) {
        lines.push_back(line.substr(0, line.find('\r')));
    }
    return lines;
}

// Without blanks and quotes: struct text runs a paragraph's lines together,
// and quotes each marked sequence's text on a line of its own.
std::string WithoutBlanks(std::string text) {
    text.erase(std::remove_if(text.begin(), text.end(),
                              [](char c) { return std::strchr(" \t\n\"", c) != nullptr; }),
               text.end());
    return text;
}

TEST_F(EngineTest, EveryPdfIsArchivalAndTaggedWithTheBodyAloneToRead) {
    const std::string examples = PELM32_EXAMPLES_DIR;
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        const char* logo;
        int pages;
    } cases[] = {
        {"sample", ReportFileLines(examples + "/sample-report.txt"), "Logo.bmp", 3},
        {"UTF-8 sample", ReportFileLines(examples + "/utf8-report.txt"), "Logo.bmp", 1},
        {"missing logo", NumberedLines(110), "no-such-logo.bmp", 3},
        // long enough that pages are written while it is drawn, the page
        // count in a form written at the end
        {"written as drawn", NumberedLines(12000), "Logo.bmp", 236},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        testing::internal::CaptureStderr();
        setenv("LC_ALL", "de_AT.UTF-8", 1);  // read when the document starts
        ReportRun run = StartReport(c.logo);
        unsetenv("LC_ALL");
        for (const std::string& line : c.lines) {
            ReportLine(run, line);
        }
        FinishReport(run);
        testing::internal::GetCapturedStderr();
        const std::string pdf =
            Pdf(i == 0 ? kPdfName
                       : std::string(kPdfName).insert(std::strlen(kPdfName) - 4,
                                                      " (" + std::to_string(i + 1) + ")"));
        ASSERT_EQ(PdfPageCount(pdf), c.pages) << c.name;
        EXPECT_EQ(ReadFile(pdf).find("/Subtype /Form") != std::string::npos, c.pages > 100)
            << c.name << ": its count drawn at the end";

        int status = 0;
        const std::string failures = RunCommand(
            "python3 " + Quoted(PELM32_ARCHIVE_CHECK) + ' ' + Quoted(pdf) + " de-AT", &status);
        EXPECT_EQ(status, 0) << c.name << ":\n" << failures;
        const std::string info = PdfInfo(pdf);
        for (const char* claim : {"PDF subtype:    PDF/A-2u", "Standard:      ISO 19005-2",
                                  "Conformance:   Level U", "Tagged:          yes"}) {
            EXPECT_NE(info.find(claim), std::string::npos) << c.name << ": " << info;
        }

        // The body lines in order; none of the furniture.
        const std::string structure =
            WithoutBlanks(RunCommand("pdfinfo -struct-text " + Quoted(pdf)));
        size_t at = 0;
        for (const std::string& line : c.lines) {
            const std::string body = WithoutBlanks(line);
            if (body.empty() || body == ".PAGE.") {
                continue;
            }
            const size_t found = structure.find(body, at);
            ASSERT_NE(found, std::string::npos) << c.name << ": " << line;
            at = found + body.size();
        }
        EXPECT_NE(structure.find("**ENDOFREPORT**", at), std::string::npos) << c.name;
        for (const char* furniture : {"FirstLineofPageHeader", "SecondLineofPageHeader",
                                      "RunDateandTimeorWhatever", "Page"}) {
            EXPECT_EQ(structure.find(furniture), std::string::npos) << c.name << ": " << furniture;
        }
    }
}

TEST(Settings, TheLocaleGivesTheDocumentsLanguage) {
    const struct {
        const char* locale;
        const char* language;
    } cases[] = {
        {"en_GB.UTF-8", "en-GB"},
        {"de_AT.ISO-8859-1@euro", "de-AT"},
        {"fr", "fr"},
        {"ast_ES.UTF-8", "ast-ES"},
        {"", "en"},
        {"C", "en"},
        {"C.UTF-8", "en"},
        {"POSIX", "en"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pelm32::LocaleLanguage(c.locale), c.language) << c.locale;
    }
}

TEST_F(EngineTest, AnExistingFileIsNeverOverwritten) {
    {
        std::ofstream existing(Pdf());
        existing << "not ours";
    }
    PrintLines({"first run"});
    PrintLines({"second run"});
    EXPECT_EQ(ReadFile(Pdf()), "not ours");
    EXPECT_NE(PdfText(Pdf("Hestrel PELM Demo (2).pdf")).find("first run"), std::string::npos);
    EXPECT_NE(PdfText(Pdf("Hestrel PELM Demo (3).pdf")).find("second run"), std::string::npos);
    EXPECT_EQ(FolderEntries(output_).size(), 3u);  // and nothing half-written beside them
    unlink(Pdf().c_str());                         // not a PDF: spared the checks of every PDF left
}

TEST_F(EngineTest, TitlesBecomeFileNamesInsideTheOutputFolder) {
    const struct {
        const char* title;
        const char* file;
    } cases[] = {
        {"Monthly/Report", "Monthly_Report.pdf"},
        {"../escape", "_escape.pdf"},  // no hidden files
        {"..", "Document.pdf"},
        {"", "Document (2).pdf"},
        {".profile", "profile.pdf"},
        {"Gr\xFC\xDF", "Grüß.pdf"},  // Windows-1252
        {"tab\there", "tab_here.pdf"},
    };
    for (const auto& c : cases) {
        const int32_t doc = pmStartDoc(0, c.title, nullptr, 0, 1, 0, 7, 8);
        pmFinishDoc(doc, 4);
        EXPECT_EQ(PdfPageCount(Pdf(c.file)), 1) << c.file;
    }
    EXPECT_EQ(FolderEntries(output_).size(), std::size(cases));
}

TEST_F(EngineTest, FinishingReportsTheFileAndItsPageCount) {
    testing::internal::CaptureStderr();
    PrintLines(NumberedLines(60));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find(Pdf()), std::string::npos) << errors;
    EXPECT_NE(errors.find("2 pages"), std::string::npos) << errors;
}

TEST_F(EngineTest, AnUnwritableFolderLeavesNoPdfAndSaysWhy) {
    const std::string missing = output_ + "/no/such/folder";
    setenv("PELM32_OUTPUT_DIR", missing.c_str(), 1);
    testing::internal::CaptureStderr();
    PrintLines({"lost"});
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("No such file or directory"), std::string::npos) << errors;
    EXPECT_TRUE(FolderEntries(output_).empty());
}

TEST_F(EngineTest, HandlesThatAreNotOpenDoNothing) {
    const int32_t finished = pmStartDoc(0, "Finished", nullptr, 0, 1, 0, 7, 8);
    ASSERT_GT(finished, 0);
    pmFinishDoc(finished, 4);
    const std::vector<std::string> before = FolderEntries(output_);
    for (const int32_t handle : {0, -1, 32768, 65536, 32767, finished}) {
        EXPECT_EQ(pmAddGraphic(handle, "Logo.bmp"), 0) << handle;
        pmFont(handle, 1, 10.0f, 0, "Courier New");
        pmText(handle, 1.0f, 1.0f, 0, "x");
        pmPageNo(handle, 1.0f, 1.0f, 0, 0);
        pmPageCount(handle, 1.0f, 1.0f, 0, 0);
        pmDrawGraphic(handle, 1, 0, 0, 1, 1);
        pmNewPage(handle, 1, 0, 7);
        pmFinishDoc(handle, 4);
    }
    EXPECT_EQ(FolderEntries(output_), before);
    // Nulls where texts are expected are empty texts, not crashes.
    const int32_t doc = pmStartDoc(0, nullptr, nullptr, 0, 1, 0, 7, 8);
    ASSERT_GT(doc, 0);
    pmFont(doc, 1, 10.0f, 0, nullptr);
    pmText(doc, 1.0f, 1.0f, 0, nullptr);
    EXPECT_GT(pmAddGraphic(doc, nullptr), 0);
    pmDrawGraphic(doc, 99, 0, 0, 1, 1);
    pmFinishDoc(doc, 4);
    EXPECT_EQ(FolderEntries(output_).size(), before.size() + 1);
}

// Any allocation an engine call makes may fail, as when memory runs out. No
// exception reaches the calling program: either the document goes on to its
// PDF with nothing told, or it is abandoned, leaves no PDF and the failure
// is told once.
TEST_F(EngineTest, AnAllocationThatFailsNeverReachesTheCallingProgram) {
    if (!kAllocationsCanFail) {
        GTEST_SKIP() << "allocations cannot be made to fail in this build";
    }
    std::vector<std::string> told;
    pelm32::SetFailureSeam([&told](const std::string& text) { told.push_back(text); });
    using Call = void (*)(int32_t & doc);
    const std::vector<std::pair<const char*, Call>> calls = {
        {"pmStartDoc", [](int32_t& doc) { doc = pmStartDoc(0, "Short", nullptr, 0, 1, 0, 7, 8); }},
        {"pmFont", [](int32_t& doc) { pmFont(doc, 1, 9.0f, 0, "DejaVu Sans"); }},
        {"pmAddGraphic", [](int32_t& doc) { pmAddGraphic(doc, "Logo.bmp"); }},
        {"pmText",
         [](int32_t& doc) { pmText(doc, 0.5f, 1.0f, 0, "Gr\xC3\xBC\xC3\x9F\xE4\xB8\x96"); }},
        {"pmPageNo", [](int32_t& doc) { pmPageNo(doc, 7.0f, 0.5f, 0, 0); }},
        {"pmDrawGraphic", [](int32_t& doc) { pmDrawGraphic(doc, 1, 0.5f, 0.5f, 1.5f, 1.0f); }},
        {"pmNewPage", [](int32_t& doc) { pmNewPage(doc, 1, 0, 7); }},
        {"pmFinishDoc", [](int32_t& doc) { pmFinishDoc(doc, 0); }},
    };
    for (size_t failing = 0; failing < calls.size(); ++failing) {
        for (long after = 0;; after += after / 2 + 1) {
            RunCommand("rm -f " + Quoted(output_) + "/*");
            told.clear();
            pelm32::ResetFonts();  // so that fonts are looked for, and loaded, anew
            int32_t doc = 0;
            bool failed = false;
            for (size_t i = 0; i < calls.size(); ++i) {
                if (i == failing) {
                    FailAllocationAfter(after);
                }
                calls[i].second(doc);
                if (i == failing) {
                    failed = StopFailingAllocations();
                }
            }
            const size_t pdfs = FolderEntries(output_).size();
            if (!failed) {
                EXPECT_EQ(pdfs, 1u) << calls[failing].first;
                EXPECT_TRUE(told.empty()) << calls[failing].first << ": " << told.front();
                break;
            }
            if (pdfs == 0) {
                EXPECT_EQ(told.size(), 1u) << calls[failing].first << " failing after " << after;
                EXPECT_NE(told.empty() ? std::string::npos : told[0].find("not enough memory"),
                          std::string::npos);
            } else {
                EXPECT_EQ(pdfs, 1u);
                EXPECT_TRUE(told.empty()) << told.front();
            }
        }
    }
    pelm32::SetFailureSeam(nullptr);
}

TEST_F(EngineTest, DocumentsOpenAtOnceKeepTheirOwnPagesAndHandles) {
    const int32_t outer = pmStartDoc(0, "Outer", nullptr, 0, 1, 0, 7, 8);
    pmText(outer, 1.0f, 3.0f, 0, "outer text");
    std::set<int32_t> handles{outer};
    const int32_t inner = pmStartDoc(0, "Inner", nullptr, 0, 1, 0, 7, 8);
    pmText(inner, 1.0f, 3.0f, 0, "inner text");
    pmNewPage(inner, 1, 0, 7);
    pmPageNo(inner, 1.0f, 1.0f, 0, 0);
    handles.insert(inner);
    pmFinishDoc(inner, 4);
    pmText(outer, 1.0f, 4.0f, 0, "outer again");
    pmFinishDoc(outer, 4);

    EXPECT_EQ(handles.size(), 2u);
    for (const int32_t handle : handles) {
        EXPECT_GE(handle, 1);
        EXPECT_LE(handle, 32767);
    }
    EXPECT_EQ(PdfPageCount(Pdf("Inner.pdf")), 2);
    EXPECT_EQ(PdfPageCount(Pdf("Outer.pdf")), 1);
    const std::string outerText = PdfText(Pdf("Outer.pdf"));
    EXPECT_NE(outerText.find("outer again"), std::string::npos);
    EXPECT_EQ(outerText.find("inner"), std::string::npos);
}

TEST_F(EngineTest, TextIsUtf8WhenValidElseWindows1252WithTabsAndNoControlBoxes) {
    // Courier New at 10 points: every column is 6 points wide, x 0.5 in is 36 points.
    const struct {
        const char* bytes;
        const char* word;  // a word of the line as pdftotext gives it, UTF-8
        double column;     // where that word starts
    } cases[] = {
        {"utf8: Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC",
         "Grüße", 6},
        {"cp1252: Gr\xFC\xDF"
         "e \x80",
         "Grüße", 8},
        {"cp1252: \x93quoted\x94", "\xE2\x80\x9Cquoted\xE2\x80\x9D", 8},
        // every character the code page defines from 0x82 to 0x9F
        {"cp1252: \x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97"
         "\x98\x99\x9A\x9B\x9C\x9E\x9F",
         "‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ", 8},
        {"tab:\tafter", "after", 8},
        {"\xC3\xBC\t\tutf8-tab", "utf8-tab", 16},
        {"ctl:\x01\x02x", "x", 6},
    };
    const int32_t doc = pmStartDoc(0, "Decoding", nullptr, 0, 1, 0, 7, 8);
    pmFont(doc, 1, 10.0f, 0, "Courier New");
    float y = 1.0f;
    for (const auto& c : cases) {
        pmText(doc, 0.5f, y, 0, c.bytes);
        y += 0.5f;
    }
    pmFinishDoc(doc, 4);
    const std::vector<PdfWord> words = PdfWords(Pdf("Decoding.pdf"));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const double top = (1.0 + 0.5 * static_cast<double>(i)) * 72;
        bool found = false;
        std::string line;  // the words at the line's height, to tell what came instead
        for (const PdfWord& word : words) {
            if (std::abs(word.yMin - top) >= 4) {
                continue;
            }
            line += " " + word.text;
            if (word.text == cases[i].word) {
                found = true;
                EXPECT_NEAR(word.xMin, 36 + 6 * cases[i].column, 0.5) << cases[i].word;
            }
        }
        EXPECT_TRUE(found) << cases[i].word << " is not among the words of its line:" << line;
    }
    EXPECT_NE(PdfText(Pdf("Decoding.pdf")).find("Grüße €"), std::string::npos);
    for (const PdfWord& word : words) {
        // no replacement or missing-glyph characters, no control characters
        EXPECT_EQ(word.text.find("\xEF\xBF\xBD"), std::string::npos) << word.text;
        for (const char ch : word.text) {
            EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20) << word.text;
        }
    }
}

TEST_F(EngineTest, HugeTextCostsOnlyWhatFitsOnThePage) {
    std::string huge(100u << 20, 'w');
    huge.replace(0, 10, "VISIBLE-ST");
    huge.replace(huge.size() - 10, 10, "TAIL-UNSEEN");  // never reaches the page
    huge.resize(100u << 20);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const int32_t doc = pmStartDoc(0, "Huge", nullptr, 0, 1, 0, 7, 8);
    pmFont(doc, 1, 10.0f, 0, "Courier New");
    pmText(doc, 0.5f, 1.0f, 0, huge.c_str());
    pmText(doc, 0.5f, 20.0f, 0, huge.c_str());  // below the page
    pmText(doc, 9.0f, 2.0f, 0, huge.c_str());   // right of it
    pmText(doc, -1.0f, 3.0f, 0, "LEFTCUT0123456789-visible");
    pmFinishDoc(doc, 4);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);

    struct stat info {};
    ASSERT_EQ(stat(Pdf("Huge.pdf").c_str(), &info), 0);
    EXPECT_LT(info.st_size, 100 * 1024);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 50 * 1024);  // KB: far below the 100 MB text
    const std::string text = PdfText(Pdf("Huge.pdf"));
    EXPECT_NE(text.find("VISIBLE-ST"), std::string::npos);
    EXPECT_EQ(text.find("TAIL"), std::string::npos);
    EXPECT_NE(text.find("-visible"), std::string::npos);
    EXPECT_EQ(text.find("LEFTCUT"), std::string::npos);
}

// The page cuts a long line, but its whole text is in the page's content.
TEST_F(EngineTest, ALineLongerThanThePaperKeepsItsWholeTextInThePdf) {
    const std::string line = std::string(480, 'x') + "LINE-END-MARK";
    const int32_t doc = pmStartDoc(0, "Long", nullptr, 0, 1, 0, 7, 8);
    pmText(doc, 0.5f, 1.0f, 0, line.c_str());
    pmFinishDoc(doc, 0);
    const std::string content = RunCommand("qpdf --qdf --object-streams=disable " +
                                           Quoted(Pdf("Long.pdf")) + " - 2>/dev/null");
    EXPECT_NE(content.find("xxLINE-END-MARK"), std::string::npos);
}

TEST_F(EngineTest, AnAbandonedDocumentLeavesNothingBehind) {
    const std::string spoolFolder = MakeTempFolder("pelm32-spool");
    int status = -1;
    RunChild(kAbandonRole, "TMPDIR=" + Quoted(spoolFolder), status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(FolderEntries(spoolFolder).empty());
    EXPECT_TRUE(FolderEntries(output_).empty());
    RunCommand("rm -rf " + Quoted(spoolFolder));
}

// The child of the test above: draws a few pages and ends without finishing.
TEST_F(EngineTest, WorksInAProgramWithoutQtOrDisplay) {
    // No application object, no display and no platform named: the engine
    // makes its own application and runs headless.
    int status = -1;
    const std::string output =
        RunChild(kPrintRole, "-u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY", status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(PdfText(Pdf()).find("printed by a program without Qt"), std::string::npos) << output;
}

TEST_F(EngineTest, AFailedWriteLeavesNoPdfAndSaysWhy) {
    int status = -1;
    const std::string output = RunChild(kFileLimitRole, "", status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("no PDF written"), std::string::npos) << output;
    EXPECT_NE(output.find("File too large"), std::string::npos) << output;  // the reason
    EXPECT_NE(output.find("its spool file in \"/tmp\" failed: File too large"), std::string::npos)
        << output;
    EXPECT_EQ(output.find("wrote"), std::string::npos) << output;
    EXPECT_TRUE(FolderEntries(output_).empty());
}

}  // namespace
