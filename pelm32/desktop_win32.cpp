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
#include <cstdlib>
#include <cstring>

#include "pelm32/desktop.h"
#include "pelm32/native_file.h"
#include "pelm32/progress_window.h"
#include "pelm32/windows_text.h"

namespace pelm32 {

namespace {

bool PreviewWanted() {
    const char* preview = std::getenv("PELM32_PREVIEW");
    return preview == nullptr || std::strcmp(preview, "0") != 0;
}

}  // namespace

void OpenWrittenDocument(const Document&, const std::string& pdfPath) {
    if (!PreviewWanted()) {
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

std::chrono::milliseconds ProgressDelay() {
    return std::chrono::milliseconds(500);
}

}  // namespace pelm32
