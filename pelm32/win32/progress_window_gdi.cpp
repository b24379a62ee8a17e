// The progress window drawn with plain Win32 controls. While it shows, the
// program's windows are repainted, and input meant for them stays in the
// queue until the work is over, as a program whose thread is busy would see
// it; only the progress window takes input.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "pelm32/core/progress_window.h"
#include "pelm32/win32/window_parts.h"
#include "pelm32/win32/windows_text.h"

namespace pelm32 {

namespace {

constexpr wchar_t kWindowClass[] = L"Pelm32Progress";
constexpr int kLabel = 100;
constexpr int kBar = 101;

class GdiProgressWindow final : public ProgressWindow {
  public:
    explicit GdiProgressWindow(const std::string& title);
    ~GdiProgressWindow() override;
    GdiProgressWindow(const GdiProgressWindow&) = delete;
    GdiProgressWindow& operator=(const GdiProgressWindow&) = delete;
    bool ShowProgress(int done, int total) override;
    bool Good() const { return window_ != nullptr; }

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Pump();

    HWND window_ = nullptr;
    HWND label_ = nullptr;
    HWND bar_ = nullptr;
    bool marquee_ = false;
    bool cancelled_ = false;
};

GdiProgressWindow::GdiProgressWindow(const std::string& title) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    RegisterWindowClass(kWindowClass, Procedure, GetSysColorBrush(COLOR_BTNFACE));
    const std::wstring caption = Wide("Printing - " + title);
    constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    // Sized from the message font: room for 36 digits, a bar and a button.
    HDC screen = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(screen, MessageFont());
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    const int unit = metrics.tmHeight;
    const int width = metrics.tmAveCharWidth * 40;
    RECT frame{0, 0, width + unit * 2, unit * 7};
    AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_DLGMODALFRAME);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kWindowClass, caption.c_str(),
                              kStyle, (work.left + work.right - frameWidth) / 2,
                              (work.top + work.bottom - frameHeight) / 2, frameWidth, frameHeight,
                              nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (window_ == nullptr) {
        return;
    }
    label_ = AddControl(window_, L"STATIC", L"", SS_LEFT, kLabel);
    MoveWindow(label_, unit, unit, width, unit, FALSE);
    bar_ = AddControl(window_, PROGRESS_CLASSW, L"", 0, kBar);
    MoveWindow(bar_, unit, unit * 5 / 2, width, unit, FALSE);
    HWND cancel =
        AddControl(window_, L"BUTTON", L"Cancel", BS_DEFPUSHBUTTON | WS_TABSTOP, IDCANCEL);
    MoveWindow(cancel, unit + width - unit * 6, unit * 4, unit * 6, unit * 7 / 4, FALSE);
    ShowWindow(window_, SW_SHOWNORMAL);
    SetFocus(cancel);
    UpdateWindow(window_);
}

GdiProgressWindow::~GdiProgressWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK GdiProgressWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    GdiProgressWindow* progress = WindowOwner<GdiProgressWindow>(window, message, lParam);
    // Closing the window is cancelling too.
    if (progress != nullptr &&
        (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL))) {
        progress->cancelled_ = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Everything but input for every window (paint, timers, what is posted and
// sent), then the progress window's own input.
void GdiProgressWindow::Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0,
                        PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the program's own loop
            return;
        }
        DispatchMessageW(&message);
    }
    while (PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

bool GdiProgressWindow::ShowProgress(int done, int total) {
    std::wstring text;
    if (total > 0) {
        text = L"Writing the PDF: page " + std::to_wstring(done) + L" of " + std::to_wstring(total);
        if (marquee_) {
            SetWindowLongPtrW(bar_, GWL_STYLE, GetWindowLongPtrW(bar_, GWL_STYLE) & ~PBS_MARQUEE);
            SendMessageW(bar_, PBM_SETMARQUEE, FALSE, 0);
            marquee_ = false;
        }
        SendMessageW(bar_, PBM_SETRANGE32, 0, total);
        SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(done), 0);
    } else {
        text = L"Spooling: page " + std::to_wstring(done);
        if (!marquee_) {  // no total yet: the bar just shows life
            SetWindowLongPtrW(bar_, GWL_STYLE, GetWindowLongPtrW(bar_, GWL_STYLE) | PBS_MARQUEE);
            SendMessageW(bar_, PBM_SETMARQUEE, TRUE, 30);
            marquee_ = true;
        }
    }
    SetWindowTextW(label_, text.c_str());
    Pump();
    return !cancelled_;
}

}  // namespace

// Null, as without a display, when the system makes no window: the work
// goes on without one.
std::unique_ptr<ProgressWindow> OpenProgressWindow(const std::string& title) {
    auto window = std::make_unique<GdiProgressWindow>(title);
    if (!window->Good()) {
        return nullptr;
    }
    return window;
}

}  // namespace pelm32
