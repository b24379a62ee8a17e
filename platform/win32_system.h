// Windows: the system's own declarations, and the one helper of ours that the
// run time spells its own way.
#pragma once

#if !defined(_WIN32)
#error "platform/win32_system.h is for Windows builds; include platform/win32.h"
#endif

#ifndef NOMINMAX
#define NOMINMAX
#endif
// All of it: the component object model and the common dialogs too.
#include <windows.h>

#include "platform/words.h"
