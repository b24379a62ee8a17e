// Any bytes as a report file, printed through PrintReportFile and the real
// engine: the run must succeed without a message, leave one PDF that passes
// qpdf --check, with as many pages as the line and page rules make, and
// write nothing outside the output folder.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_msgbox.h"
#include "report/report_job.h"
#include "runtime/message_box_seam.h"
#include "tests/fuzz/fuzz_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFirstPageCounter = 8;  // the first page's body starts higher
constexpr int kLaterPageCounter = 10;
constexpr int kLinesPerPage = 60;

FuzzFolders folders;
fs::path reportFile;

bool IsPageBreakMarker(std::string_view line) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return false;
    }
    return line.substr(first, line.find_last_not_of(' ') + 1 - first) == ".PAGE.";
}

// A page breaks before a line once the count passes 60, and at a marker,
// which is neither drawn nor counted; both at once make one break.
int ModelPageCount(const std::vector<std::string>& lines) {
    int pages = 1;
    int counter = kFirstPageCounter;
    for (const std::string& line : lines) {
        const bool marker = IsPageBreakMarker(line);
        if (counter > kLinesPerPage || marker) {
            ++pages;
            counter = kLaterPageCounter;
        }
        counter += marker ? 0 : 1;
    }
    return pages;
}

// The one PDF the run left, checked and then removed.
int PrintedPageCount() {
    const std::set<std::string> written = FolderEntries(folders.output);
    if (written.size() != 1 || fs::path(*written.begin()).extension() != ".pdf") {
        FuzzFail("the run did not leave exactly one PDF: " + std::to_string(written.size()) +
                 " files");
    }
    const fs::path pdf = folders.output / *written.begin();
    const int pages = CheckedPageCount(pdf);
    fs::remove(pdf);
    return pages;
}

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>(value >> (8 * i)));
    }
}

// A small 24-bit bitmap with padded rows: encoding the example bitmaps
// would take most of each run, and the engine target covers them.
void WriteSmallBitmap(const fs::path& path, std::uint32_t width, std::uint32_t height) {
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint32_t pixelBytes = rowBytes * height;
    std::string bitmap = "BM";
    PutLittleEndian(bitmap, 54 + pixelBytes, 4);
    PutLittleEndian(bitmap, 0, 4);
    PutLittleEndian(bitmap, 54, 4);  // where the pixels start
    for (const std::uint32_t field : {40u, width, height}) {
        PutLittleEndian(bitmap, field, 4);
    }
    PutLittleEndian(bitmap, 1, 2);   // planes
    PutLittleEndian(bitmap, 24, 2);  // bits per pixel
    for (const std::uint32_t field : {0u, pixelBytes, 2835u, 2835u, 0u, 0u}) {
        PutLittleEndian(bitmap, field, 4);
    }
    for (std::uint32_t i = 0; i < pixelBytes; ++i) {
        bitmap.push_back(static_cast<char>(i * 37));
    }
    std::ofstream(path, std::ios::binary) << bitmap;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folders = EnterEngineFolders();
    WriteSmallBitmap(folders.work / "Logo.bmp", 7, 5);
    WriteSmallBitmap(folders.work / "watermark.bmp", 4, 4);
    // Beside the working folder, so the report is not a file the run left.
    reportFile = folders.work.parent_path() / "report.txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::set<std::string> workBefore = FolderEntries(folders.work);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::ofstream(reportFile, std::ios::binary | std::ios::trunc) << text;

    // A message box would wait for a click: it is answered, and a failure.
    ResetMessageBoxSeam();
    SetNextMessageBoxAnswer(IDOK);
    const std::int32_t result = PrintReportFile(DynamicString(reportFile.c_str()));
    for (const MessageBoxRequest& box : TakeMessageBoxRequests()) {
        FuzzFail("message box: " + box.text);
    }
    if (result != 0) {
        FuzzFail("PrintReportFile gave " + std::to_string(result));
    }
    const int expected = ModelPageCount(ModelLines(text));
    const int pages = PrintedPageCount();
    if (pages != expected) {
        FuzzFail(std::to_string(pages) + " pages printed, the rules make " +
                 std::to_string(expected));
    }
    if (FolderEntries(folders.work) != workBefore) {
        FuzzFail("a file appeared outside the output folder");
    }
    return 0;
}
