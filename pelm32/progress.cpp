#include "pelm32/progress.h"

#include "pelm32/progress_window.h"

#include <algorithm>

namespace pelm32 {

namespace {

// The window shows what is going on this often, no more (and as often as
// the delay, when that is shorter, as in tests).
std::chrono::milliseconds UpdateEvery() {
    return std::min(std::chrono::milliseconds(50), ProgressDelay());
}

}  // namespace

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
        window_ = OpenProgressWindow(title_);
    }
    if (!window_) {
        nextUpdate_ = std::chrono::steady_clock::time_point::max();  // headless: never again
        return true;
    }
    cancelled_ = window_->Update(done, total);
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
