// Reading back the PDFs the tests write, with qpdf and poppler's tools.
// Each file goes into a temporary folder of the running test, removed when
// the test ends; kept, and its path printed, when the test failed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pelm32/pdf/deflate.h"

namespace pdf_check {

// Runs a shell command; its standard output, and its exit status.
std::string Run(const std::string& command, int* status = nullptr);
// A path quoted for the shell.
std::string Quoted(const std::string& path);

// Writes bytes to a new .pdf file in the running test's folder; returns its path.
std::string WriteTempPdf(const std::string& bytes);

// The output of `qpdf --check` (both streams), and its exit status.
std::string QpdfCheck(const std::string& path, int* status);
// Succeeds when qpdf --check exits with 0 and reports no warning.
::testing::AssertionResult QpdfClean(const std::string& path);

// Succeeds when Ghostscript renders every page with no error or warning.
::testing::AssertionResult GhostscriptReads(const std::string& path);

// pdftotext of one page (1-based) or, with page 0, of all; what poppler
// complained about goes to errors.
std::string PdfToText(const std::string& path, int page = 0, std::string* errors = nullptr);
std::string PdfInfo(const std::string& path);
int PdfPageCount(const std::string& path);

// A word and its box, points from the top left (pdftotext -bbox).
struct Word {
    int page;
    double xMin, yMin, xMax, yMax;
    std::string text;
};
std::vector<Word> PdfWords(const std::string& path, int page = 0);  // page 0: all

// A page (1-based) as poppler renders it in grey at dpi, one byte a pixel,
// rows from the top; no pixels when it could not be rendered.
struct GrayPage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};
GrayPage RenderGray(const std::string& path, int page, int dpi);

// A complete document with one 612 x 792 page per content stream. Each page
// has /F1, the standard Helvetica in WinAnsiEncoding, and /Im1, a 2 x 2 grey
// image. With no deflater, MakeDeflater()'s.
std::string SimpleDocument(const std::vector<std::string>& contents,
                           pelm32::pdf::Deflater* deflater = nullptr);

}  // namespace pdf_check
