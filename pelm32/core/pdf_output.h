// Writing a finished document as a PDF file that never replaces another.
#pragma once

#include <cstddef>
#include <memory>
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

// A document's PDF, written into the output folder under no name (or a
// hidden one where the system cannot make a file without a name) while the
// document is drawn, and given its final name once complete.
class PdfOutput {
  public:
    explicit PdfOutput(Document& document);
    ~PdfOutput();
    PdfOutput(const PdfOutput&) = delete;
    PdfOutput& operator=(const PdfOutput&) = delete;

    // Writes the pages that are done, once enough have gathered: the
    // compression of the file goes on beside the drawing. What goes wrong
    // is kept for Finish, which tells it.
    void WriteDonePages();
    // For a finished document: writes the rest and names the file. Returns
    // the path written, or an empty text after telling the user why nothing
    // was written (or, when the user cancelled in the progress window,
    // nothing).
    std::string Finish(Progress* progress);

  private:
    struct Writing;
    // The file made, once; false with the system's error code when it cannot be.
    bool Start(int& error);

    Document& document_;
    std::unique_ptr<Writing> writing_;
    bool failed_ = false;  // the pages written so far could not be: all are left to Finish
};

// Writes a finished document's PDF at once, as PdfOutput does.
std::string WritePdf(Document& document, Progress* progress = nullptr);

}  // namespace pelm32
