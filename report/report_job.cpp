#include "report/report_job.h"

#include "engine/pelm32.h"
#include "report/page_furniture.h"
#include "report/report_job_state.h"
#include "runtime/error_numbers.h"
#include "runtime/floating_point.h"
#include "runtime/message_box.h"
#include "runtime/number_text.h"
#include "runtime/text_file_input.h"
#include "runtime/text_operations.h"

namespace {

constexpr const char* kDocumentTitle = "Hestrel PELM Demo";
constexpr std::int32_t kStartOption1 = 0;
constexpr std::int32_t kStartOption4 = 0;
constexpr const char* kPageBreakMarker = ".PAGE.";
constexpr const char* kEndLine = "** END OF REPORT **";
constexpr float kEndLineX = 2.0f;
constexpr std::uint32_t kPlainBox = 0;   // OK button, no icon
constexpr std::uint32_t kErrorBox = 16;  // OK button, stop icon

float Sum(long double a, long double b) {
    return static_cast<float>(a + b);
}

// The marker may have spaces around it, nothing else.
bool IsPageBreakMarker(const DynamicString& line) {
    DynamicString trimmed = TrimTrailingSpaces(TrimLeadingSpaces(line));
    return CompareText(trimmed, DynamicString(kPageBreakMarker)) == 0;
}

// Keeps the low 16 bits of the engine's answer, sign-extended.
std::int32_t StartDocument(const ReportJob& job) {
    DynamicString title(kDocumentTitle);
    CallText titleText(title);
    CallText noText{DynamicString()};
    std::int32_t answer =
        pmStartDoc(kStartOption1, titleText, noText, kStartOption4, job.pageValues[0],
                   job.pageValues[1], job.pageValues[2], job.startOption);
    SetFloatingPointSettings();
    return static_cast<std::int16_t>(answer);
}

std::int32_t AddGraphic(const ReportJob& job, const char* fileName) {
    std::int32_t graphic = pmAddGraphic(job.docHandle, fileName);
    SetFloatingPointSettings();
    return graphic;
}

void DrawJobText(const ReportJob& job, float x, const DynamicString& text) {
    CallText callText(text);
    pmText(job.docHandle, x, job.currentY, job.textOption, callText);
    SetFloatingPointSettings();
}

void ShowStartFailure(const ReportJob& job) {
    ShowMessageBox(Concatenate("Error on pmStartDoc=", NumberToText(job.docHandle)),
                   DynamicString(), kPlainBox);
}

void ShowOpenFailure(const DynamicString& path, std::int32_t errorNumber) {
    DynamicString text = Concatenate("Error on OPEN of file '", path);
    text = Concatenate(text, "' in PrintReportFile:");
    text = Concatenate(text, NumberToText(errorNumber));
    ShowMessageBox(text, "Fenwarth Error", kErrorBox);
}

// The first page was opened by pmStartDoc, so it starts with a font call in
// place of pmNewPage. Its body starts two lines higher than on later pages.
void FurnishFirstPage(ReportJob& job) {
    SelectBodyFont(job);
    DrawPageHeader(job);
    DrawPageNumbering(job);
    SelectBodyFont(job);
    job.lineCounter = 8;
    job.pageBreakPending = 0;
}

// A marker line ends the page and is neither drawn nor counted; a line past
// the limit goes to the top of a new page. A marker past the limit makes one
// page, not two.
void PrintLine(ReportJob& job) {
    if (IsPageBreakMarker(job.currentLine)) {
        job.pageBreakPending = 1;
    }
    if (job.lineCounter > job.linesPerPage || job.pageBreakPending != 0) {
        StartNewPage(job);
    }
    if (job.pageBreakPending != 0) {
        job.pageBreakPending = 0;
        return;
    }
    DrawJobText(job, job.bodyLeft, job.currentLine);
    job.lineCounter += 1;
    job.currentY = Sum(job.currentY, job.linePitch);
}

// One blank line above the end line; no page break is made for it.
void FinishReport(ReportJob& job) {
    SelectHeadingFont(job);
    job.currentY = Sum(job.currentY, job.linePitch);
    DrawJobText(job, kEndLineX, kEndLine);
    pmFinishDoc(job.docHandle, job.endMode);
    SetFloatingPointSettings();
}

}  // namespace

ReportJob::ReportJob() {
    CopyToFixedBuffer("Courier New", faceName, sizeof faceName);
    CopyToFixedBuffer("Logo.bmp", logoFile, sizeof logoFile);
    CopyToFixedBuffer("watermark.bmp", watermarkFile, sizeof watermarkFile);
}

std::int32_t PrintReportFile(const DynamicString& path) {
    ErrorSlot errorSlot;
    ReportJob job;

    job.docHandle = StartDocument(job);
    if (job.docHandle <= 0) {
        ShowStartFailure(job);
        job.result = -1;
        return job.result;
    }
    job.logoGraphic = AddGraphic(job, job.logoFile);
    job.watermarkGraphic = AddGraphic(job, job.watermarkFile);
    FurnishFirstPage(job);

    job.fileNumber = NextFreeFileNumber();
    OpenForInput(path, job.fileNumber);
    std::int32_t errorNumber = ReadAndClearErrorNumber();
    if (errorNumber != 0) {
        // The document stays unfinished: the engine gets no pmFinishDoc for it.
        job.result = errorNumber;
        ShowOpenFailure(path, errorNumber);
        return job.result;
    }
    while (AtEndOfFile(job.fileNumber) == 0) {
        job.currentLine = ReadLine(job.fileNumber);
        PrintLine(job);
    }
    CloseFile(job.fileNumber);

    FinishReport(job);
    return job.result;
}
