// A document written through the PDF writer, page by page from its spool.
// What repeats at the top of consecutive pages (the page furniture) is
// written once as a content stream that those pages share. Pages may be
// written while the document is still drawn: a page is compared with the
// next, so it goes once that one is complete, and a page count it draws
// before the total is known stands in a stream written at the end, shared
// by every page that draws it alike.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "pelm32/pdf/byte_sink.h"

namespace pelm32 {

namespace pdf {
class Deflater;
class PdfWriter;
}  // namespace pdf

class Document;
class PageWriter;

// Called after each page (1-based) with the total; false stops the writing.
using PageWritten = std::function<bool(int page, int total)>;

class DocumentPdf {
  public:
    DocumentPdf(const Document& document, pdf::ByteSink& sink);
    ~DocumentPdf();
    DocumentPdf(const DocumentPdf&) = delete;
    DocumentPdf& operator=(const DocumentPdf&) = delete;

    // Pages written so far: the next to write.
    int PagesWritten() const { return next_; }
    // Writes the pages before end. False, with the reason in why, when the
    // spool could not be read back; false with why empty when pageWritten
    // stopped it.
    bool WritePages(int end, std::string& why, const PageWritten& pageWritten = nullptr);
    // Once the document is finished: the pages not yet written, then the
    // end of the file. False as for WritePages, or when a write failed.
    bool Finish(std::string& why, const PageWritten& pageWritten = nullptr);

  private:
    const Document& document_;
    std::unique_ptr<pdf::Deflater> deflater_;
    std::unique_ptr<pdf::PdfWriter> writer_;
    std::unique_ptr<PageWriter> pages_;
    int next_ = 0;
};

// Writes the whole PDF of a finished document to sink.
bool WriteDocumentPdf(const Document& document, pdf::ByteSink& sink, std::string& why,
                      const PageWritten& pageWritten = nullptr);

}  // namespace pelm32
