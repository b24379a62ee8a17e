// A test seam in front of the platform's message box: with an answer set,
// the run time shows nothing, records what it would have asked and returns
// that answer, so no test ever blocks in a box, on any platform.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32_base.h"

struct MessageBoxRequest {
    HWND owner = nullptr;
    bool textIsNull = false;  // the null address, as opposed to ""
    std::string text;         // up to the first zero byte
    bool captionIsNull = false;
    std::string caption;
    UINT style = 0;
    std::chrono::steady_clock::time_point calledAt;
};

// Queues the answer of the next box; answers are used first in, first out,
// one per box. A box with no answer queued is the platform's real one.
void SetNextMessageBoxAnswer(int answer);

// Called during each answered request, at the moment the box would show (for
// a test that inspects the caller's state then); empty for none.
void SetMessageBoxObserver(std::function<void(const MessageBoxRequest&)> observer);

// The answered requests since the last call, oldest first; the record is cleared.
std::vector<MessageBoxRequest> TakeMessageBoxRequests();

// Forgets queued answers, recorded requests and the observer.
void ResetMessageBoxSeam();

// For a program without windows (a batch front end): every box goes to
// handler, whose result is its answer, instead of to the screen; null puts
// the screen back. Queued answers still come first.
void SendMessageBoxesTo(std::function<int(const MessageBoxRequest&)> handler);

// What the run time calls in place of MessageBoxA: the next queued answer,
// else the platform's box.
int MessageBoxThroughSeam(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
