// The print preview of a finished document, from which it can be printed.
#pragma once

#include <string>

namespace pelm32 {

class Document;

// Shows the preview of the document written to pdfPath and returns when
// the user closes it.
void ShowPreview(const Document& document, const std::string& pdfPath);

}  // namespace pelm32
