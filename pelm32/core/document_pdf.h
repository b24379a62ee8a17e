// A finished document written through the PDF writer, page by page from
// its spool. What repeats at the top of consecutive pages (the page
// furniture) is written once as a content stream that those pages share.
#pragma once

#include <functional>
#include <string>

#include "pelm32/pdf/byte_sink.h"

namespace pelm32 {

class Document;

// Called after each page (1-based) with the total; false stops the writing.
using PageWritten = std::function<bool(int page, int total)>;

// Writes the whole PDF to sink. False, with the reason in why, when the
// spool could not be read back or a write failed; false with why empty
// when pageWritten stopped it.
bool WriteDocumentPdf(const Document& document, pdf::ByteSink& sink, std::string& why,
                      const PageWritten& pageWritten = nullptr);

}  // namespace pelm32
