// Reading back the PDFs the engine writes, with poppler's command-line tools.
#pragma once

#include <string>
#include <vector>

namespace pelm32_test {

// Runs a shell command; returns its standard output, and its exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);
std::string Quoted(const std::string& path);

// pdftotext -layout of one page (1-based) or, with page 0, of all pages.
std::string PdfText(const std::string& pdf, int page = 0);
int PdfPageCount(const std::string& pdf);
std::string PdfInfo(const std::string& pdf);
std::string PdfFonts(const std::string& pdf);

struct PdfImage {
    int page;
    int width;
    int height;
    std::string encoding;
    int object;
};
std::vector<PdfImage> PdfImages(const std::string& pdf);

// Words with their boxes in points (pdftotext -bbox).
struct PdfWord {
    int page;
    double xMin, yMin, xMax, yMax;
    std::string text;
};
std::vector<PdfWord> PdfWords(const std::string& pdf);

// The names in a folder, sorted, without "." and "..".
std::vector<std::string> FolderEntries(const std::string& folder);

}  // namespace pelm32_test
