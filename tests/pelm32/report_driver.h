// Drives the engine the way the report job does: the same calls, in the same
// order, with the same positions (single-precision sums, 1/6 inch pitch).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelm32_test {

struct ReportRun {
    int32_t doc = 0;
    int32_t logo = 0;
    int32_t watermark = 0;
};

// Starts the document, registers the bitmaps and furnishes the first page.
ReportRun StartReport(const char* logoFile = "Logo.bmp",
                      const char* watermarkFile = "watermark.bmp");
// One line of the report file: a page break marker or a body line.
void ReportLine(ReportRun& run, const std::string& line);
// The end line and pmFinishDoc.
void FinishReport(ReportRun& run);

// The whole job over a list of lines.
void PrintLines(const std::vector<std::string>& lines);

}  // namespace pelm32_test
