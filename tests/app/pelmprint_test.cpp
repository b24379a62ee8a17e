// pelmprint, the built command-line front end, run as a script would run
// it: good, missing, locked and wildcard paths, and its usage; the PDFs it
// leaves read back with poppler and qpdf.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pelm32/pdf_tools.h"

namespace {

using pelm32_test::Quoted;
using pelm32_test::RunCommand;

struct ToolRun {
    int status = -1;
    std::vector<std::vector<std::string>> lines;  // standard output, tab-separated fields
    std::string errors;
};

class PelmprintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        work_ = folder_.path().toStdString() + "/work";
        out_ = work_ + "/out";
        ASSERT_EQ(mkdir(work_.c_str(), 0700), 0);
        ASSERT_EQ(mkdir(out_.c_str(), 0700), 0);
        for (const char* name : {"Logo.bmp", "watermark.bmp", "sample-report.txt"}) {
            std::ifstream in(std::string(PELM32_EXAMPLES_DIR) + "/" + name, std::ios::binary);
            std::ofstream(work_ + "/" + name, std::ios::binary) << in.rdbuf();
        }
        std::ofstream(work_ + "/second.txt") << "one line\r\n.PAGE.\r\nanother page\r\n";
    }
    void TearDown() override {
        for (const std::string& name : pelm32_test::FolderEntries(out_)) {
            EXPECT_TRUE(pelm32_test::QpdfClean(out_ + "/" + name));
        }
    }

    // Runs the tool in the working folder; arguments are given to the shell.
    ToolRun Pelmprint(const std::string& arguments) const {
        ToolRun run;
        const std::string errors = folder_.path().toStdString() + "/errors";
        std::istringstream out(RunCommand(
            "cd " + Quoted(work_) + " && " PELMPRINT_PATH " " + arguments + " 2>" + Quoted(errors),
            &run.status));
        std::string line;
        while (std::getline(out, line)) {
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string field; std::getline(split, field, '\t');) {
                fields.push_back(field);
            }
            run.lines.push_back(fields);
        }
        std::ifstream in(errors);
        run.errors.assign(std::istreambuf_iterator<char>(in), {});
        return run;
    }

    QTemporaryDir folder_;
    std::string work_;
    std::string out_;
};

TEST_F(PelmprintTest, EachFileIsPrintedAndToldOnALineOfItsOwn) {
    const ToolRun run = Pelmprint("-o out sample-report.txt second.txt");
    EXPECT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.lines.size(), 2u);
    const struct {
        const char* file;
        const char* pages;
        const char* text;
    } expected[] = {{"sample-report.txt", "3", "HESTREL SUPPLY CO."},
                    {"second.txt", "2", "another page"}};
    for (size_t i = 0; i < 2; ++i) {
        const std::vector<std::string>& fields = run.lines[i];
        ASSERT_EQ(fields.size(), 4u);
        EXPECT_EQ(fields[0], expected[i].file);
        EXPECT_EQ(fields[1].rfind(out_ + "/", 0), 0u) << fields[1];
        EXPECT_EQ(fields[2], expected[i].pages);
        EXPECT_EQ(pelm32_test::PdfPageCount(fields[1]), std::stoi(expected[i].pages));
        EXPECT_NE(pelm32_test::PdfText(fields[1]).find(expected[i].text), std::string::npos);
        EXPECT_GE(std::stod(fields[3]), 0.0);
    }
}

TEST_F(PelmprintTest, FailuresAreLinesOnStandardErrorAndTheFirstOneIsTheStatus) {
    // A file held locked by another process, as the dialog's own tests hold one.
    const int held = open((work_ + "/locked.txt").c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const ToolRun run = Pelmprint("-o out missing.txt sample-report.txt locked.txt");
    close(held);
    EXPECT_EQ(run.status, 53);
    ASSERT_EQ(run.lines.size(), 3u);
    EXPECT_EQ(run.lines[0][1], "-");
    EXPECT_EQ(run.lines[1][2], "3");  // the good one in between is printed all the same
    EXPECT_EQ(run.lines[2][1], "-");
    EXPECT_NE(run.errors.find("pelmprint: Fenwarth Error: Error on OPEN of file 'missing.txt' in "
                              "PrintReportFile: 53\n"),
              std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("'locked.txt' in PrintReportFile: 70\n"), std::string::npos)
        << run.errors;
    EXPECT_EQ(pelm32_test::FolderEntries(out_).size(), 1u);
}

TEST_F(PelmprintTest, APatternPrintsEveryFileItMatches) {
    const ToolRun run = Pelmprint("-o out '*.txt'");
    EXPECT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[0][0], "sample-report.txt");
    EXPECT_EQ(run.lines[1][0], "second.txt");
    const ToolRun none = Pelmprint("-o out 'nothing-*.txt'");
    EXPECT_NE(none.status, 0);
    EXPECT_NE(none.errors.find("'nothing-*.txt'"), std::string::npos) << none.errors;
}

TEST_F(PelmprintTest, PaperAndUsage) {
    const ToolRun letter = Pelmprint("--paper letter -o out second.txt");
    ASSERT_EQ(letter.status, 0) << letter.errors;
    EXPECT_NE(pelm32_test::PdfInfo(letter.lines.at(0).at(1)).find("612 x 792"), std::string::npos);
    const struct {
        const char* arguments;
        int status;
        const char* said;
    } cases[] = {
        {"", 1, "no report file named"},
        {"--paper tabloid second.txt", 1, "a4 or letter"},
        {"--frobnicate second.txt", 1, "unknown option --frobnicate"},
        {"-o", 1, "-o needs a value"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Pelmprint(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_NE(run.errors.find(c.said), std::string::npos) << c.arguments << run.errors;
        EXPECT_NE(run.errors.find("Usage: pelmprint"), std::string::npos) << c.arguments;
        EXPECT_TRUE(run.lines.empty()) << c.arguments;
    }
    const ToolRun help = Pelmprint("--help");
    EXPECT_EQ(help.status, 0);
    ASSERT_FALSE(help.lines.empty());
    EXPECT_EQ(help.lines[0][0].rfind("Usage: pelmprint", 0), 0u);
    const ToolRun version = Pelmprint("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.lines.at(0).at(0).rfind("pelmprint 1.", 0), 0u);
}

// What a script sees: only failures and warnings on standard error unless
// asked, the PDF's plain path, a folder told as one, and a file whose lines
// end with LF alone warned of once, or read by line with --lf.
TEST_F(PelmprintTest, StandardErrorHoldsFailuresAndWarningsAndLfFilesReadWithLf) {
    unsetenv("PELM32_OUTPUT_DIR");  // without -o the PDF goes to the current folder
    std::ofstream(work_ + "/lf.txt") << "first\n.PAGE.\nsecond\nthird\n";
    mkdir((work_ + "/folder.txt").c_str(), 0700);
    const struct {
        const char* arguments;
        int status;
        const char* pages;
        const char* said;  // the whole of standard error
    } cases[] = {
        {"second.txt", 0, "2", ""},
        {"-v -o out second.txt", 0, "2", "pelm32: wrote \""},
        {"-o out lf.txt", 0, "1",
         "pelmprint: lf.txt: lines end with LF alone; they print as one line (--lf reads LF as a "
         "line end)\n"},
        {"--lf -o out lf.txt", 0, "2", ""},
        {"-o out folder.txt", 75, "0", "pelmprint: folder.txt: a folder, not a report file\n"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Pelmprint(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << run.errors;
        ASSERT_EQ(run.lines.size(), 1u) << c.arguments;
        ASSERT_EQ(run.lines[0].size(), 4u) << c.arguments;
        EXPECT_EQ(run.lines[0][2], c.pages) << c.arguments;
        EXPECT_EQ(run.errors.substr(0, std::string(c.said).size()), c.said) << c.arguments;
        EXPECT_EQ(run.errors.empty(), *c.said == '\0') << c.arguments << run.errors;
        EXPECT_EQ(run.lines[0][1].find("/./"), std::string::npos) << run.lines[0][1];
    }
    EXPECT_NE(pelm32_test::PdfText(work_ + "/Hestrel PELM Demo.pdf").find("one line"),
              std::string::npos);
}

}  // namespace
