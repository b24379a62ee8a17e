// The program's one way of telling the user about a failure.
#pragma once

#include <cstdint>

#include "runtime/dynamic_string.h"

// Shows text (up to its first zero byte) in a box of its own, captioned with
// title, or with the program's default caption when title is empty; style is
// the platform's message box style (0: OK, 16: OK with the stop icon). Returns
// once the box is closed, with the platform's answer (1 for OK).
std::int32_t ShowMessageBox(const DynamicString& text, const DynamicString& title,
                            std::uint32_t style);
