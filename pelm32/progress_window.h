// The progress window and what it needs from Qt: the window with its Cancel
// button, and the hold on input meant for other windows while work goes on
// (paint events only reach them; a key or click waits, in order, until the
// work is over, as a program whose thread is busy would see it).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace pelm32 {

class ProgressWindow {
  public:
    virtual ~ProgressWindow() = default;
    // Shows how far the work has got (total 0 when not known) and lets the
    // windows repaint; true when Cancel has been pressed.
    virtual bool Update(int done, int total) = 0;
};

// The window for the work on a document titled title, shown now; null
// where windows cannot show (no display; on Windows, not yet).
std::unique_ptr<ProgressWindow> OpenProgressWindow(const std::string& title);

// How long work runs before a window shows.
std::chrono::milliseconds ProgressDelay();

// For tests: how long work runs before a window shows, windows even
// without a display, and a hook called with the window after each update.
void SetProgressSeam(std::chrono::milliseconds delay, bool headlessWindows,
                     std::function<void(QWidget*)> afterUpdate);
void ResetProgressSeam();

}  // namespace pelm32
