// What the engine's own windows on Windows share: the system's message
// font, child controls, and the program's other windows kept disabled
// while one of ours is open.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace pelm32 {

// The font the system uses in message boxes, made once.
HFONT MessageFont();

// A child control of the given class, in the message font.
HWND AddControl(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, int id);

// A window class of this module, registered on first use.
void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background);

// The this pointer a window was created with (CreateWindowExW's last
// argument), kept in its user data on WM_NCCREATE.
template <typename Owner>
Owner* WindowOwner(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        return owner;
    }
    return reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The thread's other visible top-level windows, disabled for as long as
// this lives.
class OtherWindowsDisabled {
  public:
    explicit OtherWindowsDisabled(HWND open);
    ~OtherWindowsDisabled();
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

  private:
    std::vector<HWND> disabled_;
};

}  // namespace pelm32
