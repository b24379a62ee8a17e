// A finished document written through the PDF writer, page by page from
// its spool. What repeats at the top of consecutive pages (the page
// furniture) is written once as a content stream that those pages share.
#pragma once

#include <string>

#include "pelm32/pdf/byte_sink.h"

namespace pelm32 {

class Document;

// Writes the whole PDF to sink. False, with the reason in why, when the
// spool could not be read back or a write failed.
bool WriteDocumentPdf(const Document& document, pdf::ByteSink& sink, std::string& why);

}  // namespace pelm32
