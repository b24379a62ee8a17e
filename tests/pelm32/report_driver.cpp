#include "tests/pelm32/report_driver.h"

#include "engine/pelm32.h"

namespace pelm32_test {

namespace {

constexpr float kPitch = 1.0f / 6.0f;
const char kFace[] = "Courier New";

// Job state between calls; one report at a time in these tests.
int lineCounter = 0;
float currentY = 0;

void PageHeader(const ReportRun& run) {
    pmFont(run.doc, 1, 16.0f, 0, kFace);
    for (float x = 0.5f; x <= 6.5f; x += 3.0f) {
        for (float y = 0.5f; y <= 9.5f; y += 3.0f) {
            pmDrawGraphic(run.doc, run.watermark, x, y, x + 0.5f, y + 0.5f);
        }
    }
    pmDrawGraphic(run.doc, run.logo, 0.5f, 0.5f, 2.0f, 2.0f);
    currentY = 0.5f;
    for (const char* text : {"First Line of Page Header", "Second Line of Page Header",
                             "Run Date and Time or Whatever"}) {
        pmText(run.doc, 2.5f, currentY, 0, text);
        currentY = static_cast<float>(double(kPitch) + currentY + 0.2);
    }
    lineCounter = 10;
    currentY = static_cast<float>(currentY + 2.0 * (0.2 + double(kPitch)));
}

void PageNumbering(const ReportRun& run) {
    pmText(run.doc, 6.25f, 0.5f, 0, "Page ");
    pmPageNo(run.doc, 7.0f, 0.5f, 0, 0);
    pmText(run.doc, 7.3f, 0.5f, 0, "of ");
    pmPageCount(run.doc, 7.8f, 0.5f, 0, 0);
}

bool IsMarker(const std::string& line) {
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    const size_t last = line.find_last_not_of(' ');
    return line.compare(first, last - first + 1, ".PAGE.") == 0;
}

}  // namespace

ReportRun StartReport(const char* logoFile, const char* watermarkFile) {
    ReportRun run;
    run.doc = pmStartDoc(0, "Hestrel PELM Demo", nullptr, 0, 1, 0, 7, 8);
    run.logo = pmAddGraphic(run.doc, logoFile);
    run.watermark = pmAddGraphic(run.doc, watermarkFile);
    pmFont(run.doc, 1, 10.0f, 0, kFace);
    PageHeader(run);
    PageNumbering(run);
    pmFont(run.doc, 1, 10.0f, 0, kFace);
    lineCounter = 8;
    return run;
}

void ReportLine(ReportRun& run, const std::string& line) {
    const bool marker = IsMarker(line);
    if (lineCounter > 60 || marker) {
        pmNewPage(run.doc, 1, 0, 7);
        PageHeader(run);
        PageNumbering(run);
        pmFont(run.doc, 1, 10.0f, 0, kFace);
    }
    if (marker) {
        return;
    }
    pmText(run.doc, 0.5f, currentY, 0, line.empty() ? nullptr : line.c_str());
    ++lineCounter;
    currentY = static_cast<float>(double(currentY) + kPitch);
}

void FinishReport(ReportRun& run) {
    pmFont(run.doc, 1, 16.0f, 0, kFace);
    currentY = static_cast<float>(double(currentY) + kPitch);
    pmText(run.doc, 2.0f, currentY, 0, "** END OF REPORT **");
    pmFinishDoc(run.doc, 4);
}

void PrintLines(const std::vector<std::string>& lines) {
    ReportRun run = StartReport();
    for (const std::string& line : lines) {
        ReportLine(run, line);
    }
    FinishReport(run);
}

}  // namespace pelm32_test
