// The per-thread run-time state that start-up makes for the program's thread.
#pragma once

#include <cstdint>

struct ThreadRuntimeState {
    char dialogFontFace[32];
    std::uint16_t dialogFontPointSize;
};

// The calling thread's state, or nullptr when start-up has not made one.
ThreadRuntimeState* CurrentThreadState() noexcept;

// The font every dialog is built with: the thread state's defaults, or
// "MS Sans Serif" at 8 points on a thread without a state.
const char* DialogFontFace() noexcept;
std::uint16_t DialogFontPointSize() noexcept;

// Start-up: allocates the thread-local slot and stores a zero-filled state
// with the dialog defaults in it for the calling thread. False, with nothing
// left allocated, when no slot or no memory can be had.
bool CreateThreadState() noexcept;

// Shutdown: frees the calling thread's state and gives the slot back.
void ReleaseThreadState() noexcept;
