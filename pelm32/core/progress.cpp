#include "pelm32/core/progress.h"

#include <algorithm>

#include "pelm32/core/progress_window.h"
#include "pelm32/core/settings.h"

namespace pelm32 {

namespace {

std::chrono::milliseconds& Delay() {
    static std::chrono::milliseconds delay = kProgressDelay;
    return delay;
}

// The window shows what is going on this often, no more (and as often as
// the delay, when that is shorter, as in tests).
std::chrono::milliseconds UpdateEvery() {
    return std::min(std::chrono::milliseconds(50), ProgressDelay());
}

}  // namespace

std::chrono::milliseconds ProgressDelay() {
    return Delay();
}

void SetProgressDelay(std::chrono::milliseconds delay) {
    Delay() = delay;
}

Progress::Progress(std::string title)
    : title_(std::move(title)),
      start_(std::chrono::steady_clock::now()),
      nextUpdate_(start_ + ProgressDelay()) {}

Progress::~Progress() = default;

bool Progress::Look(int done, int total) {
    if (cancelled_) {
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < nextUpdate_) {
        return true;
    }
    if (!decided_) {
        decided_ = true;
        if (!Headless()) {
            window_ = OpenProgressWindow(title_);
        }
    }
    if (!window_) {
        nextUpdate_ = std::chrono::steady_clock::time_point::max();  // headless: never again
        return true;
    }
    cancelled_ = !window_->ShowProgress(done, total);
    nextUpdate_ = now + UpdateEvery();
    if (cancelled_) {
        window_.reset();
    }
    return !cancelled_;
}

void Progress::Done() {
    window_.reset();
}

}  // namespace pelm32
