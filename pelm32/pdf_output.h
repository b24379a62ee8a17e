// Writing a finished document as a PDF file that never replaces another.
#pragma once

#include <string>

namespace pelm32 {

class Document;

// The folder PDFs go to: PELM32_OUTPUT_DIR, else the current directory
// (named in full, so the line that reports the file says where it is).
std::string OutputFolder();

// The file name a title (UTF-8) gives: "<title>.pdf" for the first try,
// then "<title> (2).pdf" and so on; folder separators and control
// characters in the title become "_".
std::string OutputFileName(const std::string& title, int attempt);

// Writes the document under a temporary name in the output folder and
// gives it its final name once complete. Returns the path written, or an
// empty text after saying on standard error why nothing was written.
std::string WritePdf(const Document& document);

}  // namespace pelm32
