// A test seam for MessageBoxA: with an answer set, the call shows nothing,
// records what it was asked and returns that answer, so no test ever blocks
// in a box.
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

// Queues the answer of the next MessageBoxA call; answers are used first in,
// first out, one per call. A call with no answer queued shows a real box.
void SetNextMessageBoxAnswer(int answer);

// Called during each answered request, at the moment the box would show (for
// a test that inspects the caller's state then); empty for none.
void SetMessageBoxObserver(std::function<void(const MessageBoxRequest&)> observer);

// The answered requests since the last call, oldest first; the record is cleared.
std::vector<MessageBoxRequest> TakeMessageBoxRequests();

// Forgets queued answers, recorded requests and the observer.
void ResetMessageBoxSeam();
