// POSIX errors as the Windows error codes that the file calls answer with.
#pragma once

#include "platform/win32_base.h"

// The Windows code for errno value error. path, when given, is the path the
// failing call was about: a missing entry is ERROR_FILE_NOT_FOUND when its
// folder exists and ERROR_PATH_NOT_FOUND when it does not.
DWORD WindowsErrorFromErrno(int error, const char* path = nullptr) noexcept;

// Sets the last error from errno value error (see WindowsErrorFromErrno).
void SetLastErrorFromErrno(int error, const char* path = nullptr) noexcept;
