// The window that shows long work, one kind per platform: how far the work
// has got, with a Cancel button, while the program's windows keep being
// repainted.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace pelm32 {

class ProgressWindow {
  public:
    virtual ~ProgressWindow() = default;
    // Shows how far the work has got (total 0 when not known) and lets the
    // windows repaint; false once the user has cancelled.
    virtual bool ShowProgress(int done, int total) = 0;
};

// The window for the work on a document titled title, shown now; null
// where windows cannot show (no display).
std::unique_ptr<ProgressWindow> OpenProgressWindow(const std::string& title);

// How long work runs before a window shows: kProgressDelay, unless a test
// asks for another delay.
constexpr std::chrono::milliseconds kProgressDelay{500};
std::chrono::milliseconds ProgressDelay();
void SetProgressDelay(std::chrono::milliseconds delay);

}  // namespace pelm32
