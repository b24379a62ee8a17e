// What the engine shows on the user's desktop, one file per platform: the
// print preview and message boxes with Qt (qt/desktop.cpp), or with GDI and
// the system's message box on Windows (win32/desktop.cpp).
#pragma once

#include <string>

namespace pelm32 {

class Document;

// The document written to pdfPath, put before the user unless its settings
// turn the preview off or there is no display; returns when the user has
// closed the preview.
void OpenWrittenDocument(const Document& document, const std::string& pdfPath);

// A failure (a whole sentence) in a box of the engine's own, where there is
// a display; returns once the box is closed.
void ShowFailureBox(const std::string& sentence);

}  // namespace pelm32
