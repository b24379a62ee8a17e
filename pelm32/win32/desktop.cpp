// On Windows the written PDF opens in the system's application for PDFs; a
// preview and printing of the engine's own, and a progress window, are not
// there yet.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>

#include "pelm32/core/desktop.h"
#include "pelm32/core/document.h"
#include "pelm32/core/native_file.h"
#include "pelm32/core/progress_window.h"
#include "pelm32/win32/windows_text.h"

namespace pelm32 {

void OpenWrittenDocument(const Document& document, const std::string& pdfPath) {
    if (!document.DocumentSettings().preview) {
        return;
    }
    // Values of 32 and below are errors; they are the old error codes.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", Wide(pdfPath).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        const int error =
            result == SE_ERR_NOASSOC ? ERROR_NO_ASSOCIATION : static_cast<int>(GetLastError());
        const std::string reason = native::ErrorText(error);
        std::fprintf(stderr, "pelm32: cannot open \"%s\": %s\n", pdfPath.c_str(), reason.c_str());
        ShowFailureBox("The PDF \"" + pdfPath + "\" is written, but cannot be opened: " + reason +
                       ".");
    }
}

void ShowFailureBox(const std::string& sentence) {
    MessageBoxW(nullptr, Wide(sentence).c_str(), L"Print Engine", MB_OK | MB_ICONERROR);
}

std::unique_ptr<ProgressWindow> OpenProgressWindow(const std::string&) {
    return nullptr;
}

}  // namespace pelm32
