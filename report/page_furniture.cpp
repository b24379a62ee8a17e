#include "report/page_furniture.h"

#include <cstdint>

#include "engine/pelm32.h"
#include "runtime/floating_point.h"

namespace {

constexpr float kHeadingFontSize = 16.0f;
constexpr std::int32_t kFontOption2 = 1;
constexpr std::int32_t kFontOption4 = 0;

// The gap is a single-precision value: held as a double it would move the
// first body line by one unit in the last place.
constexpr float kHeaderLineGap = 0.2f;
constexpr float kHeaderLineX = 2.5f;
constexpr const char* kHeaderLines[] = {
    "First Line of Page Header",
    "Second Line of Page Header",
    "Run Date and Time or Whatever",
};
constexpr std::int32_t kHeaderLineCount = 10;

struct Rectangle {
    float left, top, right, bottom;
};
constexpr Rectangle kLogoRectangle{0.5f, 0.5f, 2.0f, 2.0f};

// The watermark grid: left edges 0.5, 3.5, 6.5 and top edges 0.5, 3.5, 6.5,
// 9.5, each tile 0.5 by 0.5.
struct GridAxis {
    float first, last, step;
};
constexpr GridAxis kWatermarkColumns{0.5f, 6.5f, 3.0f};
constexpr GridAxis kWatermarkRows{0.5f, 9.5f, 3.0f};
constexpr float kWatermarkTileSize = 0.5f;

// The numbering row; the x positions stay put whatever the number of digits.
enum class NumberingPart { kText, kPageNumber, kPageCount };
struct NumberingItem {
    NumberingPart part;
    float x;
    const char* text;
};
constexpr NumberingItem kNumbering[] = {
    {NumberingPart::kText, 6.25f, "Page "},
    {NumberingPart::kPageNumber, 7.0f, nullptr},
    {NumberingPart::kText, 7.3f, "of "},
    {NumberingPart::kPageCount, 7.8f, nullptr},
};
constexpr std::int32_t kNumberOption = 0;

// Positions are summed in extended precision and stored as floats.
float Sum(long double a, long double b) {
    return static_cast<float>(a + b);
}

void SelectFont(const ReportJob& job, float size) {
    pmFont(job.docHandle, kFontOption2, size, kFontOption4, job.faceName);
    SetFloatingPointSettings();
}

void DrawGraphic(const ReportJob& job, std::int32_t graphic, const Rectangle& r) {
    pmDrawGraphic(job.docHandle, graphic, r.left, r.top, r.right, r.bottom);
    SetFloatingPointSettings();
}

}  // namespace

void SelectBodyFont(const ReportJob& job) {
    SelectFont(job, job.bodyFontSize);
}

void SelectHeadingFont(const ReportJob& job) {
    SelectFont(job, kHeadingFontSize);
}

void DrawWatermark(const ReportJob& job) {
    for (float x = kWatermarkColumns.first; x <= kWatermarkColumns.last;
         x = Sum(x, kWatermarkColumns.step)) {
        for (float y = kWatermarkRows.first; y <= kWatermarkRows.last;
             y = Sum(y, kWatermarkRows.step)) {
            DrawGraphic(job, job.watermarkGraphic,
                        {x, y, Sum(x, kWatermarkTileSize), Sum(y, kWatermarkTileSize)});
        }
    }
}

void DrawLogo(const ReportJob& job) {
    DrawGraphic(job, job.logoGraphic, kLogoRectangle);
}

void DrawPageHeader(ReportJob& job) {
    SelectHeadingFont(job);
    DrawWatermark(job);
    DrawLogo(job);
    job.currentY = job.headerTop;
    for (const char* line : kHeaderLines) {
        pmText(job.docHandle, kHeaderLineX, job.currentY, job.textOption, line);
        SetFloatingPointSettings();
        job.currentY = Sum(static_cast<long double>(job.linePitch) + job.currentY, kHeaderLineGap);
    }
    job.lineCounter = kHeaderLineCount;
    // The body starts two header line spacings below the last header line.
    job.currentY =
        Sum(job.currentY, 2.0L * (kHeaderLineGap + static_cast<long double>(job.linePitch)));
}

void DrawPageNumbering(const ReportJob& job) {
    for (const NumberingItem& item : kNumbering) {
        switch (item.part) {
            case NumberingPart::kText:
                pmText(job.docHandle, item.x, job.headerTop, job.textOption, item.text);
                break;
            case NumberingPart::kPageNumber:
                pmPageNo(job.docHandle, item.x, job.headerTop, job.textOption, kNumberOption);
                break;
            case NumberingPart::kPageCount:
                pmPageCount(job.docHandle, item.x, job.headerTop, job.textOption, kNumberOption);
                break;
        }
        SetFloatingPointSettings();
    }
}

void StartNewPage(ReportJob& job) {
    pmNewPage(job.docHandle, job.pageValues[0], job.pageValues[1], job.pageValues[2]);
    SetFloatingPointSettings();
    DrawPageHeader(job);
    DrawPageNumbering(job);
    SelectBodyFont(job);
}
