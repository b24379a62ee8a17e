// The progress window and what it needs from Qt: the window with its Cancel
// button, and the hold on input meant for other windows while work goes on
// (paint events only reach them; a key or click waits, in order, until the
// work is over, as a program whose thread is busy would see it).
#pragma once

#include <QPointer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QProgressBar;

namespace pelm32 {

class InputHold;

class ProgressWindow {
  public:
    explicit ProgressWindow(const QString& title);
    ~ProgressWindow();
    // Shows how far the work has got (total 0 when not known) and lets the
    // windows repaint; true when Cancel has been pressed.
    bool Update(int done, int total);

  private:
    std::unique_ptr<QWidget> window_;
    QLabel* label_;
    QProgressBar* bar_;
    bool cancelled_ = false;
    std::unique_ptr<InputHold> hold_;
};

// Whether progress windows can be shown: a display (see qt_setup.h).
bool ProgressWindowsAvailable();

// For tests: how long work runs before a window shows, windows even
// without a display, and a hook called with the window after each update.
void SetProgressSeam(std::chrono::milliseconds delay, bool headlessWindows,
                     std::function<void(QWidget*)> afterUpdate);
void ResetProgressSeam();
std::chrono::milliseconds ProgressDelay();

}  // namespace pelm32
