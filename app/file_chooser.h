// Asks the user for one existing file through the platform's open-file dialog.
#pragma once

#include <cstdint>

#include "platform/win32_base.h"
#include "runtime/dynamic_string.h"

// Not 0 when a file was chosen. path is in and out (the file name buffer's
// text on every outcome); flags is in and out. filterText separates its
// descriptions and patterns with "|".
std::int32_t ChooseFileToOpen(HWND owner, const DynamicString& title, DynamicString& path,
                              const DynamicString& initialDirectory,
                              const DynamicString& filterText,
                              const DynamicString& defaultExtension, std::uint32_t& flags);
