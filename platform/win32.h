// The Windows calls, types and constants that the run time uses, under their
// Windows names and values. Either the system's own headers declare them
// (Windows) or ours do, with platform/posix and platform/qt behind them: never
// both, since the two sets of declarations clash.
#pragma once

#if defined(_WIN32)
#include "platform/win32_system.h"
#else
#include "platform/win32_base.h"
#include "platform/win32_commdlg.h"
#include "platform/win32_file.h"
#include "platform/win32_msgbox.h"
#include "platform/win32_process.h"
#include "platform/win32_window.h"
#endif
