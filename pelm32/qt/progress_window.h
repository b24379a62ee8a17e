// The progress window drawn with Qt Widgets, and its test seam. While it
// shows, input meant for other windows is held (paint events only reach
// them; a key or click waits, in order, until the work is over, as a
// program whose thread is busy would see it).
#pragma once

#include <chrono>
#include <functional>

class QWidget;

namespace pelm32 {

// For tests: how long work runs before a window shows, windows even
// without a display, and a hook called with the window after each update.
void SetProgressSeam(std::chrono::milliseconds delay, bool headlessWindows,
                     std::function<void(QWidget*)> afterUpdate);
void ResetProgressSeam();

}  // namespace pelm32
