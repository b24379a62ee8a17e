// On Windows the engine shows its own print preview, drawn with GDI
// (preview_gdi.cpp), and tells failures in the system's message box.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "pelm32/core/desktop.h"
#include "pelm32/core/document.h"
#include "pelm32/win32/preview_gdi.h"
#include "pelm32/win32/windows_text.h"

namespace pelm32 {

void OpenWrittenDocument(const Document& document, const std::string& pdfPath) {
    if (document.DocumentSettings().preview) {
        ShowPreview(document, pdfPath);
    }
}

void ShowFailureBox(const std::string& sentence) {
    MessageBoxW(nullptr, Wide(sentence).c_str(), L"Print Engine", MB_OK | MB_ICONERROR);
}

}  // namespace pelm32
