// Long work told to the user: once spooling or writing a document has taken
// half a second, a small window shows how far it has got, with a Cancel
// button, and the program's windows keep being repainted. Headless there is
// no window and the cost is a counter and, now and then, a clock read.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace pelm32 {

class ProgressWindow;

class Progress {
  public:
    explicit Progress(std::string title);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A step of spooling, pages so far. False once the user has cancelled.
    bool Spooling(int pages) {
        return ++calls_ % kCallsPerLook != 0 ? !cancelled_ : Look(pages, 0);
    }
    // A page of the PDF written. False once the user has cancelled.
    bool Writing(int page, int total) { return Look(page, total); }
    // The work is over: the window goes.
    void Done();

  private:
    static constexpr unsigned kCallsPerLook = 32;
    bool Look(int done, int total);

    std::string title_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point nextUpdate_;
    unsigned calls_ = 0;
    bool cancelled_ = false;
    bool decided_ = false;  // whether there can be a window, once asked
    std::unique_ptr<ProgressWindow> window_;
};

}  // namespace pelm32
