// The window calls on Qt, headless: handles, units, messages, keyboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/qt/qt_application.h"
#include "platform/win32.h"

namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> seen;

INT_PTR RecordingDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({window, message, wParam, lParam});
    return 0;
}

// A template without controls: header, no menu, default class, caption, font.
std::vector<WORD> Template(DWORD style, short cx, short cy, const std::string& caption,
                           const std::string& face = "MS Sans Serif") {
    std::vector<WORD> words(9, 0);
    DLGTEMPLATE header{style, 0, 0, 0, 0, cx, cy};
    std::memcpy(words.data(), &header, sizeof header);
    words.push_back(0);
    words.push_back(0);
    for (char c : caption) {
        words.push_back(static_cast<unsigned char>(c));
    }
    words.push_back(0);
    words.push_back(8);
    for (char c : face) {
        words.push_back(static_cast<unsigned char>(c));
    }
    words.push_back(0);
    return words;
}

HWND MakeDialog(const std::string& caption, short cx = 210, short cy = 110, LPARAM initParam = 0) {
    std::vector<WORD> words = Template(0x00C80854, cx, cy, caption);
    return CreateDialogIndirectParamA(nullptr, reinterpret_cast<const DLGTEMPLATE*>(words.data()),
                                      nullptr, RecordingDialogProc, initParam);
}

HWND MakeControl(HWND dialog, const char* type, const char* text, DWORD style, int id) {
    return CreateWindowExA(0, type, text, style, 5, 5, 60, 20, dialog,
                           reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr,
                           nullptr);
}

// Pumps for a while, as a modal loop would.
void Pump(HWND dialog, int turns) {
    MSG msg;
    for (int i = 0; i < turns; ++i) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(1);
        } else if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

std::vector<WPARAM> CommandsSeen() {
    std::vector<WPARAM> ids;
    for (const Seen& s : seen) {
        if (s.message == WM_COMMAND) {
            ids.push_back(LoWord(s.wParam));
        }
    }
    return ids;
}

QWidget* ShownWindow(const char* title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == QLatin1String(title)) {
            return widget;
        }
    }
    return nullptr;
}

class WindowLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(EnsureQtApplication(), nullptr);
        seen.clear();
    }
};

TEST_F(WindowLayerTest, HandlesFitInThirtyTwoBitsAndNeverComeBack) {
    HWND first = MakeDialog("Handles");
    ASSERT_NE(first, nullptr);
    HWND edit = MakeControl(first, "Edit", "x", WS_CHILD | WS_VISIBLE, 7);
    ASSERT_NE(edit, nullptr);
    for (HWND h : {first, edit}) {
        EXPECT_LE(reinterpret_cast<std::uintptr_t>(h), 0x7FFFFFFFu);
    }
    EXPECT_TRUE(DestroyWindow(first));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(IsWindow(edit));
    HWND second = MakeDialog("Handles again");
    EXPECT_NE(second, first);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(SetWindowTextA(first, "stale"));
    EXPECT_EQ(GetWindowTextLengthA(edit), 0);
    EXPECT_FALSE(DestroyWindow(first));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    DestroyWindow(second);
}

TEST_F(WindowLayerTest, DestructionMessagesEndWithNcDestroy) {
    HWND dialog = MakeDialog("Destroyed", 210, 110, 1234);
    ASSERT_NE(dialog, nullptr);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().message, WM_INITDIALOG);
    EXPECT_EQ(seen.back().lParam, 1234);
    seen.clear();
    DestroyWindow(dialog);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front().message, WM_DESTROY);
    EXPECT_EQ(seen.back().message, WM_NCDESTROY);
}

TEST_F(WindowLayerTest, DialogUnitsOfTheDialogFontKeepTheHomeProportions) {
    // Base units 6 x 13 pixels, as the dialog font has at home at 96 dpi.
    HWND dialog = MakeDialog("Units");
    RECT area{0, 0, 210, 110};
    ASSERT_TRUE(MapDialogRect(dialog, &area));
    EXPECT_EQ(area.right, 315);
    EXPECT_EQ(area.bottom, 179);
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 315);
    EXPECT_EQ(client.bottom, 179);
    RECT control{10, 26, 170, 40};
    MapDialogRect(dialog, &control);
    EXPECT_EQ(control.left, 15);
    EXPECT_EQ(control.top, 42);
    EXPECT_EQ(control.right, 255);
    EXPECT_EQ(control.bottom, 65);
    DestroyWindow(dialog);
}

TEST_F(WindowLayerTest, TextCallsCopyBytesAndRefuseNoWindow) {
    HWND dialog = MakeDialog("Text");
    HWND edit = MakeControl(dialog, "EDIT", "hello", WS_CHILD | WS_VISIBLE, 3);
    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(GetWindowTextA(edit, buffer, 3), 2);
    EXPECT_STREQ(buffer, "he");
    EXPECT_EQ(GetWindowTextLengthA(nullptr), 0);
    EXPECT_EQ(GetWindowTextA(nullptr, buffer, 8), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(SetWindowTextA(nullptr, "x"));
    EXPECT_EQ(GetDlgItem(dialog, 4), nullptr);
    EXPECT_EQ(GetDlgItem(dialog, 3), edit);
    EXPECT_EQ(MakeControl(dialog, "LISTBOX", "", WS_CHILD, 5), nullptr);
    DestroyWindow(dialog);
}

TEST_F(WindowLayerTest, PostedMessagesComeBeforeKeyboardInput) {
    HWND dialog = MakeDialog("Lanes");
    HWND edit = MakeControl(dialog, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 3);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(edit);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    QTest::keyPress(QApplication::focusWidget(), Qt::Key_A);
    PostMessageA(dialog, WM_USER + 5, 1, 2);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 5);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ(msg.hwnd, edit);
    // The character it makes is posted, so it is next.
    EXPECT_TRUE(TranslateMessage(&msg));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('a'));
    DestroyWindow(dialog);
}

// A waiting loop's Sleep(1) lasts until the next tick of Windows' default
// timer (1/64 s), not a millisecond, unless input comes: that ends it at
// once, and the key is the next message.
TEST_F(WindowLayerTest, SleepEndsOnATickOfTheTimerOrWhenInputComes) {
    using Clock = std::chrono::steady_clock;
    HWND dialog = MakeDialog("Waiting");
    HWND edit = MakeControl(dialog, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 3);
    ShowWindow(dialog, SW_SHOW);
    Pump(dialog, 20);  // what showing it brings is done with
    // Other events may end a Sleep early too: most of ten last a tick.
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 10; ++i) {
        Sleep(1);
    }
    EXPECT_GE(Clock::now() - start, std::chrono::microseconds(6 * 15625));
    SetFocus(edit);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    QTimer::singleShot(50, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_B); });
    const Clock::time_point waiting = Clock::now();
    bool got = false;
    while (!(got = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) &&
           Clock::now() - waiting < std::chrono::seconds(8)) {
        Sleep(10000);
    }
    ASSERT_TRUE(got);
    EXPECT_LT(Clock::now() - waiting, std::chrono::seconds(8));  // not a whole Sleep
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    DestroyWindow(dialog);
}

TEST_F(WindowLayerTest, ActivationCloseAndEscapeArriveAsMessagesOnly) {
    HWND dialog = MakeDialog("Close");
    HWND button = MakeControl(dialog, "BUTTON", "&Go", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 9);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(button);
    Pump(dialog, 20);
    QWidget* window = ShownWindow("Close");
    ASSERT_NE(window, nullptr);
    window->close();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::AltModifier);
    // Long enough for a mnemonic of Qt's own to fire, were there one: 20
    // turns of a timer tick, a third of a second.
    Pump(dialog, 20);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(IsWindow(dialog));
    bool activated = false;
    bool closeAsked = false;
    for (const Seen& s : seen) {
        activated |= s.message == WM_ACTIVATE && LoWord(s.wParam) == WA_ACTIVE;
        closeAsked |= s.message == WM_SYSCOMMAND && s.wParam == SC_CLOSE;
    }
    EXPECT_TRUE(activated);
    EXPECT_TRUE(closeAsked);
    EXPECT_EQ(CommandsSeen(), (std::vector<WPARAM>{2, 9}));
    DestroyWindow(dialog);
}

TEST_F(WindowLayerTest, ClickedButtonPostsItsCommandAndSpaceTooButNotTwice) {
    HWND dialog = MakeDialog("Click");
    HWND button = MakeControl(dialog, "BUTTON", "Press", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 12);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(button);
    Pump(dialog, 10);
    auto* widget = qobject_cast<QPushButton*>(QApplication::focusWidget());
    ASSERT_NE(widget, nullptr);
    QTest::mouseClick(widget, Qt::LeftButton);
    QTest::keyClick(widget, Qt::Key_Space);
    Pump(dialog, 50);
    EXPECT_EQ(CommandsSeen(), (std::vector<WPARAM>{12, 12}));
    for (const Seen& s : seen) {
        if (s.message == WM_COMMAND) {
            EXPECT_EQ(s.lParam, reinterpret_cast<LPARAM>(button));
        }
    }
    DestroyWindow(dialog);
}

TEST_F(WindowLayerTest, AClickNeverOvertakesKeysTypedBeforeIt) {
    HWND dialog = MakeDialog("Order");
    HWND edit = MakeControl(dialog, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 3);
    ASSERT_NE(MakeControl(dialog, "BUTTON", "Go", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 4), nullptr);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(edit);
    Pump(dialog, 10);
    QTest::keyClicks(QApplication::focusWidget(), "abc");
    QWidget* window = ShownWindow("Order");
    ASSERT_NE(window, nullptr);
    QTest::mouseClick(window->findChild<QPushButton*>(), Qt::LeftButton);
    // Take messages one by one: the command must come after every typed key.
    std::string textAtCommand = "none";
    MSG msg;
    for (int i = 0; i < 100; ++i) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            continue;
        }
        if (msg.message == WM_COMMAND) {
            char text[16] = {};
            GetWindowTextA(edit, text, sizeof text);
            textAtCommand = text;
        }
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_EQ(textAtCommand, "abc");
    DestroyWindow(dialog);
}

TEST_F(WindowLayerTest, NoFocusLeavesNoWidgetFocused) {
    HWND dialog = MakeDialog("Focus");
    HWND edit = MakeControl(dialog, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 3);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(edit);
    Pump(dialog, 10);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_NE(qobject_cast<QLineEdit*>(QApplication::focusWidget()), nullptr);
    EXPECT_EQ(SetFocus(nullptr), edit);
    Pump(dialog, 10);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
    DestroyWindow(dialog);
}

// A keyboard user must see where Enter goes: the focus that Tab or
// SetFocus moves is drawn, on the real layer's own widgets.
TEST_F(WindowLayerTest, FocusMovedByTheKeyboardOrSetFocusIsDrawn) {
    HWND dialog = MakeDialog("Focus shows");
    HWND edit = MakeControl(dialog, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 3);
    HWND first = MakeControl(dialog, "BUTTON", "First", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 4);
    HWND second = MakeControl(dialog, "BUTTON", "Second", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 5);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(edit);
    Pump(dialog, 10);
    QWidget* window = ShownWindow("Focus shows");
    ASSERT_NE(window, nullptr);
    const auto buttons = window->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    const QImage firstUnfocused = buttons[0]->grab().toImage();
    const QImage secondUnfocused = buttons[1]->grab().toImage();

    QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
    Pump(dialog, 20);
    ASSERT_EQ(GetFocus(), first);
    EXPECT_NE(buttons[0]->grab().toImage(), firstUnfocused) << "Tab";

    SetFocus(second);
    Pump(dialog, 10);
    EXPECT_NE(buttons[1]->grab().toImage(), secondUnfocused) << "SetFocus";
    EXPECT_EQ(buttons[0]->grab().toImage(), firstUnfocused) << "the focus left it";
    DestroyWindow(dialog);
}

}  // namespace
