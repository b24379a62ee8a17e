// MessageBoxA and the style flags and answers the program uses.
#pragma once

// On Windows the system's own declarations stand in for these.
#if defined(_WIN32)
#include "platform/win32.h"
#else

#include "platform/win32_base.h"

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONSTOP = 0x00000010;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONMASK = 0x000000F0;

constexpr int IDOK = 1;

// Shows text and caption (zero-terminated) with one OK button and the icon
// the style selects, and returns IDOK once the user has closed the box. The
// box has no owner (owner is taken as none) and blocks no other window: the
// thread's other windows keep getting their events meanwhile.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

#endif  // !_WIN32
