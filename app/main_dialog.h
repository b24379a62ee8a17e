// The program's main function and its one window, the main dialog.
#pragma once

#include <cstdint>

#include "platform/win32_base.h"

// Control ids of the main dialog.
constexpr std::int32_t IDC_FILEPATH = 101;
constexpr std::int32_t IDC_BROWSE = 102;
constexpr std::int32_t IDC_PRINT = 103;
constexpr std::int32_t IDC_QUIT = 104;

// Builds the main dialog and runs it modally until it is ended; always 0.
// None of the arguments is used: the program has no command line of its own.
std::int32_t AppMain(HINSTANCE instance, HINSTANCE previousInstance, const char* commandLine,
                     std::int32_t showState);

// The main dialog's callback: the focus at the start, Print, Browse, Quit.
// 1 for the initialisation message, 0 for everything else.
std::int32_t MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
