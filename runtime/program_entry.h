// Where the process begins and ends: prepares the thread's run-time state and
// the floating-point settings, runs the program's main function once and
// ends the process with its result.
#pragma once

#include <cstdint>

// The instance handle type, declared as the platform declares it, so that a
// main function can be written without the platform's headers.
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

using MainFunction = std::int32_t (*)(HINSTANCE instance, HINSTANCE previousInstance,
                                      const char* argumentText, std::int32_t showState);

// Start-up, the main function, shutdown; the exit code: the main function's
// result, or 255 when the thread's run-time state cannot be made (the main
// function is then not called).
std::int32_t RunProgram(MainFunction appMain);

// RunProgram, then the end of the process with its exit code.
[[noreturn]] void ProgramEntry(MainFunction appMain);

// The part of a command line after the program name: after a quoted name's
// closing quote, or after an unquoted name's first byte of value 32 or less
// when that is a space, skipping the spaces that follow. Never null for a
// non-null command line; a quote that is never closed gives the empty text.
const char* ArgumentText(const char* commandLine);
