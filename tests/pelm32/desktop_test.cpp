// The engine as a desktop user meets it: the paper, file names a file
// system takes, failures told in a window, and the preview's windows, the
// last ones on a real X server (Xvfb) started by the test.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/pelm32.h"
#include "pelm32/core/document.h"
#include "pelm32/core/failures.h"
#include "pelm32/core/pdf_output.h"
#include "pelm32/core/preview_pages.h"
#include "pelm32/core/settings.h"
#include "tests/pelm32/engine_fixture.h"
#include "tests/pelm32/pdf_tools.h"
#include "tests/pelm32/report_driver.h"

namespace {

using namespace pelm32_test;

// The value of a "Name: value" line of pdfinfo.
std::string InfoField(const std::string& info, const std::string& name) {
    const size_t at = info.find(name + ":");
    if (at == std::string::npos) {
        return {};
    }
    const size_t value = info.find_first_not_of(' ', at + name.size() + 1);
    return info.substr(value, info.find('\n', value) - value);
}

// Locales compiled into a folder of the test's own (LOCPATH), so the test
// does not depend on which locales the machine has generated.
std::string CompileLocales(const std::string& folder) {
    for (const char* name : {"en_US", "de_DE"}) {
        RunCommand("localedef -i " + std::string(name) + " -f UTF-8 " +
                   Quoted(folder + "/" + name + ".UTF-8") + " 2>/dev/null");
    }
    return folder;
}

TEST_F(EngineTest, PaperFollowsTheSettingThenTheLocaleThenTheSystemDefault) {
    const std::string locales = CompileLocales(work_);
    ASSERT_EQ(access((locales + "/en_US.UTF-8").c_str(), R_OK), 0) << "localedef failed";
    std::ofstream(work_ + "/papersize") << "# the system's paper\nletter\n";
    const struct {
        const char* environment;
        const char* size;
    } cases[] = {
        {"PELM32_PAPER=letter LANG=C.UTF-8", "612 x 792"},
        {"PELM32_PAPER=A4 LANG=en_US.UTF-8", "595.276 x 841.89"},
        {"LANG=en_US.UTF-8", "612 x 792"},
        {"LANG=en_US.UTF-8 LC_PAPER=de_DE.UTF-8", "595.276 x 841.89"},
        {"LC_ALL=de_DE.UTF-8 PAPERSIZE=letter", "595.276 x 841.89"},
        {"LANG=C.UTF-8 PAPERSIZE=letter", "612 x 792"},
        {"LANG=C.UTF-8 PAPERCONF=papersize", "612 x 792"},
        {"LANG=C.UTF-8 PAPERCONF=/no/such/file", "595.276 x 841.89"},
        {"PELM32_PAPER=tabloid LANG=C.UTF-8 PAPERSIZE=letter", "612 x 792"},
    };
    for (const auto& c : cases) {
        int status = -1;
        const std::string output = RunChild(
            kPrintRole,
            "-u LC_ALL -u LC_PAPER -u LANG -u PAPERSIZE -u PAPERCONF -u PELM32_PAPER LOCPATH=" +
                Quoted(locales) + " " + c.environment,
            status);
        ASSERT_EQ(status, 0) << output;
        const std::string info = PdfInfo(Pdf());
        EXPECT_EQ(InfoField(info, "Page size").rfind(c.size, 0), 0u) << c.environment << ":\n"
                                                                     << info;
        // Positions stay inches from the top left corner on either paper.
        for (const PdfWord& word : PdfWords(Pdf())) {
            if (word.text == "First") {
                EXPECT_NEAR(word.xMin, 2.5 * 72, 0.5) << c.environment;
            }
        }
        if (std::string(c.environment).find("tabloid") != std::string::npos) {
            EXPECT_NE(output.find("PELM32_PAPER=\"tabloid\""), std::string::npos) << output;
        }
        unlink(Pdf().c_str());
    }
}

// The report leaves two digits' room for the page number before "of ";
// a longer number is condensed to end a space before it, and a count too
// long for the edge moves left, no nearer than a space to "of ". Either
// way the line reads (and a search finds) "Page n of m".
TEST_F(EngineTest, PageNumbersOfAnyLengthStayOnThePaperClearOfTheTextBeforeAndAfter) {
    const struct {
        int pages;
        int page;
        const char* numbering;
    } rows[] = {
        {2, 2, "Page 2 of 2"},
        {120, 9, "Page 9 of 120"},
        {120, 100, "Page 100 of 120"},
        {10000, 10000, "Page 10000 of 10000"},
    };
    const double space = 9.6;  // a cell of the 16-point numbering font
    int printed = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.numbering);
        if (row.pages != printed) {
            unlink(Pdf().c_str());  // a long PDF is not worth the fixture's checks
            ReportRun run = StartReport();
            for (int page = 1; page < row.pages; ++page) {
                ReportLine(run, ".PAGE.");
            }
            FinishReport(run);
            printed = row.pages;
        }
        // The numbering line's words, left to right.
        std::vector<PdfWord> line;
        for (const PdfWord& word : PdfWords(Pdf(), row.page)) {
            if (std::abs(word.yMin - 0.5 * 72) < 1 && word.xMin > 6.2 * 72) {
                line.push_back(word);
            }
        }
        std::sort(line.begin(), line.end(),
                  [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
        ASSERT_EQ(line.size(), 4u);
        const auto page = line.begin();
        const PdfWord& number = page[1];
        const PdfWord& of = page[2];
        const PdfWord& count = page[3];
        EXPECT_EQ(page->text + " " + number.text + " " + of.text + " " + count.text, row.numbering);
        EXPECT_NEAR(number.xMin, 7.0 * 72, 0.5);  // where the report put it
        EXPECT_LE(number.xMax, of.xMin - space + 0.1);
        EXPECT_NEAR(number.yMax, of.yMax, 0.1);  // its height and baseline kept
        EXPECT_GE(count.xMin, of.xMax + space - 0.1);
        EXPECT_LE(count.xMax, 595.28 - 18 + 0.1);
        if (row.pages == 2) {
            EXPECT_NEAR(count.xMin, 7.8 * 72, 0.5);
        }
        if (row.pages == 2) {
            continue;  // pdftotext takes a lone digit far from "of" for a column of its own
        }
        const std::string text = RunCommand("pdftotext -f " + std::to_string(row.page) + " -l " +
                                            std::to_string(row.page) + " " + Quoted(Pdf()) + " -");
        EXPECT_NE(text.find(row.numbering), std::string::npos) << text;
    }
    unlink(Pdf().c_str());
}

TEST(OutputFileName, NamesStayWithinTheLimitInBytesAndCutNoCharacter) {
    const std::string e = "\xC3\xA9";  // two bytes
    std::string longTitle;
    for (int i = 0; i < 200; ++i) {
        longTitle += e;
    }
    const struct {
        std::string title;
        int attempt;
        size_t limit;
        std::string name;
    } cases[] = {
        {longTitle, 1, 255, longTitle.substr(0, 242) + ".pdf"},
        {longTitle, 99999, 255, longTitle.substr(0, 242) + " (99999).pdf"},
        {"ab" + e + e, 1, 17, "ab" + e + ".pdf"},  // the second é would not fit
        {"abc" + e + e, 1, 17, "abc.pdf"},         // nor half of the first
        {"...", 1, 255, "Document.pdf"},
        {". . hidden", 1, 255, "hidden.pdf"},
        {"  spaced  ", 2, 255, "spaced (2).pdf"},
        {"a\x1B[1m\xC2\x9B"
         "2J\xC2\x80\xC2\x9F" +
             e + "\xC2\xA0z",
         1, 255, "a_[1m_2J__" + e + "\xC2\xA0z.pdf"},  // C0 and C1 controls; no-break space stays
    };
    for (const auto& c : cases) {
        const std::string name = pelm32::OutputFileName(c.title, c.attempt, c.limit);
        EXPECT_EQ(name, c.name) << c.title;
        EXPECT_LE(name.size(), c.limit);
    }
}

TEST_F(EngineTest, ATitleTooLongForAFileNameStillGivesThePdfUnderThatTitle) {
    std::string title;
    for (int i = 0; i < 200; ++i) {
        title += "\xC3\xA9";
    }
    for (int run = 0; run < 2; ++run) {
        pmFinishDoc(pmStartDoc(0, title.c_str(), nullptr, 0, 1, 0, 7, 8), 4);
    }
    const std::vector<std::string> names = FolderEntries(output_);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], title.substr(0, 242) + " (2).pdf");
    EXPECT_EQ(names[1], title.substr(0, 242) + ".pdf");
    EXPECT_EQ(InfoField(PdfInfo(Pdf(names[1])), "Title"), title);
}

// A folder the test's process cannot write in, root or not.
std::string ReadOnlyFolder(const std::string& folder) {
    if (geteuid() == 0) {
        return "/sys/kernel";  // read-only even for root
    }
    chmod(folder.c_str(), 0555);
    return folder;
}

TEST_F(EngineTest, AFailureToWriteTheFileSaysWhatWhereAndWhy) {
    mkdir((work_ + "/locked").c_str(), 0755);
    const std::string folder = ReadOnlyFolder(work_ + "/locked");
    setenv("PELM32_OUTPUT_DIR", folder.c_str(), 1);
    std::vector<std::string> told;
    pelm32::SetFailureSeam([&told](const std::string& text) { told.push_back(text); });
    pelm32::Document document("Locked out", pelm32::kA4, pelm32::ReadSettings());
    ASSERT_TRUE(document.Finish());
    EXPECT_EQ(pelm32::WritePdf(document), "");
    pelm32::SetFailureSeam(nullptr);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("no PDF written"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("\"" + folder + "\""), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("Permission denied"), std::string::npos) << told[0];
    EXPECT_TRUE(geteuid() == 0 || FolderEntries(folder).empty());
}

// The descriptor open on a file in folder; -1 when there is none.
int DescriptorInto(const std::string& folder) {
    for (const std::string& entry : FolderEntries("/proc/self/fd")) {
        char target[4096] = {};
        const std::string link = "/proc/self/fd/" + entry;
        if (readlink(link.c_str(), target, sizeof target - 1) > 0 &&
            std::string(target).rfind(folder + "/", 0) == 0) {
            return std::stoi(entry);
        }
    }
    return -1;
}

TEST_F(EngineTest, ASpoolThatCannotBeReadBackIsToldWithTheSystemsReason) {
    const std::string spool = MakeTempFolder("pelm32-spool");
    setenv("TMPDIR", spool.c_str(), 1);
    std::vector<std::string> told;
    pelm32::SetFailureSeam([&told](const std::string& text) { told.push_back(text); });
    const int32_t doc = pmStartDoc(0, "Unreadable", nullptr, 0, 1, 0, 7, 8);
    pmText(doc, 1.0f, 1.0f, 0, "lost");
    // The spool's descriptor becomes one that cannot be read.
    const int fd = DescriptorInto(spool);
    const int writeOnly = open("/dev/null", O_WRONLY);
    EXPECT_GE(fd, 0);
    dup2(writeOnly, fd);
    close(writeOnly);
    pmFinishDoc(doc, 0);
    pelm32::SetFailureSeam(nullptr);
    unsetenv("TMPDIR");
    RunCommand("rm -rf " + Quoted(spool));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("spool could not be read back: Bad file descriptor"), std::string::npos)
        << told[0];
    EXPECT_TRUE(FolderEntries(output_).empty());
}

// Runs a shell script on an X server of its own, 1024 x 768, with this
// test program at $EXE; a watchdog ends whatever still runs after 60 s.
// Xvfb picks a free display itself, so tests can run side by side.
std::string OnXvfb(const std::string& script, int& status) {
    const std::string exe = "/proc/" + std::to_string(getpid()) + "/exe";
    const std::string body =
        "EXE=" + Quoted(exe) +
        "\nXvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten unix 3>display "
        "2>/dev/null &\n"
        "xvfb=$!\nfor i in $(seq 100); do [ -s display ] && break; sleep 0.1; done\n"
        "export DISPLAY=:$(head -n1 display)\n"
        "( sleep 60; pkill -P $$ ) >/dev/null 2>&1 &\nwatchdog=$!\n" +
        script + "\nkill $watchdog $xvfb\n";
    return RunCommand("sh -c " + Quoted(body) + " 2>&1", &status);
}

// Starts a child role with a display, waits for its window and answers it
// with a key; prints "window <geometry>" lines and "child <status>".
std::string AnswerWindow(const char* role, const std::string& environment, const std::string& title,
                         const char* key) {
    int status = -1;
    return OnXvfb("env -u QT_QPA_PLATFORM " + environment + " \"$EXE\" " + role +
                      " >child.log 2>&1 &\nchild=$!\n"
                      "wid=$(timeout 30 xdotool search --sync --onlyvisible --name " +
                      Quoted(title) +
                      " | head -1)\n"
                      "[ -n \"$wid\" ] && sleep 0.3 && xdotool getwindowgeometry --shell \"$wid\" "
                      "&& xdotool windowfocus --sync \"$wid\" key " +
                      key + "\nwait $child; echo child $?\n",
                  status);
}

int Field(const std::string& shell, const char* name) {
    const size_t at = shell.find(std::string(name) + "=");
    return at == std::string::npos ? -1 : std::stoi(shell.substr(at + std::strlen(name) + 1));
}

TEST_F(EngineTest, OnADisplayAFailureIsShownInAMessageBox) {
    mkdir((work_ + "/locked").c_str(), 0755);
    const std::string folder = ReadOnlyFolder(work_ + "/locked");
    const std::string output =
        AnswerWindow(kPrintRole, "PELM32_OUTPUT_DIR=" + Quoted(folder), "^Print Engine$", "Return");
    EXPECT_NE(output.find("WINDOW="), std::string::npos) << "no message box:\n" << output;
    EXPECT_NE(output.find("child 0"), std::string::npos) << output;
}

TEST_F(EngineTest, ThePreviewOpensWithinTheScreenAtAnyScale) {
    for (const char* scale : {"1", "2"}) {
        const std::string output = AnswerWindow(
            kPreviewRole, std::string("QT_SCALE_FACTOR=") + scale, "Print Preview$", "Escape");
        ASSERT_NE(output.find("WINDOW="), std::string::npos) << "no preview:\n" << output;
        const int x = Field(output, "X");
        const int y = Field(output, "Y");
        const int width = Field(output, "WIDTH");
        const int height = Field(output, "HEIGHT");
        EXPECT_GE(x, 0) << output;
        EXPECT_GE(y, 0) << output;
        EXPECT_LE(x + width, 1024) << output;
        EXPECT_LE(y + height, 768) << output;
        EXPECT_LE(height, 768 * 0.9 + 1) << output;
        EXPECT_GE(height, 768 * 0.8) << output;  // and uses the room it has
        EXPECT_NE(output.find("child 0"), std::string::npos) << output;
    }
}

TEST(PreviewLayout, PagesFillTheViewInAGridAndTheWindowFitsTheScreen) {
    using pelm32::PixelSize;
    EXPECT_EQ(pelm32::PageGrid(1), (PixelSize{1, 1}));
    EXPECT_EQ(pelm32::PageGrid(2), (PixelSize{2, 1}));
    EXPECT_EQ(pelm32::PageGrid(4), (PixelSize{2, 2}));
    const pelm32::PageSize a4{794, 1123};  // at 96 dpi
    // Four pages two by two use the height, not a quarter of the width.
    const double four = pelm32::ZoomToFit({1200, 900}, a4, 4, true);
    EXPECT_NEAR(four, (900 - 3 * pelm32::kPageGap) / (2 * a4.height), 1e-9);
    EXPECT_GT(four, pelm32::ZoomToFit({1200, 900}, a4, 1, true) / 2.5);
    // Pages at the zoom that fits an area fit it, to the pixel.
    for (const PixelSize area :
         {PixelSize{1901, 939}, PixelSize{863, 1011}, PixelSize{1000, 701}}) {
        for (const int perView : {1, 2, 4}) {
            pelm32::PreviewPages pages(9, a4);
            pages.Show(0, perView, pelm32::ZoomToFit(area, a4, perView, true));
            EXPECT_LE(pages.ViewSize().width, area.width) << area.width << " " << perView;
            EXPECT_LE(pages.ViewSize().height, area.height) << area.width << " " << perView;
        }
    }
    for (const PixelSize screen :
         {PixelSize{1024, 768}, PixelSize{512, 384}, PixelSize{1366, 740}, PixelSize{2560, 1400}}) {
        const PixelSize size = pelm32::FirstPreviewSize(screen, a4, {20, 60}, 900);
        EXPECT_LE(size.width, screen.width * 0.9) << screen.width;
        EXPECT_LE(size.height, screen.height * 0.9) << screen.width;
        EXPECT_GE(size.height, screen.height * 0.85) << screen.width;
        EXPECT_GE(size.width, std::min(900.0, screen.width * 0.89)) << screen.width;
    }
}

TEST(PreviewLayout, TurningKeepsAViewOnWholeSetsOfPagesWithinTheDocument) {
    // Starting on a page of a 7-page document, one call; the first page shown after.
    const struct {
        int perView;
        int start;
        const char* call;
        int first;
        bool turned;
    } rows[] = {
        {1, 0, "back", 0, false}, {1, 6, "on", 6, false}, {1, 3, "on", 4, true},
        {2, 3, "on", 4, true},    {2, 6, "on", 6, false}, {4, 5, "back", 0, true},
        {4, 0, "on", 4, true},    {4, 4, "on", 4, false}, {2, 0, "last", 6, true},
        {4, 9, "first", 0, true},
    };
    for (const auto& row : rows) {
        pelm32::PreviewPages pages(7, {100, 140});
        pages.Show(row.start, row.perView, 1);
        const std::string call = row.call;
        bool turned = true;
        if (call == "first" || call == "last") {
            call == "first" ? pages.ShowFirst() : pages.ShowLast();
        } else {
            turned = pages.Turn(call == "on" ? 1 : -1);
        }
        EXPECT_EQ(pages.First(), row.first) << row.perView << " " << row.start << " " << call;
        EXPECT_EQ(turned, row.turned) << row.perView << " " << row.start << " " << call;
        EXPECT_LE(pages.PagesInView(), row.perView);
    }
    pelm32::PreviewPages pages(3, {100, 140});
    pages.Show(0, 4, 100);
    EXPECT_EQ(pages.Zoom(), pelm32::PreviewPages::kMaxZoom);
    EXPECT_EQ(pages.PagesInView(), 3);
    EXPECT_EQ(pages.ViewSize().width, pelm32::kPageGap + 2 * (800 + pelm32::kPageGap));
}

}  // namespace
