// Windows error codes as run-time error numbers.
#pragma once

#include <cstdint>

// The run-time error number (1 to 255) for a Windows error code; 0 for 0.
std::int32_t MapSystemError(std::uint32_t windowsError) noexcept;
