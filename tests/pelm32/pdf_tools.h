// Reading back the PDFs the engine writes: the shared qpdf and poppler
// helpers, and what only the engine's tests ask.
#pragma once

#include <string>
#include <vector>

#include "tests/pelm32/pdf/pdf_check.h"

namespace pelm32_test {

using pdf_check::GhostscriptReads;
using pdf_check::PdfInfo;
using pdf_check::PdfPageCount;
using pdf_check::PdfWords;
using pdf_check::QpdfClean;
using pdf_check::Quoted;
using PdfWord = pdf_check::Word;

inline std::string RunCommand(const std::string& command, int* status = nullptr) {
    return pdf_check::Run(command, status);
}

// pdftotext -layout of one page (1-based) or, with page 0, of all pages.
std::string PdfText(const std::string& pdf, int page = 0);
std::string PdfFonts(const std::string& pdf);

struct PdfImage {
    int page;
    int width;
    int height;
    std::string type;  // "image" or "smask"
    std::string encoding;
    int object;
};
std::vector<PdfImage> PdfImages(const std::string& pdf);

// Each page's content streams by object number (qpdf --show-pages).
std::vector<std::vector<int>> PageContents(const std::string& pdf);

// The names in a folder, sorted, without "." and "..".
std::vector<std::string> FolderEntries(const std::string& folder);

}  // namespace pelm32_test
