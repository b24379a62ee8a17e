// The Windows calls, types and constants that the run time uses, under their
// Windows names and values. On Linux our own implementations stand behind them.
#pragma once

#include "platform/win32_base.h"
#include "platform/win32_commdlg.h"
#include "platform/win32_file.h"
#include "platform/win32_msgbox.h"
#include "platform/win32_process.h"
#include "platform/win32_window.h"
