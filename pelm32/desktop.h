// What the engine shows on the user's desktop, one file per platform: the
// print preview and message boxes on Qt (desktop_qt.cpp); on Windows the
// system's application for PDFs and its message box (desktop_win32.cpp).
#pragma once

#include <string>

namespace pelm32 {

class Document;

// The document written to pdfPath, put before the user unless
// PELM32_PREVIEW is 0 or there is no display; returns when the user is done
// with it (the preview), or at once (another program).
void OpenWrittenDocument(const Document& document, const std::string& pdfPath);

// A failure (a whole sentence) in a box of the engine's own, where there is
// a display; returns once the box is closed.
void ShowFailureBox(const std::string& sentence);

}  // namespace pelm32
