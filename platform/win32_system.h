// Windows: the system's own declarations, and the one helper of ours that the
// run time spells its own way.
#pragma once

#if !defined(_WIN32)
#error "platform/win32_system.h is for Windows builds; include platform/win32.h"
#endif

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include "platform/words.h"
