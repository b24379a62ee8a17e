#include "tests/pelm32/engine_fixture.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/pelm32/pdf_tools.h"
#include "tests/pelm32/report_driver.h"

namespace pelm32_test {

const char kPdfName[] = "Hestrel PELM Demo.pdf";
const char kAbandonRole[] = "--start-and-abandon-a-document";
const char kPrintRole[] = "--print-a-short-report";
const char kFileLimitRole[] = "--print-under-a-file-size-limit";
const char kPreviewRole[] = "--print-a-short-report-with-its-preview";

std::string MakeTempFolder(const char* stem) {
    std::string pattern = std::string("/tmp/") + stem + "-XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

void CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RunChild(const char* role, const std::string& environment, int& status) {
    return RunCommand(
        "env " + environment + " /proc/" + std::to_string(getpid()) + "/exe " + role + " 2>&1",
        &status);
}

std::vector<std::string> NumberedLines(int count) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "Body line %04d of the report", i);
        lines.push_back(line);
    }
    return lines;
}

void EngineTest::SetUp() {
    work_ = MakeTempFolder("pelm32-work");
    output_ = MakeTempFolder("pelm32-out");
    ASSERT_FALSE(work_.empty());
    ASSERT_FALSE(output_.empty());
    CopyFile(std::string(PELM32_EXAMPLES_DIR) + "/Logo.bmp", work_ + "/Logo.bmp");
    CopyFile(std::string(PELM32_EXAMPLES_DIR) + "/watermark.bmp", work_ + "/watermark.bmp");
    ASSERT_EQ(chdir(work_.c_str()), 0);
    setenv("PELM32_OUTPUT_DIR", output_.c_str(), 1);
}

void EngineTest::TearDown() {
    for (const std::string& name : FolderEntries(output_)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pdf") == 0) {
            EXPECT_TRUE(QpdfClean(Pdf(name)));
            EXPECT_TRUE(GhostscriptReads(Pdf(name)));
        }
    }
    (void)chdir("/");
    RunCommand("rm -rf " + Quoted(work_) + " " + Quoted(output_));
}

namespace {

// Long enough that its first pages are being written when it ends.
int StartAndAbandonADocument() {
    ReportRun run = StartReport();
    for (const std::string& line : NumberedLines(12000)) {
        ReportLine(run, line);
    }
    return run.doc > 0 ? 0 : 1;
}

int PrintAShortReport() {
    PrintLines({"printed by a program without Qt of its own"});
    return 0;
}

// As if the disk filled up: any write past a few kilobytes fails.
int PrintUnderAFileSizeLimit() {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    PrintLines({"never complete"});    // the PDF outgrows the limit
    PrintLines(NumberedLines(20000));  // and here the spool does
    return 0;
}

int PrintAShortReportWithItsPreview() {
    setenv("PELM32_PREVIEW", "1", 1);
    PrintLines(NumberedLines(60));
    return 0;
}

}  // namespace

}  // namespace pelm32_test

int main(int argc, char** argv) {
    using namespace pelm32_test;
    // Qt wants a private runtime folder; children share their parent's.
    std::string runtime;
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        runtime = MakeTempFolder("pelm32-runtime");
        chmod(runtime.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    // The engine never opens a preview here but where a role asks for one.
    setenv("PELM32_PREVIEW", "0", 1);
    const struct {
        const char* flag;
        int (*run)();
    } roles[] = {{kAbandonRole, StartAndAbandonADocument},
                 {kPrintRole, PrintAShortReport},
                 {kFileLimitRole, PrintUnderAFileSizeLimit},
                 {kPreviewRole, PrintAShortReportWithItsPreview}};
    int result = -1;
    for (const auto& role : roles) {
        if (argc > 1 && std::strcmp(argv[1], role.flag) == 0) {
            result = role.run();
        }
    }
    if (result < 0) {
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (!runtime.empty()) {
        RunCommand("rm -rf " + Quoted(runtime));
    }
    return result;
}
