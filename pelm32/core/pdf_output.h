// Writing a finished document as a PDF file that never replaces another.
#pragma once

#include <cstddef>
#include <string>

namespace pelm32 {

class Document;
class Progress;
struct Settings;

// The folder PDFs go to: the output folder setting, else the current
// directory (named in full, so the line that reports the file says where
// it is).
std::string OutputFolder(const Settings& settings);

// The file name a title (UTF-8) gives: "<title>.pdf" for the first try,
// then "<title> (2).pdf" and so on; folder separators and control
// characters in the title become "_", leading dots go (no hidden files),
// and the title is cut, at a character boundary, so that every name stays
// within nameLimit bytes.
std::string OutputFileName(const std::string& title, int attempt, size_t nameLimit = 255);

// Writes the document into the output folder, under no name (or a hidden
// one where the system cannot make a file without a name), and gives it its
// final name once complete. Returns the path written, or an
// empty text after telling the user why nothing was written (or, when the
// user cancelled in the progress window, nothing).
std::string WritePdf(const Document& document, Progress* progress = nullptr);

}  // namespace pelm32
