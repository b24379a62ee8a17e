// The state of one run of PrintReportFile, shared with the page furniture steps.
#pragma once

#include <cstdint>

#include "runtime/dynamic_string.h"

struct ReportJob {
    ReportJob();

    char faceName[48];  // every pmFont
    float bodyFontSize = 10.0f;
    std::int16_t textOption = 0;             // every pmText, pmPageNo and pmPageCount
    std::int16_t pageValues[3] = {1, 0, 7};  // pmStartDoc and pmNewPage
    float linePitch = 1.0f / 6.0f;           // six lines per inch
    float headerTop = 0.5f;
    float bodyLeft = 0.5f;
    std::int32_t linesPerPage = 60;  // a page breaks before a line once the count passes this
    char logoFile[260];
    char watermarkFile[260];
    std::int32_t startOption = 8;

    std::int32_t docHandle = 0;  // the engine's 16-bit handle, sign-extended
    std::int32_t logoGraphic = 0;
    std::int32_t watermarkGraphic = 0;
    std::int32_t lineCounter = 0;  // the page header counts as 10 lines
    std::int32_t pageBreakPending = 0;
    float currentY = 0.0f;  // y of the next body line
    std::int32_t fileNumber = 0;
    DynamicString currentLine;
    std::int32_t endMode = 4;
    std::int32_t result = 0;
};
