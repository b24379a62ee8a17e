#include "pelm32/win32/window_parts.h"

namespace pelm32 {

HFONT MessageFont() {
    static const HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
            if (HFONT made = CreateFontIndirectW(&metrics.lfMessageFont)) {
                return made;
            }
        }
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

HWND AddControl(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, int id) {
    HWND control = CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(MessageFont()), FALSE);
    return control;
}

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW known{};
    known.cbSize = sizeof known;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &known)) {
        return;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

namespace {

struct Search {
    HWND open;
    std::vector<HWND>* found;
};

BOOL CALLBACK AddEnabled(HWND window, LPARAM search) {
    const auto& [open, found] = *reinterpret_cast<Search*>(search);
    if (window != open && IsWindowVisible(window) && IsWindowEnabled(window)) {
        found->push_back(window);
    }
    return TRUE;
}

}  // namespace

OtherWindowsDisabled::OtherWindowsDisabled(HWND open) {
    Search search{open, &disabled_};
    EnumThreadWindows(GetCurrentThreadId(), AddEnabled, reinterpret_cast<LPARAM>(&search));
    for (HWND window : disabled_) {
        EnableWindow(window, FALSE);
    }
}

OtherWindowsDisabled::~OtherWindowsDisabled() {
    for (HWND window : disabled_) {
        if (IsWindow(window)) {
            EnableWindow(window, TRUE);
        }
    }
}

}  // namespace pelm32
