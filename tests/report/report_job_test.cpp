#include "report/report_job.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "runtime/floating_point.h"
#include "runtime/message_box_seam.h"
#include "runtime/text_file_input.h"
#include "tests/report/recording_engine.h"

using namespace recording;
namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kLogo = 41;
constexpr std::int32_t kWatermark = 42;
constexpr const char* kFace = "Courier New";
constexpr const char* kEndLine = "** END OF REPORT **";

// Every page's furniture after its first call, which is pmFont 10 on the
// first page and pmNewPage on the others.
std::vector<Call> FurnitureAfterFirstCall(std::int32_t h, std::int32_t logo,
                                          std::int32_t watermark) {
    return {
        Font(h, 1, 16.0f, 0, kFace),
        DrawGraphic(h, watermark, 0.5f, 0.5f, 1.0f, 1.0f),
        DrawGraphic(h, watermark, 0.5f, 3.5f, 1.0f, 4.0f),
        DrawGraphic(h, watermark, 0.5f, 6.5f, 1.0f, 7.0f),
        DrawGraphic(h, watermark, 0.5f, 9.5f, 1.0f, 10.0f),
        DrawGraphic(h, watermark, 3.5f, 0.5f, 4.0f, 1.0f),
        DrawGraphic(h, watermark, 3.5f, 3.5f, 4.0f, 4.0f),
        DrawGraphic(h, watermark, 3.5f, 6.5f, 4.0f, 7.0f),
        DrawGraphic(h, watermark, 3.5f, 9.5f, 4.0f, 10.0f),
        DrawGraphic(h, watermark, 6.5f, 0.5f, 7.0f, 1.0f),
        DrawGraphic(h, watermark, 6.5f, 3.5f, 7.0f, 4.0f),
        DrawGraphic(h, watermark, 6.5f, 6.5f, 7.0f, 7.0f),
        DrawGraphic(h, watermark, 6.5f, 9.5f, 7.0f, 10.0f),
        DrawGraphic(h, logo, 0.5f, 0.5f, 2.0f, 2.0f),
        Text(h, 2.5f, 0.5f, 0, "First Line of Page Header"),
        Text(h, 2.5f, 0.8666667f, 0, "Second Line of Page Header"),
        Text(h, 2.5f, 1.2333333f, 0, "Run Date and Time or Whatever"),
        Text(h, 6.25f, 0.5f, 0, "Page "),
        PageNo(h, 7.0f, 0.5f, 0, 0),
        Text(h, 7.3f, 0.5f, 0, "of "),
        PageCount(h, 7.8f, 0.5f, 0, 0),
        Font(h, 1, 10.0f, 0, kFace),
    };
}

// pmStartDoc, both bitmaps and the first page's furniture.
std::vector<Call> DocumentStart(std::int32_t h, std::int32_t logo, std::int32_t watermark) {
    std::vector<Call> calls = {
        StartDocCall(0, "Hestrel PELM Demo", TextArgument::Null(), 0, 1, 0, 7, 8),
        AddGraphic(h, "Logo.bmp"),
        AddGraphic(h, "watermark.bmp"),
        Font(h, 1, 10.0f, 0, kFace),
    };
    for (Call& call : FurnitureAfterFirstCall(h, logo, watermark)) {
        calls.push_back(std::move(call));
    }
    return calls;
}

std::vector<Call> Ending(std::int32_t h, float endLineY) {
    return {Font(h, 1, 16.0f, 0, kFace), Text(h, 2.0f, endLineY, 0, kEndLine), FinishDoc(h, 4)};
}

bool IsBodyLine(const Call& call) {
    return call.function == Function::kText &&
           std::get<Position>(call.arguments[1]) == Position(0.5f);
}

struct BodyLine {
    TextArgument text;
    Position y;
};

// The body lines of each page, pages split at pmNewPage.
std::vector<std::vector<BodyLine>> BodyLinesByPage() {
    std::vector<std::vector<BodyLine>> pages(1);
    for (const Call& call : RecordedCalls()) {
        if (call.function == Function::kNewPage) {
            pages.emplace_back();
        } else if (IsBodyLine(call)) {
            pages.back().push_back(
                {std::get<TextArgument>(call.arguments[4]), std::get<Position>(call.arguments[2])});
        }
    }
    return pages;
}

std::vector<std::vector<TextArgument>> BodyTextsByPage() {
    std::vector<std::vector<TextArgument>> texts;
    for (const auto& page : BodyLinesByPage()) {
        texts.emplace_back();
        for (const BodyLine& line : page) {
            texts.back().push_back(line.text);
        }
    }
    return texts;
}

std::vector<std::string> NumberedLines(int first, int count) {
    std::vector<std::string> lines;
    for (int i = first; i < first + count; ++i) {
        lines.push_back("line " + std::to_string(i));
    }
    return lines;
}

std::vector<TextArgument> AsTexts(const std::vector<std::string>& lines) {
    return std::vector<TextArgument>(lines.begin(), lines.end());
}

// The file opened with share mode 0: no one else opens it until it is closed.
HANDLE HoldAlone(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

class PrintReportFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        do {
            folder_ = fs::temp_directory_path() / ("report_job_test." + std::to_string(random()));
        } while (!fs::create_directory(folder_));
        Reset();
        SetFloatingPointSettings();
    }
    void TearDown() override {
        ResetMessageBoxSeam();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // One message box answer stays queued, so a box never blocks a test.
    void Reset(const EngineSettings& settings = {}) {
        ResetEngine(settings);
        ResetMessageBoxSeam();
        SetNextMessageBoxAnswer(IDOK);
    }

    std::string WriteReport(const std::string& bytes, const std::string& name = "report.txt") {
        std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Each line ends with CR LF.
    std::string WriteLines(const std::vector<std::string>& lines) {
        std::string bytes;
        for (const std::string& line : lines) {
            bytes += line + "\r\n";
        }
        return WriteReport(bytes);
    }

    std::int32_t Print(const std::string& path) {
        return PrintReportFile(DynamicString(std::string_view(path)));
    }

    // Every later page starts with pmNewPage and carries the first page's furniture.
    void ExpectFurnitureOnEveryPage(std::int32_t h = 1) {
        std::vector<Call> expected = FurnitureAfterFirstCall(h, kLogo, kWatermark);
        expected.insert(expected.begin(), NewPage(h, 1, 0, 7));
        const std::vector<Call>& calls = RecordedCalls();
        for (std::size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].function == Function::kNewPage) {
                ASSERT_LE(i + expected.size(), calls.size());
                std::vector<Call> page(calls.begin() + i, calls.begin() + i + expected.size());
                EXPECT_EQ(page, expected) << "page starting at call " << i;
            }
        }
    }

    void ExpectEndLineAt(float y, std::int32_t h = 1) {
        const std::vector<Call>& calls = RecordedCalls();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(std::vector<Call>(calls.end() - 3, calls.end()), Ending(h, y));
    }

    fs::path folder_;
};

TEST_F(PrintReportFileTest, TwoLineReportMakesExactlyTheseEngineCalls) {
    struct Case {
        std::int32_t startDocAnswer;
        std::int32_t handle;
        std::int32_t logo, watermark;
    };
    // Graphic ids are used as the engine gives them, even ones that look like
    // failures; only the low 16 bits of the document handle count.
    const Case cases[] = {
        {1, 1, kLogo, kWatermark},
        {32767, 32767, 0, -1},
        {65537, 1, 7, 7},
    };
    std::string path = WriteLines({"A", "B"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.startDocAnswer);
        Reset({c.startDocAnswer, {c.logo, c.watermark}, std::nullopt});
        EXPECT_EQ(Print(path), 0);

        std::vector<Call> expected = DocumentStart(c.handle, c.logo, c.watermark);
        expected.push_back(Text(c.handle, 0.5f, 2.3333335f, 0, "A"));
        expected.push_back(Text(c.handle, 0.5f, 2.5000002f, 0, "B"));
        for (Call& call : Ending(c.handle, 2.8333337f)) {
            expected.push_back(std::move(call));
        }
        ASSERT_EQ(expected.size(), 31u);
        EXPECT_EQ(RecordedCalls(), expected);
        EXPECT_TRUE(TakeMessageBoxRequests().empty());
    }
}

TEST_F(PrintReportFileTest, EmptyReportGetsOnePageWithItsFurnitureAndTheEndLine) {
    EXPECT_EQ(Print(WriteReport("")), 0);
    std::vector<Call> expected = DocumentStart(1, kLogo, kWatermark);
    for (Call& call : Ending(1, 2.5000002f)) {
        expected.push_back(std::move(call));
    }
    EXPECT_EQ(RecordedCalls(), expected);
}

TEST_F(PrintReportFileTest, FirstPageHolds53LinesAndLaterPages51) {
    struct Case {
        int lineCount;
        std::vector<int> linesPerPage;
        float lastLineY;
        float endLineY;
    };
    const Case cases[] = {
        {53, {53}, 11.0000029f, 11.3333368f},
        {54, {53, 1}, 2.3333335f, 2.6666670f},
        {104, {53, 51}, 10.6666689f, 11.0000029f},
        {105, {53, 51, 1}, 2.3333335f, 2.6666670f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lineCount);
        Reset();
        std::vector<std::string> lines = NumberedLines(1, c.lineCount);
        EXPECT_EQ(Print(WriteLines(lines)), 0);

        auto pages = BodyLinesByPage();
        ASSERT_EQ(pages.size(), c.linesPerPage.size());
        int next = 0;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            ASSERT_EQ(static_cast<int>(pages[p].size()), c.linesPerPage[p]) << "page " << p;
            // Every page's body starts at the same place, 1/6 inch apart.
            const float firstYs[] = {2.3333335f, 2.5000002f, 2.6666670f};
            for (std::size_t i = 0; i < pages[p].size() && i < 3; ++i) {
                EXPECT_EQ(pages[p][i].y, Position(firstYs[i])) << "page " << p << " line " << i;
            }
            for (const BodyLine& line : pages[p]) {
                EXPECT_EQ(line.text, TextArgument(lines[next++].c_str()));
            }
        }
        EXPECT_EQ(pages.back().back().y, Position(c.lastLineY));
        ExpectEndLineAt(c.endLineY);
        ExpectFurnitureOnEveryPage();
    }
}

TEST_F(PrintReportFileTest, PageBreakMarkerEndsThePageAndIsNotPrinted) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::vector<std::vector<TextArgument>> pages;
        float endLineY;
    };
    const std::vector<std::string> full = NumberedLines(1, 53);
    std::vector<std::string> fullThenMarker = full;
    fullThenMarker.insert(fullThenMarker.end(), {".PAGE.", "B"});
    const Case cases[] = {
        {"first", {".PAGE.", "A"}, {{}, {"A"}}, 2.6666670f},
        {"last", {"A", ".PAGE."}, {{"A"}, {}}, 2.5000002f},
        {"twice in a row", {"A", ".PAGE.", ".PAGE.", "B"}, {{"A"}, {}, {"B"}}, 2.6666670f},
        {"with spaces around", {"A", "   .PAGE.  ", "B"}, {{"A"}, {"B"}}, 2.6666670f},
        {"lower case", {".page."}, {{".page."}}, 2.6666670f},
        {"with a further full stop", {".PAGE.."}, {{".PAGE.."}}, 2.6666670f},
        {"followed by a word", {".PAGE. x"}, {{".PAGE. x"}}, 2.6666670f},
        {"after a tab", {"\t.PAGE."}, {{"\t.PAGE."}}, 2.6666670f},
        {"before a tab", {".PAGE.\t"}, {{".PAGE.\t"}}, 2.6666670f},
        {"past the line limit", fullThenMarker, {AsTexts(full), {"B"}}, 2.6666670f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        EXPECT_EQ(Print(WriteLines(c.lines)), 0);
        EXPECT_EQ(BodyTextsByPage(), c.pages);
        auto pages = BodyLinesByPage();
        if (!pages.back().empty()) {
            EXPECT_EQ(pages.back().front().y, Position(2.3333335f));
        }
        ExpectEndLineAt(c.endLineY);
        ExpectFurnitureOnEveryPage();
    }
}

TEST_F(PrintReportFileTest, LinesReachTheEngineUnchangedAndEachTakesALine) {
    struct Case {
        const char* name;
        std::string line;
        TextArgument seen;
    };
    const std::string longLine(100000, 'x');
    const Case cases[] = {
        {"empty line as the null address", "", TextArgument::Null()},
        {"spaces only", "    ", "    "},
        {"spaces and tabs kept", "  a\tb  ", "  a\tb  "},
        {"cut at a zero byte", std::string("ab\0cd", 5), "ab"},
        {"a very long line whole", longLine, longLine},
        {"lone LF stays in the line", "A\n.PAGE.\nB", "A\n.PAGE.\nB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        EXPECT_EQ(Print(WriteLines({"first", c.line, "last"})), 0);
        auto pages = BodyLinesByPage();
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_EQ(pages[0].size(), 3u);
        EXPECT_EQ(pages[0][1].text, c.seen);
        EXPECT_EQ(pages[0][2].y, Position(2.6666670f));
        ExpectEndLineAt(3.0000005f);
    }
}

TEST_F(PrintReportFileTest, PositionsHoldWhenTheEngineChangesTheFloatingPointSettings) {
    // Round toward zero, 24-bit significand: the sums would come out lower.
    Reset({1, {kLogo, kWatermark}, std::uint16_t{0x0C7F}});
    EXPECT_EQ(Print(WriteLines({"A", "B"})), 0);
    std::vector<Call> expected = DocumentStart(1, kLogo, kWatermark);
    expected.push_back(Text(1, 0.5f, 2.3333335f, 0, "A"));
    expected.push_back(Text(1, 0.5f, 2.5000002f, 0, "B"));
    for (Call& call : Ending(1, 2.8333337f)) {
        expected.push_back(std::move(call));
    }
    EXPECT_EQ(RecordedCalls(), expected);
    for (const Call& call : RecordedCalls()) {
        EXPECT_EQ(call.controlWordAtEntry, kFloatingPointControlWord)
            << ::testing::PrintToString(call);
    }
    EXPECT_EQ(CurrentFloatingPointControlWord(), kFloatingPointControlWord);
}

TEST_F(PrintReportFileTest, ClosesTheReportFileWhenDone) {
    std::string path = WriteLines({"A"});
    EXPECT_EQ(Print(path), 0);
    HANDLE alone = HoldAlone(path);
    EXPECT_NE(alone, INVALID_HANDLE_VALUE) << "the report file is still held";
    CloseHandle(alone);
    Reset();
    EXPECT_EQ(Print(path), 0);
    EXPECT_EQ(BodyTextsByPage(), (std::vector<std::vector<TextArgument>>{{"A"}}));
}

TEST_F(PrintReportFileTest, RefusedDocumentShowsTheHandleAndStopsThere) {
    struct Case {
        std::int32_t answer;
        const char* message;
    };
    const Case cases[] = {
        {0, "Error on pmStartDoc= 0"},
        {-1, "Error on pmStartDoc=-1"},
        {65536, "Error on pmStartDoc= 0"},
        {32768, "Error on pmStartDoc=-32768"},
    };
    std::string path = WriteLines({"A"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        Reset({c.answer, {kLogo, kWatermark}, std::nullopt});
        std::int32_t before = NextFreeFileNumber();
        EXPECT_EQ(Print(path), -1);
        // No file number was taken, so no open was tried.
        EXPECT_EQ(NextFreeFileNumber(), before + 1);

        EXPECT_EQ(RecordedCalls(),
                  (std::vector<Call>{
                      StartDocCall(0, "Hestrel PELM Demo", TextArgument::Null(), 0, 1, 0, 7, 8)}));
        auto requests = TakeMessageBoxRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].owner, nullptr);
        EXPECT_EQ(requests[0].text, c.message);
        EXPECT_EQ(requests[0].caption, "Tarnwick");
        EXPECT_EQ(requests[0].style, 0u);
    }
}

TEST_F(PrintReportFileTest, ReportFileThatCannotBeOpenedShowsTheErrorNumberAndLeavesTheDocument) {
    std::string locked = WriteLines({"A"});
    HANDLE holder = HoldAlone(locked);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    struct Case {
        const char* name;
        std::string path;
        std::int32_t number;
        const char* numberText;
    };
    const Case cases[] = {
        {"missing", (folder_ / "missing.txt").string(), 53, " 53"},
        {"in a missing folder", (folder_ / "nowhere" / "report.txt").string(), 76, " 76"},
        {"held by another", locked, 70, " 70"},
        {"a folder", folder_.string(), 70, " 70"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        EXPECT_EQ(Print(c.path), c.number);
        EXPECT_EQ(RecordedCalls(), DocumentStart(1, kLogo, kWatermark));

        auto requests = TakeMessageBoxRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].text,
                  "Error on OPEN of file '" + c.path + "' in PrintReportFile:" + c.numberText);
        EXPECT_EQ(requests[0].caption, "Fenwarth Error");
        EXPECT_EQ(requests[0].style, 16u);
    }
    CloseHandle(holder);
}

}  // namespace
