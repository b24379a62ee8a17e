// The print preview of a finished document drawn with GDI, from which it
// can be printed; it behaves as the Qt one does on Linux.
#pragma once

#include <string>

namespace pelm32 {

class Document;

// Shows the preview of the document written to pdfPath, with the program's
// other windows disabled, and returns when the user closes it.
void ShowPreview(const Document& document, const std::string& pdfPath);

}  // namespace pelm32
