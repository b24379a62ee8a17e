// How Sleep waits. Alone it sleeps; the window layer, once it runs, takes
// the wait over, so that a Sleep in a message loop ends when input comes.
#pragma once

#include <chrono>

using SleepWaiter = void (*)(std::chrono::steady_clock::time_point until);

// Null gives the wait back to a plain sleep.
void SetSleepWaiter(SleepWaiter waiter);
