// What the engine cannot do, told to the user: on standard error always,
// and where there is a display, in a message box of the engine's own.
#pragma once

#include <functional>
#include <string>

namespace pelm32 {

// text names what failed, where, and the system's reason, in one sentence
// ("no PDF written: cannot create a file in \"/out\": Permission denied").
void TellFailure(const std::string& text);

// For tests: failures go here instead of to a message box; null undoes it.
void SetFailureSeam(std::function<void(const std::string&)> seam);

}  // namespace pelm32
