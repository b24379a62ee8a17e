// What every page of a report carries besides its body lines: the watermark
// tiles, the logo, three header lines and the page numbering, and the start of
// a new page. Each step reads and writes the job's state and reads no engine
// result.
#pragma once

#include "report/report_job_state.h"

// Courier New 10, for body lines.
void SelectBodyFont(const ReportJob& job);
// Courier New 16, for the header, the numbering and the end line.
void SelectHeadingFont(const ReportJob& job);
// Twelve tiles, column by column.
void DrawWatermark(const ReportJob& job);
void DrawLogo(const ReportJob& job);
// Heading font, watermark, logo, the three header lines; leaves lineCounter at
// 10 and currentY at the first body line.
void DrawPageHeader(ReportJob& job);
// "Page " n "of " m in the top right corner, n and m drawn by the engine.
void DrawPageNumbering(const ReportJob& job);
// pmNewPage, then the header, the numbering and the body font.
void StartNewPage(ReportJob& job);
