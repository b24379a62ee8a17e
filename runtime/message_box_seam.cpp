#include "runtime/message_box_seam.h"

#include <deque>
#include <utility>

#include "platform/win32.h"

namespace {

struct Seam {
    std::deque<int> answers;
    std::vector<MessageBoxRequest> requests;
    std::function<void(const MessageBoxRequest&)> observer;
};

Seam& TheSeam() {
    static Seam seam;
    return seam;
}

std::function<int(const MessageBoxRequest&)>& Handler() {
    static std::function<int(const MessageBoxRequest&)> handler;
    return handler;
}

MessageBoxRequest Request(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    MessageBoxRequest request;
    request.owner = owner;
    request.textIsNull = text == nullptr;
    request.text = text != nullptr ? text : "";
    request.captionIsNull = caption == nullptr;
    request.caption = caption != nullptr ? caption : "";
    request.style = style;
    request.calledAt = std::chrono::steady_clock::now();
    return request;
}

int AnswerFromSeam(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    Seam& seam = TheSeam();
    MessageBoxRequest request = Request(owner, text, caption, style);
    if (seam.observer) {
        seam.observer(request);
    }
    seam.requests.push_back(std::move(request));
    int answer = seam.answers.front();
    seam.answers.pop_front();
    return answer;
}

}  // namespace

void SetNextMessageBoxAnswer(int answer) {
    TheSeam().answers.push_back(answer);
}

void SetMessageBoxObserver(std::function<void(const MessageBoxRequest&)> observer) {
    TheSeam().observer = std::move(observer);
}

std::vector<MessageBoxRequest> TakeMessageBoxRequests() {
    return std::exchange(TheSeam().requests, {});
}

void ResetMessageBoxSeam() {
    TheSeam() = Seam();
}

void SendMessageBoxesTo(std::function<int(const MessageBoxRequest&)> handler) {
    Handler() = std::move(handler);
}

int MessageBoxThroughSeam(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    if (!TheSeam().answers.empty()) {
        return AnswerFromSeam(owner, text, caption, style);
    }
    if (Handler()) {
        return Handler()(Request(owner, text, caption, style));
    }
    return MessageBoxA(owner, text, caption, style);
}
