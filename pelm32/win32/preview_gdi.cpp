#include "pelm32/win32/preview_gdi.h"

#include <algorithm>
#include <tuple>

#include "pelm32/core/desktop.h"
#include "pelm32/core/document.h"
#include "pelm32/core/native_file.h"
#include "pelm32/core/preview_pages.h"
#include "pelm32/win32/page_painter_gdi.h"
#include "pelm32/win32/printing_gdi.h"
#include "pelm32/win32/window_parts.h"
#include "pelm32/win32/windows_text.h"

namespace pelm32 {

namespace {

constexpr wchar_t kFrameClass[] = L"Pelm32Preview";
constexpr wchar_t kViewClass[] = L"Pelm32PreviewPages";
constexpr int kLineStep = 48;  // pixels a wheel notch or an arrow key scrolls

enum Command {
    kFirst = 100,
    kPrevious,
    kNext,
    kLast,
    kZoomOut,
    kZoomIn,
    kFitWidth,
    kFitPage,
    kOnePage,
    kTwoPages,
    kFourPages,
    kPrint,
    kClose,
};

// The tool bar's buttons, left to right.
const struct {
    Command command;
    const wchar_t* text;
} kButtons[] = {
    {kFirst, L"First"},        {kPrevious, L"Previous"}, {kNext, L"Next"},
    {kLast, L"Last"},          {kZoomOut, L"Zoom Out"},  {kZoomIn, L"Zoom In"},
    {kFitWidth, L"Fit Width"}, {kFitPage, L"Fit Page"},  {kOnePage, L"One Page"},
    {kTwoPages, L"2 Pages"},   {kFourPages, L"4 Pages"}, {kPrint, L"Print..."},
    {kClose, L"Close"},
};
constexpr int kPageLabel = 200;

// A button's width: its text in the message font, with room around it.
int ButtonWidth(const wchar_t* text) {
    HDC screen = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(screen, MessageFont());
    SIZE size{};
    GetTextExtentPoint32W(screen, text, static_cast<int>(wcslen(text)), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return size.cx + 2 * metrics.tmAveCharWidth;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

class PreviewWindow {
  public:
    PreviewWindow(const Document& document, const std::string& pdfPath);
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    bool Good() const { return frame_ != nullptr && view_ != nullptr; }
    // Until the user closes it.
    void Run();

  private:
    static LRESULT CALLBACK FrameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Frame(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT View(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    bool Key(WPARAM key);
    void Command(int command);
    void Layout();
    void PlaceOnScreen();
    void PaintView(HDC dc);
    // After any change to the pages in view.
    void Shown();
    void Turn(int direction);
    void Scroll(int bar, int to);
    void ScrollOrTurn(int direction, int pixels);
    void SetZoom(double zoom, bool fitting);
    void Fit(bool wholePage);
    SIZE ViewArea() const;
    int ToolBarHeight() const;

    const Document& document_;
    PreviewPages pages_;
    GdiPagePainter painter_;
    int dpi_;
    HWND frame_ = nullptr;
    HWND view_ = nullptr;
    HWND label_ = nullptr;
    int scrollX_ = 0;
    int scrollY_ = 0;
    bool fitting_ = true;  // the pages follow the window's size until zoomed by hand
    bool open_ = true;
};

PreviewWindow::PreviewWindow(const Document& document, const std::string& pdfPath)
    : document_(document),
      pages_(document.PageTotal(), {document.PageWidth() / kPointsPerInch * ScreenDpi(),
                                    document.PageHeight() / kPointsPerInch * ScreenDpi()}),
      painter_(document),
      dpi_(ScreenDpi()) {
    RegisterWindowClass(kFrameClass, FrameProcedure, GetSysColorBrush(COLOR_BTNFACE));
    RegisterWindowClass(kViewClass, ViewProcedure, nullptr);
    const std::wstring title = Wide(document.Title() + " - " + pdfPath + " - Print Preview");
    // Owned by the window the user printed from, so it stays above it.
    HWND owner = GetActiveWindow();
    frame_ = CreateWindowExW(0, kFrameClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                             CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, owner, nullptr,
                             GetModuleHandleW(nullptr), this);
    if (frame_ == nullptr) {
        return;
    }
    for (const auto& button : kButtons) {
        AddControl(frame_, L"BUTTON", button.text, BS_PUSHBUTTON, button.command);
    }
    label_ = AddControl(frame_, L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE, kPageLabel);
    view_ = CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0, 0, 0, 0, frame_,
                            nullptr, GetModuleHandleW(nullptr), this);
    if (view_ != nullptr) {
        PlaceOnScreen();
    }
}

PreviewWindow::~PreviewWindow() {
    if (IsWindow(frame_)) {
        DestroyWindow(frame_);
    }
}

int PreviewWindow::ToolBarHeight() const {
    return MulDiv(28, dpi_, 96);
}

// Sized for the screen's work area and centred there.
void PreviewWindow::PlaceOnScreen() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    const int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
    const PixelSize chrome{frame.right - frame.left + scrollBar + 4,
                           frame.bottom - frame.top + ToolBarHeight() + scrollBar + 4};
    int toolBar = frame.right - frame.left + MulDiv(64, dpi_, 96);  // and the page label
    for (const auto& button : kButtons) {
        toolBar += ButtonWidth(button.text) + MulDiv(2, dpi_, 96);
    }
    const PixelSize size = FirstPreviewSize({work.right - work.left, work.bottom - work.top},
                                            pages_.PageAtZoomOne(), chrome, toolBar);
    SetWindowPos(frame_, nullptr, work.left + (work.right - work.left - size.width) / 2,
                 work.top + (work.bottom - work.top - size.height) / 2, size.width, size.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
    Fit(true);
}

void PreviewWindow::Layout() {
    RECT client{};
    GetClientRect(frame_, &client);
    const int height = ToolBarHeight();
    const int gap = MulDiv(2, dpi_, 96);
    int x = gap;
    for (const auto& button : kButtons) {
        const int width = ButtonWidth(button.text);
        MoveWindow(GetDlgItem(frame_, button.command), x, gap, width, height - 2 * gap, TRUE);
        x += width + gap;
        if (button.command == kPrevious) {
            MoveWindow(label_, x, gap, MulDiv(64, dpi_, 96), height - 2 * gap, TRUE);
            x += MulDiv(64, dpi_, 96) + gap;
        }
    }
    MoveWindow(view_, 0, height, client.right, std::max<int>(client.bottom - height, 0), TRUE);
}

SIZE PreviewWindow::ViewArea() const {
    RECT client{};
    GetClientRect(view_, &client);
    return {client.right, client.bottom};
}

void PreviewWindow::Shown() {
    const PixelSize view = pages_.ViewSize();
    const SIZE area = ViewArea();
    scrollX_ = std::clamp(scrollX_, 0, std::max<int>(view.width - area.cx, 0));
    scrollY_ = std::clamp(scrollY_, 0, std::max<int>(view.height - area.cy, 0));
    for (const auto& [bar, whole, shown, at] :
         {std::tuple{SB_HORZ, view.width, area.cx, scrollX_},
          std::tuple{SB_VERT, view.height, area.cy, scrollY_}}) {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
        info.nMax = whole - 1;
        info.nPage = static_cast<UINT>(std::max<LONG>(shown, 0));
        info.nPos = at;
        SetScrollInfo(view_, bar, &info, TRUE);
    }
    const int first = pages_.First() + 1;
    const int last = pages_.First() + pages_.PagesInView();
    const std::wstring page =
        (first == last ? std::to_wstring(first)
                       : std::to_wstring(first) + L"-" + std::to_wstring(last)) +
        L" / " + std::to_wstring(pages_.PageTotal());
    SetWindowTextW(label_, page.c_str());
    InvalidateRect(view_, nullptr, FALSE);
}

void PreviewWindow::SetZoom(double zoom, bool fitting) {
    fitting_ = fitting;
    pages_.Show(pages_.First(), pages_.PerView(), zoom);
    Shown();
}

void PreviewWindow::Fit(bool wholePage) {
    const SIZE area = ViewArea();
    SetZoom(ZoomToFit({area.cx, area.cy}, pages_.PageAtZoomOne(), pages_.PerView(), wholePage),
            wholePage);
}

void PreviewWindow::Scroll(int bar, int to) {
    (bar == SB_VERT ? scrollY_ : scrollX_) = to;
    Shown();
}

// A turn from the wheel or the keys: the new pages shown from their top
// going forward, from their bottom going back.
void PreviewWindow::Turn(int direction) {
    if (pages_.Turn(direction)) {
        scrollY_ = direction > 0 ? 0 : pages_.ViewSize().height;
        Shown();
    }
}

// Scrolls, but where the view cannot scroll further turns the pages.
void PreviewWindow::ScrollOrTurn(int direction, int pixels) {
    const int end = std::max<int>(pages_.ViewSize().height - ViewArea().cy, 0);
    const bool atEnd = direction > 0 ? scrollY_ >= end : scrollY_ <= 0;
    if (atEnd) {
        Turn(direction);
    } else {
        Scroll(SB_VERT, scrollY_ + direction * pixels);
    }
}

void PreviewWindow::Command(int command) {
    switch (command) {
        case kFirst:
            pages_.ShowFirst();
            break;
        case kPrevious:
            pages_.Turn(-1);
            break;
        case kNext:
            pages_.Turn(1);
            break;
        case kLast:
            pages_.ShowLast();
            break;
        case kZoomOut:
            SetZoom(pages_.Zoom() / PreviewPages::kZoomStep, false);
            break;
        case kZoomIn:
            SetZoom(pages_.Zoom() * PreviewPages::kZoomStep, false);
            break;
        case kFitWidth:
            Fit(false);
            break;
        case kFitPage:
            Fit(true);
            break;
        case kOnePage:
        case kTwoPages:
        case kFourPages:
            pages_.Show(pages_.First(),
                        command == kOnePage    ? 1
                        : command == kTwoPages ? 2
                                               : 4,
                        pages_.Zoom());
            Fit(true);
            break;
        case kPrint:
            PrintWithDialog(document_, frame_);
            break;
        case kClose:
            open_ = false;
            break;
        default:
            return;
    }
    Shown();
    SetFocus(view_);  // keys go on reaching the pages, not the button
}

// The preview's keys, wherever its focus is; false for others.
bool PreviewWindow::Key(WPARAM key) {
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const SIZE area = ViewArea();
    if (!control) {
        switch (key) {
            case VK_ESCAPE:
                Command(kClose);
                return true;
            case VK_HOME:
                Command(kFirst);
                return true;
            case VK_END:
                Command(kLast);
                return true;
            case VK_PRIOR:
            case VK_NEXT:
                ScrollOrTurn(key == VK_NEXT ? 1 : -1,
                             std::max<int>(area.cy - kLineStep, kLineStep));
                return true;
            case VK_UP:
            case VK_DOWN:
                Scroll(SB_VERT, scrollY_ + (key == VK_DOWN ? kLineStep : -kLineStep));
                return true;
            case VK_LEFT:
            case VK_RIGHT:
                Scroll(SB_HORZ, scrollX_ + (key == VK_RIGHT ? kLineStep : -kLineStep));
                return true;
            default:
                return false;
        }
    }
    switch (key) {
        case 'P':
            Command(kPrint);
            return true;
        case '1':
            Command(kOnePage);
            return true;
        case '2':
            Command(kTwoPages);
            return true;
        case '4':
            Command(kFourPages);
            return true;
        case '0':
            Command(kFitPage);
            return true;
        case 'W':
            Command(kFitWidth);
            return true;
        case VK_OEM_PLUS:  // "=" and "+", one key on most keyboards
        case VK_ADD:
            Command(kZoomIn);
            return true;
        case VK_OEM_MINUS:
        case VK_SUBTRACT:
            Command(kZoomOut);
            return true;
        default:
            return false;
    }
}

// Drawn into a bitmap first, so scrolling never flickers.
void PreviewWindow::PaintView(HDC dc) {
    const SIZE area = ViewArea();
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP pixels =
        CreateCompatibleBitmap(dc, std::max<LONG>(area.cx, 1), std::max<LONG>(area.cy, 1));
    const HGDIOBJ old = SelectObject(buffer, pixels);
    const RECT all{0, 0, area.cx, area.cy};
    HBRUSH shade = CreateSolidBrush(RGB(0x80, 0x80, 0x80));
    HBRUSH shadow = CreateSolidBrush(RGB(0x50, 0x50, 0x50));
    FillRect(buffer, &all, shade);
    // A view smaller than the window sits in its middle.
    const PixelSize view = pages_.ViewSize();
    const int left = view.width < area.cx ? (area.cx - view.width) / 2 : -scrollX_;
    const int top = view.height < area.cy ? (area.cy - view.height) / 2 : -scrollY_;
    const double pixelsPerPoint = pages_.Zoom() * dpi_ / kPointsPerInch;
    for (int i = 0; i < pages_.PagesInView(); ++i) {
        const PixelRect at = pages_.Sheet(i);
        const RECT sheet{left + at.x, top + at.y, left + at.x + at.width, top + at.y + at.height};
        if (sheet.bottom < 0 || sheet.top > area.cy || sheet.right < 0 || sheet.left > area.cx) {
            continue;
        }
        const RECT dropped{sheet.left + 3, sheet.top + 3, sheet.right + 3, sheet.bottom + 3};
        FillRect(buffer, &dropped, shadow);
        FillRect(buffer, &sheet, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        const int saved = SaveDC(buffer);
        IntersectClipRect(buffer, sheet.left, sheet.top, sheet.right, sheet.bottom);
        painter_.Paint(buffer, pages_.First() + i, sheet.left, sheet.top, pixelsPerPoint);
        RestoreDC(buffer, saved);
    }
    BitBlt(dc, 0, 0, area.cx, area.cy, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, old);
    DeleteObject(pixels);
    DeleteObject(shade);
    DeleteObject(shadow);
    DeleteDC(buffer);
}

LRESULT CALLBACK PreviewWindow::FrameProcedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    PreviewWindow* preview = WindowOwner<PreviewWindow>(window, message, lParam);
    return preview != nullptr ? preview->Frame(window, message, wParam, lParam)
                              : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK PreviewWindow::ViewProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    PreviewWindow* preview = WindowOwner<PreviewWindow>(window, message, lParam);
    return preview != nullptr ? preview->View(window, message, wParam, lParam)
                              : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT PreviewWindow::Frame(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                Command(LOWORD(wParam));
            }
            return 0;
        case WM_SIZE:
            if (view_ != nullptr) {
                Layout();
                if (fitting_) {
                    Fit(true);
                } else {
                    Shown();
                }
            }
            return 0;
        case WM_CLOSE:
            open_ = false;
            return 0;
        case WM_SETFOCUS:
            SetFocus(view_);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT PreviewWindow::View(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            PaintView(dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_VSCROLL:
        case WM_HSCROLL: {
            const int bar = message == WM_VSCROLL ? SB_VERT : SB_HORZ;
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_ALL;
            GetScrollInfo(window, bar, &info);
            int to = info.nPos;
            switch (LOWORD(wParam)) {
                case SB_LINEUP:
                    to -= kLineStep;
                    break;
                case SB_LINEDOWN:
                    to += kLineStep;
                    break;
                case SB_PAGEUP:
                    to -= static_cast<int>(info.nPage);
                    break;
                case SB_PAGEDOWN:
                    to += static_cast<int>(info.nPage);
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    to = info.nTrackPos;
                    break;
                case SB_TOP:
                    to = 0;
                    break;
                case SB_BOTTOM:
                    to = info.nMax;
                    break;
                default:
                    return 0;
            }
            Scroll(bar, to);
            return 0;
        }
        case WM_LBUTTONDOWN:
            SetFocus(window);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void PreviewWindow::Run() {
    // Enabled again before the preview goes (in its destructor), so that
    // the window it was opened from becomes the active one.
    const OtherWindowsDisabled others(frame_);
    ShowWindow(frame_, SW_SHOWNORMAL);
    SetForegroundWindow(frame_);
    SetFocus(view_);
    MSG message;
    int wheel = 0;
    while (open_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                PostQuitMessage(static_cast<int>(message.wParam));  // for the program's own loop
            }
            break;
        }
        const bool ours = message.hwnd == frame_ || IsChild(frame_, message.hwnd);
        if (ours && message.message == WM_KEYDOWN && Key(message.wParam)) {
            continue;
        }
        if (ours && message.message == WM_MOUSEWHEEL) {
            // Whole notches; a view that cannot scroll further turns.
            wheel += GET_WHEEL_DELTA_WPARAM(message.wParam);
            for (; wheel >= WHEEL_DELTA; wheel -= WHEEL_DELTA) {
                ScrollOrTurn(-1, kLineStep * 3);
            }
            for (; wheel <= -WHEEL_DELTA; wheel += WHEEL_DELTA) {
                ScrollOrTurn(1, kLineStep * 3);
            }
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

void ShowPreview(const Document& document, const std::string& pdfPath) {
    PreviewWindow preview(document, pdfPath);
    if (!preview.Good()) {
        ShowFailureBox("The PDF \"" + pdfPath + "\" is written, but its preview cannot open: " +
                       native::ErrorText(static_cast<int>(GetLastError())) + ".");
        return;
    }
    preview.Run();
}

}  // namespace pelm32
