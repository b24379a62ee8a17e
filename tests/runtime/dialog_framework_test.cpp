// The dialog framework on the real window layer, headless.
#include "runtime/dialog_framework.h"
#include "platform/qt/message_pump.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/qt/qt_application.h"
#include "platform/win32.h"
#include "runtime/floating_point.h"
#include "runtime/message_box.h"

namespace {

struct Call {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool visible;
};

std::vector<Call> calls;
std::vector<int> commands;
bool answerSysCommand = false;
int boxCommand = -1;  // the command that shows a message box
bool boxReturned = false;

std::int32_t RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    calls.push_back({message, wParam, lParam, IsWindowVisible(dialog) != FALSE});
    if (message == WM_COMMAND) {
        commands.push_back(LoWord(wParam));
        if (LoWord(wParam) == boxCommand) {
            ShowMessageBox("Still there?", "Box", 0);
            boxReturned = true;
        }
    }
    if (message == WM_SYSCOMMAND && answerSysCommand) {
        return 1;
    }
    return message == WM_INITDIALOG ? 1 : 0;
}

// Runs one step per timer tick inside the modal loop, so that the loop
// handles what each step queued before the next one looks. A dialog still
// open once the steps are done is ended with -1, so a test fails, never hangs.
class Script {
  public:
    Script(HWND dialog, std::vector<std::function<void()>> steps)
        : dialog_(dialog), steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this]() { Tick(); });
        timer_.start(20);
    }

  private:
    void Tick() {
        // A step runs only once the loop has handled everything the last one
        // queued; on a slow machine ticks can come faster than the loop.
        if (!MessageQueueIsEmpty() && ++drainTicks_ < kMaxDrainTicks) {
            return;
        }
        drainTicks_ = 0;
        if (next_ < steps_.size()) {
            steps_[next_++]();
        } else if (++idleTicks_ > 50 && IsWindow(dialog_)) {
            FinishDialog(dialog_, -1);
        }
    }
    HWND dialog_;
    std::vector<std::function<void()>> steps_;
    std::size_t next_ = 0;
    int idleTicks_ = 0;
    int drainTicks_ = 0;
    static constexpr int kMaxDrainTicks = 500;
    QTimer timer_;
};

QWidget* SampleWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == QLatin1String("Framework sample")) {
            return widget;
        }
    }
    return nullptr;
}

QWidget* FocusedWidget() {
    return QApplication::focusWidget();
}

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = FocusedWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

class DialogFrameworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(EnsureQtApplication(), nullptr);
        calls.clear();
        commands.clear();
        answerSysCommand = false;
        boxCommand = -1;
        boxReturned = false;
    }

    // A text box, two tab-stop buttons with a plain button between them, a label.
    HWND BuildSample(std::uint32_t firstButtonStyle = 0) {
        HWND dialog = BuildDialog(nullptr, "Framework sample", 77, 22, 200, 100, 0x00C80800, 0);
        EXPECT_NE(dialog, nullptr);
        AddControl(dialog, kTextBoxKind, 101, "", 10, 26, 160, 14, 0, 0);
        AddControl(dialog, kPushButtonKind, 102, "&Alpha", 10, 46, 40, 14, firstButtonStyle, 0);
        AddControl(dialog, kPushButtonKind, 104, "&Gamma", 60, 46, 40, 14, 0x50000000, 0);
        AddControl(dialog, kLabelKind, -1, "&Label", 10, 64, 40, 12, 0, 0);
        AddControl(dialog, kPushButtonKind, 103, "&Beta", 110, 46, 40, 14, 0, 0);
        return dialog;
    }

    std::int32_t Run(HWND dialog, std::vector<std::function<void()>> steps,
                     std::int32_t start = 99) {
        std::int32_t result = start;
        Script script(dialog, std::move(steps));
        RunDialogModal(dialog, RecordingProc, &result);
        return result;
    }
};

std::uint16_t WordAt(const DialogTemplateSpace& space, int offset) {
    std::uint16_t value;
    std::memcpy(&value, space.bytes + offset, 2);
    return value;
}

std::uint32_t DoubleWordAt(const DialogTemplateSpace& space, int offset) {
    std::uint32_t value;
    std::memcpy(&value, space.bytes + offset, 4);
    return value;
}

TEST(DialogTemplate, StyleGetsTheFixedBits) {
    struct Case {
        std::uint32_t given;
        std::int32_t x, y;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {0x00C80800, 77, 22, 0x00C80854},  // the main dialog's
        {0, 77, 22, 0x80C000D4},           // popup, caption, modal frame
        {0x10C80002, 5, 5, 0x00C80054},    // never visible, never system-modal
        {0x00C80000, -1, 22, 0x00C80854},  // -1 centres
        {0x00C80000, 5, -1, 0x00C80854},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DialogCreationStyle(c.given, c.x, c.y), c.expected) << std::hex << c.given;
    }
}

TEST(DialogTemplate, HeaderCaptionAndFontAsWords) {
    DialogTemplateSpace space;
    std::int32_t used = AssembleDialogTemplate(space, 0x00C80854, 0x200, 77, 22, 210, 110, "Ab\xE9",
                                               "MS Sans Serif", 8);
    EXPECT_EQ(DoubleWordAt(space, 0), 0x00C80854u);
    EXPECT_EQ(DoubleWordAt(space, 4), 0x200u);
    const std::uint16_t header[] = {0, 77, 22, 210, 110, 0, 0};  // count, rect, menu, class
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(WordAt(space, 8 + 2 * i), header[i]) << i;
    }
    // Bytes are widened one by one, without any code page.
    EXPECT_EQ(WordAt(space, 22), u'A');
    EXPECT_EQ(WordAt(space, 24), u'b');
    EXPECT_EQ(WordAt(space, 26), 0x00E9);
    EXPECT_EQ(WordAt(space, 28), 0);
    EXPECT_EQ(WordAt(space, 30), 8);
    const char face[] = "MS Sans Serif";
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(WordAt(space, 32 + 2 * i), static_cast<unsigned char>(face[i]));
    }
    EXPECT_EQ(WordAt(space, 32 + 26), 0);
    EXPECT_EQ(used, 32 + 28);
}

TEST(DialogTemplate, EmptyCaptionIsOneSpace) {
    DialogTemplateSpace space;
    AssembleDialogTemplate(space, 0, 0, 0, 0, 10, 10, "", "F", 8);
    EXPECT_EQ(WordAt(space, 22), u' ');
    EXPECT_EQ(WordAt(space, 24), 0);
}

TEST(DialogTemplate, LongestCaptionFitsAndLongerIsCut) {
    for (int length : {256, 300}) {
        std::string caption(static_cast<std::size_t>(length), 'x');
        caption[255] = 'y';
        DialogTemplateSpace space;
        std::memset(space.bytes, 0xAB, sizeof space.bytes);
        std::int32_t used = AssembleDialogTemplate(space, 0, 0, 0, 0, 10, 10,
                                                   DynamicString(caption), "MS Sans Serif", 8);
        EXPECT_LE(used, DialogTemplateSpace::kSize);
        EXPECT_EQ(WordAt(space, 22 + 2 * 255), u'y');
        EXPECT_EQ(WordAt(space, 22 + 2 * 256), 0) << length;
        EXPECT_EQ(WordAt(space, 22 + 2 * 257), 8);  // the point size follows at once
        EXPECT_EQ(used, 22 + 257 * 2 + 2 + 14 * 2);
    }
}

TEST_F(DialogFrameworkTest, TextBoxStyleRules) {
    HWND dialog = BuildDialog(nullptr, "Styles", 0, 0, 100, 100, 0, 0);
    ASSERT_NE(dialog, nullptr);
    struct Case {
        std::int32_t kind;
        std::uint32_t style, exStyle, expectedStyle, expectedExStyle;
    };
    const Case cases[] = {
        {kTextBoxKind, 0, 0, 0x50010080, 0x200},       // border becomes client edge
        {kTextBoxKind, 0x00800080, 0, 0x50800080, 0},  // explicit style kept
        {kPushButtonKind, 0, 0, 0x50010000, 0},
        {kPushButtonKind, 0x00000001, 0x4, 0x50000001, 0x4},
        {kLabelKind, 0x00000001, 0, 0x50000001, 0},
        {kLabelKind, 0, 0, 0x50000000, 0},
    };
    int id = 200;
    for (const Case& c : cases) {
        HWND control = AddControl(dialog, c.kind, id, "t", 1, 1, 20, 10, c.style, c.exStyle);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(static_cast<std::uint32_t>(GetWindowLongA(control, GWL_STYLE)), c.expectedStyle)
            << id;
        EXPECT_EQ(static_cast<std::uint32_t>(GetWindowLongA(control, GWL_EXSTYLE)),
                  c.expectedExStyle)
            << id;
        EXPECT_EQ(GetDlgItem(dialog, id), control);
        ++id;
    }
    EXPECT_EQ(AddControl(dialog, 42, 300, "no such kind", 1, 1, 20, 10, 0, 0), nullptr);
    FinishDialog(dialog, 0);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(DialogFrameworkTest, CreationRestoresFloatingPointSettings) {
    SetDefaultFloatingPointState();
    HWND dialog = BuildDialog(nullptr, "Settings", 0, 0, 100, 100, 0, 0);
    EXPECT_EQ(CurrentFloatingPointControlWord(), kFloatingPointControlWord);
    SetDefaultFloatingPointState();
    AddControl(dialog, kTextBoxKind, 101, "", 1, 1, 20, 10, 0, 0);
    EXPECT_EQ(CurrentFloatingPointControlWord(), kFloatingPointControlWord);
    FinishDialog(dialog, 0);
}

TEST_F(DialogFrameworkTest, FirstCallsAreInitAndSizeBeforeShowingAndNoActivation) {
    HWND dialog = BuildSample();
    RECT client{};
    GetClientRect(dialog, &client);
    std::int32_t result = Run(dialog, {[] {}, [dialog] { FinishDialog(dialog, 3); }});
    EXPECT_EQ(result, 3);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, WM_INITDIALOG);
    EXPECT_EQ(calls[0].wParam, reinterpret_cast<WPARAM>(dialog));
    EXPECT_EQ(calls[0].lParam, 0);
    EXPECT_FALSE(calls[0].visible);
    EXPECT_EQ(calls[1].message, WM_SIZE);
    EXPECT_EQ(calls[1].wParam, SIZE_RESTORED);
    EXPECT_EQ(calls[1].lParam, client.right | (client.bottom << 16));
    EXPECT_GT(client.right, 0);
    EXPECT_FALSE(calls[1].visible);
    int initCount = 0;
    for (const Call& call : calls) {
        EXPECT_NE(call.message, WM_ACTIVATE);
        initCount += call.message == WM_INITDIALOG;
    }
    EXPECT_EQ(initCount, 1);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(DialogFrameworkTest, CloseButtonEndsWithZeroUnlessTheCallbackTakesIt) {
    // The window's close request, as the title bar's button makes it.
    HWND dialog = BuildSample();
    std::int32_t result = Run(dialog, {[] { SampleWindow()->close(); }});
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(IsWindow(dialog));
    bool sawClose = false;
    for (const Call& call : calls) {
        sawClose |= call.message == WM_SYSCOMMAND && call.wParam == SC_CLOSE;
    }
    EXPECT_TRUE(sawClose);

    answerSysCommand = true;
    dialog = BuildSample();
    bool stillOpen = false;
    result = Run(dialog, {[] { SampleWindow()->close(); }, [] {},
                          [dialog, &stillOpen] {
                              stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
                              FinishDialog(dialog, 7);
                          }});
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 7);
}

TEST_F(DialogFrameworkTest, TabOrderFollowsCreationOfTabStops) {
    HWND dialog = BuildSample();
    std::vector<HWND> controls;
    for (int id : {101, 102, 103}) {
        controls.push_back(GetDlgItem(dialog, id));
    }
    std::vector<HWND> seen;
    auto note = [&seen] { seen.push_back(GetFocus()); };
    Run(dialog, {[dialog] { FocusControl(dialog, 101); }, note, [] { Press(Qt::Key_Tab); }, note,
                 [] { Press(Qt::Key_Tab); }, note, [] { Press(Qt::Key_Tab); }, note,
                 [] { Press(Qt::Key_Backtab, Qt::ShiftModifier); }, note,
                 [] { Press(Qt::Key_Backtab, Qt::ShiftModifier); }, note,
                 [dialog] { FinishDialog(dialog, 0); }});
    // 104 has no tab stop and is passed over.
    const std::vector<HWND> expected = {controls[0], controls[1], controls[2],
                                        controls[0], controls[2], controls[1]};
    EXPECT_EQ(seen, expected);
}

TEST_F(DialogFrameworkTest, KeysBecomeCommands) {
    struct Case {
        const char* name;
        std::uint32_t firstButtonStyle;
        int focusId;
        int key;
        Qt::KeyboardModifiers modifiers;
        int expectedCommand;
    };
    const Case cases[] = {
        {"Enter in the text box without a default button", 0, 101, Qt::Key_Return, {}, 1},
        {"Enter in the text box with a default button", 0x50010001, 101, Qt::Key_Return, {}, 102},
        {"Enter on a focused button", 0x50010001, 103, Qt::Key_Return, {}, 103},
        {"Escape", 0, 101, Qt::Key_Escape, {}, 2},
        {"Alt and a mnemonic", 0, 101, Qt::Key_B, Qt::AltModifier, 103},
        {"Alt and the mnemonic of a button without tab stop", 0, 101, Qt::Key_G, Qt::AltModifier,
         104},
    };
    for (const Case& c : cases) {
        commands.clear();
        HWND dialog = BuildSample(c.firstButtonStyle);
        QString textAfter;
        Run(dialog,
            {[dialog, &c] { FocusControl(dialog, c.focusId); }, [&c] { Press(c.key, c.modifiers); },
             [] {}, [dialog] { FinishDialog(dialog, 0); }});
        EXPECT_EQ(commands, std::vector<int>{c.expectedCommand}) << c.name;
    }
}

TEST_F(DialogFrameworkTest, AltOnALabelMovesTheFocusOn) {
    HWND dialog = BuildSample();
    HWND beta = GetDlgItem(dialog, 103);
    HWND focus = nullptr;
    Run(dialog, {[dialog] { FocusControl(dialog, 101); }, [] { Press(Qt::Key_L, Qt::AltModifier); },
                 [&focus] { focus = GetFocus(); }, [dialog] { FinishDialog(dialog, 0); }});
    EXPECT_EQ(focus, beta);
    EXPECT_TRUE(commands.empty());
}

TEST_F(DialogFrameworkTest, TypingReachesTheTextBoxInOrder) {
    HWND dialog = BuildSample();
    DynamicString text;
    Run(dialog, {[dialog] { FocusControl(dialog, 101); },
                 [] {
                     QWidget* edit = FocusedWidget();
                     ASSERT_NE(qobject_cast<QLineEdit*>(edit), nullptr);
                     QTest::keyClicks(edit, "ab");
                     QTest::keyClick(edit, Qt::Key_Left);
                     QTest::keyClick(edit, Qt::Key_X);
                     QTest::keyClick(edit, Qt::Key_End);
                     QTest::keyClick(edit, Qt::Key_Backspace);
                     QTest::keyClicks(edit, "c d");
                 },
                 [] {}, [dialog, &text] { text = GetControlText(dialog, 101); },
                 [dialog] { FinishDialog(dialog, 0); }});
    EXPECT_EQ(text.ToStdString(), "axc d");
    EXPECT_TRUE(commands.empty());
}

TEST_F(DialogFrameworkTest, ControlTextAndMissingControls) {
    HWND dialog = BuildSample();
    SetControlText(dialog, 101, "first");
    EXPECT_EQ(GetControlText(dialog, 101).ToStdString(), "first");
    // Bytes that are not UTF-8 come back as they went in.
    SetControlText(dialog, 101, "caf\xE9\x01");
    EXPECT_EQ(GetControlText(dialog, 101).ToStdString(), "caf\xE9\x01");
    // Text after a zero byte is not taken.
    SetControlText(dialog, 101, DynamicString("ab\0cd", 5));
    EXPECT_EQ(GetControlText(dialog, 101).ToStdString(), "ab");
    EXPECT_EQ(GetControlText(dialog, 102).ToStdString(), "&Alpha");

    EXPECT_TRUE(GetControlText(dialog, 999).IsEmpty());
    SetControlText(dialog, 999, "ignored");
    EXPECT_EQ(GetControlText(dialog, 101).ToStdString(), "ab");

    HWND edit = GetDlgItem(dialog, 101);
    HWND focusBefore = nullptr;
    HWND focusAfter = reinterpret_cast<HWND>(1);
    QWidget* widgetAfter = nullptr;
    Run(dialog,
        {[dialog] { FocusControl(dialog, 101); }, [&focusBefore] { focusBefore = GetFocus(); },
         [dialog] { FocusControl(dialog, 999); },
         [&focusAfter, &widgetAfter] {
             focusAfter = GetFocus();
             widgetAfter = QApplication::focusWidget();
         },
         [dialog] { FinishDialog(dialog, 0); }});
    EXPECT_EQ(focusBefore, edit);
    EXPECT_EQ(focusAfter, nullptr);
    EXPECT_EQ(widgetAfter, nullptr);
}

TEST_F(DialogFrameworkTest, FinishedDialogIsGoneAndItsOperationsAreHarmless) {
    HWND dialog = BuildSample();
    HWND edit = GetDlgItem(dialog, 101);
    std::int32_t result = Run(dialog, {[dialog] { FinishDialog(dialog, 7); }}, 0);
    EXPECT_EQ(result, 7);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_TRUE(GetControlText(dialog, 101).IsEmpty());
    FinishDialog(dialog, 8);                         // a second finish finds nothing to do
    RunDialogModal(dialog, RecordingProc, &result);  // no record: returns at once
    EXPECT_EQ(result, 7);
}

TEST_F(DialogFrameworkTest, OwnerIsDisabledWhileTheDialogRunsAndFocusedAfter) {
    HWND owner = BuildDialog(nullptr, "Owner", -1, -1, 100, 60, 0, 0);
    ASSERT_NE(owner, nullptr);
    ShowWindow(owner, SW_SHOW);
    HWND dialog = BuildDialog(owner, "Owned", 10, 10, 100, 60, 0x00C80800, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(dialog, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(owner));
    bool ownerEnabledWhileRunning = true;
    std::int32_t result = Run(dialog, {[&ownerEnabledWhileRunning, owner] {
                                           ownerEnabledWhileRunning = IsWindowEnabled(owner);
                                       },
                                       [dialog] { FinishDialog(dialog, 4); }});
    EXPECT_EQ(result, 4);
    EXPECT_FALSE(ownerEnabledWhileRunning);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetFocus(), owner);
    FinishDialog(owner, 0);
}

QPushButton* SampleButton(const char* text) {
    for (auto* button : SampleWindow()->findChildren<QPushButton*>()) {
        if (button->text() == QLatin1String(text)) {
            return button;
        }
    }
    return nullptr;
}

QMessageBox* OpenBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

TEST_F(DialogFrameworkTest, DialogKeepsWorkingWhileAMessageBoxIsOpen) {
    boxCommand = 102;
    HWND dialog = BuildSample();
    bool boxWasOpen = false;
    std::vector<int> whileOpen;
    Run(dialog, {[] { QTest::mouseClick(SampleButton("&Alpha"), Qt::LeftButton); }, [] {},
                 [&boxWasOpen] {
                     boxWasOpen = OpenBox() != nullptr;
                     QTest::mouseClick(SampleButton("&Beta"), Qt::LeftButton);
                 },
                 [] { QTest::keyClick(SampleButton("&Beta"), Qt::Key_G, Qt::AltModifier); }, [] {},
                 [&whileOpen] {
                     whileOpen = commands;
                     if (QMessageBox* box = OpenBox()) {
                         box->button(QMessageBox::Ok)->click();
                     }
                 },
                 [] {}, [dialog] { FinishDialog(dialog, 0); }});
    EXPECT_TRUE(boxWasOpen);
    EXPECT_EQ(whileOpen, (std::vector<int>{102, 103, 104}));
    EXPECT_TRUE(boxReturned);
}

}  // namespace
