// The thread's message queue, message delivery and the dialog keyboard.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <deque>
#include <memory>
#include <thread>

#include "platform/posix/sleep_wait.h"
#include "platform/qt/message_pump.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/window_table.h"
#include "platform/win32_msgbox.h"

namespace windowing {
namespace {

struct QueuedMessage {
    MSG msg;
    std::shared_ptr<QKeyEvent> key;
};

// Posted messages come out before keyboard input, as on Windows: a WM_CHAR
// made from one key is seen before the next key.
std::deque<QueuedMessage> postedLane;
std::deque<QueuedMessage> inputLane;
std::deque<QueuedMessage> takenKeys;  // the latest keys taken, for dispatch
constexpr std::size_t kTakenKeysKept = 64;
DWORD nextSerial = 1;
int passThrough = 0;  // keys we hand back to a widget pass the filter
HWND focusWindow = nullptr;
HWND activeDialog = nullptr;

// The time field carries the queue's running number, which tells apart two
// identical keys taken in the same millisecond.
MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = nextSerial++;
    return msg;
}

WPARAM VirtualKeyFor(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<WPARAM>(key);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return static_cast<WPARAM>(0x70 + (key - Qt::Key_F1));
    }
    switch (key) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
            return VK_MENU;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        default:
            return 0;
    }
}

class KeyboardFilter : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        QEvent::Type type = event->type();
        if (type == QEvent::FocusIn) {
            if (auto* widget = qobject_cast<QWidget*>(watched)) {
                if (HWND window = HandleOf(widget)) {
                    focusWindow = window;
                }
            }
            return false;
        }
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
            type != QEvent::ShortcutOverride) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || passThrough > 0) {
            return false;
        }
        HWND window = HandleOf(widget);
        if (window == nullptr) {
            return false;  // not one of ours (a message box, a file chooser)
        }
        auto* key = static_cast<QKeyEvent*>(event);
        if (type == QEvent::ShortcutOverride) {
            // Taken, so that Qt fires no shortcut or mnemonic of its own.
            event->accept();
            return true;
        }
        bool alt = key->modifiers() & Qt::AltModifier;
        bool press = type == QEvent::KeyPress;
        UINT message =
            alt ? (press ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (press ? WM_KEYDOWN : WM_KEYUP);
        LPARAM flags = 1;
        if (alt) {
            flags |= LPARAM{1} << 29;
        }
        if (key->isAutoRepeat()) {
            flags |= LPARAM{1} << 30;
        }
        if (!press) {
            flags |= LPARAM{3} << 30;
        }
        QueueInput(MakeMessage(window, message, VirtualKeyFor(key->key()), flags),
                   static_cast<QKeyEvent*>(key->clone()));
        return true;
    }
};

bool MatchesFilter(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window == reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1))) {
        if (msg.hwnd != nullptr) {
            return false;
        }
    } else if (window != nullptr && msg.hwnd != window &&
               GetAncestor(msg.hwnd, GA_ROOT) != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) {
        return true;
    }
    return msg.message >= filterMin && msg.message <= filterMax;
}

bool TakeFrom(std::deque<QueuedMessage>& lane, LPMSG msg, HWND window, UINT filterMin,
              UINT filterMax, UINT removeMsg) {
    for (auto it = lane.begin(); it != lane.end(); ++it) {
        if (!MatchesFilter(it->msg, window, filterMin, filterMax)) {
            continue;
        }
        *msg = it->msg;
        if (removeMsg & PM_REMOVE) {
            if (it->key) {
                takenKeys.push_back(std::move(*it));
                if (takenKeys.size() > kTakenKeysKept) {
                    takenKeys.pop_front();
                }
            }
            lane.erase(it);
        }
        return true;
    }
    return false;
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

bool HasModifier(const MSG* msg, Qt::KeyboardModifier modifier) {
    const QKeyEvent* key = KeyEventFor(msg);
    return key != nullptr && (key->modifiers() & modifier);
}

// The character after a single "&" of a text, upper-cased; 0 for none.
char MnemonicOf(const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '&') {
            if (text[i + 1] != '&') {
                return static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
            }
            ++i;
        }
    }
    return 0;
}

bool CanTakeFocus(HWND control) {
    WindowSlot* slot = Slot(control);
    return slot && slot->widget && (slot->style & WS_TABSTOP) && !(slot->style & WS_DISABLED) &&
           slot->widget->isVisibleTo(slot->widget->window());
}

bool IsPushButton(const WindowSlot* slot) {
    return slot && slot->kind == WindowKind::Button &&
           ((slot->style & BS_TYPEMASK) == BS_PUSHBUTTON ||
            (slot->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
}

void SendCommand(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    SendMessageA(
        dialog, WM_COMMAND,
        static_cast<WPARAM>(static_cast<WORD>(id)) | (static_cast<WPARAM>(BN_CLICKED) << 16),
        reinterpret_cast<LPARAM>(control));
}

int IndexOfFocus(const std::vector<HWND>& children) {
    HWND focus = GetFocus();
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (children[i] == focus) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Tab order: the controls with WS_TABSTOP in creation order, wrapping round.
void MoveTabFocus(HWND dialog, bool backwards) {
    std::vector<HWND> children = Slot(dialog)->children;
    int count = static_cast<int>(children.size());
    if (count == 0) {
        return;
    }
    int at = IndexOfFocus(children);
    if (at < 0) {
        at = backwards ? 0 : count - 1;
    }
    for (int step = 1; step <= count; ++step) {
        int index = backwards ? (at - step + 2 * count) % count : (at + step) % count;
        if (CanTakeFocus(children[index])) {
            WindowSlot* slot = Slot(children[index]);
            ShowFocusIn(slot->widget, backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            NoteFocus(children[index]);
            return;
        }
    }
}

// Enter: the focused push button, else the default button, else IDOK.
void PressEnter(HWND dialog) {
    HWND focus = GetFocus();
    WindowSlot* focused = Slot(focus);
    if (IsPushButton(focused) && focused->parent == dialog) {
        SendCommand(dialog, focused->id);
        return;
    }
    LRESULT defId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    if (HiWord(static_cast<std::uintptr_t>(defId)) == DC_HASDEFID) {
        SendCommand(dialog, static_cast<SHORT>(LoWord(static_cast<std::uintptr_t>(defId))));
        return;
    }
    SendCommand(dialog, IDOK);
}

// Alt plus a letter: the control whose text marks that letter, searching
// onwards from the focus as Windows does. A label hands the focus on.
bool PressMnemonic(HWND dialog, char letter) {
    std::vector<HWND> children = Slot(dialog)->children;
    int count = static_cast<int>(children.size());
    int at = IndexOfFocus(children);
    for (int step = 1; step <= count; ++step) {
        int index = (at + step + count) % count;
        WindowSlot* slot = Slot(children[index]);
        if (slot == nullptr || slot->widget == nullptr || (slot->style & WS_DISABLED) ||
            !slot->widget->isVisibleTo(slot->widget->window())) {
            continue;
        }
        if (slot->kind == WindowKind::Static && (slot->style & SS_NOPREFIX)) {
            continue;
        }
        if (MnemonicOf(slot->text) != letter) {
            continue;
        }
        if (slot->kind == WindowKind::Button) {
            SendCommand(dialog, slot->id);
        } else if (slot->kind == WindowKind::Static) {
            for (int next = 1; next < count; ++next) {
                HWND candidate = children[(index + next) % count];
                if (CanTakeFocus(candidate)) {
                    SetFocus(candidate);
                    break;
                }
            }
        } else {
            SetFocus(children[index]);
        }
        return true;
    }
    return false;
}

}  // namespace

namespace {

// Sleep on the windows' thread waits for Qt's events (the display's input,
// its timers) until the time is up: input ends it at once.
void WaitForEvents(std::chrono::steady_clock::time_point until) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (QCoreApplication::instance() == nullptr ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        std::this_thread::sleep_until(until);
        return;
    }
    if (left.count() <= 0) {
        return;
    }
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(left);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace

void EnsureWindowing() {
    static bool ready = false;
    if (ready) {
        return;
    }
    QApplication* application = EnsureQtApplication();
    if (application == nullptr) {
        return;
    }
    application->setQuitOnLastWindowClosed(false);
    application->installEventFilter(new KeyboardFilter());
    SetSleepWaiter(WaitForEvents);
    ready = true;
}

void QueueButtonCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
    QueueInput(MakeMessage(dialog, WM_COMMAND, wParam, lParam), nullptr);
}

void QueueInput(const MSG& msg, QKeyEvent* copy) {
    inputLane.push_back(QueuedMessage{msg, std::shared_ptr<QKeyEvent>(copy)});
}

const QKeyEvent* KeyEventFor(const MSG* msg) {
    if (msg == nullptr) {
        return nullptr;
    }
    for (auto it = takenKeys.rbegin(); it != takenKeys.rend(); ++it) {
        const MSG& m = it->msg;
        if (m.time == msg->time && m.hwnd == msg->hwnd && m.message == msg->message &&
            m.wParam == msg->wParam && m.lParam == msg->lParam) {
            return it->key.get();
        }
    }
    return nullptr;
}

// Hands a key back to the widget it was typed into, past the filter.
void DeliverKey(HWND window, const MSG* msg) {
    WindowSlot* slot = Slot(window);
    const QKeyEvent* original = KeyEventFor(msg);
    if (slot == nullptr || slot->widget == nullptr || original == nullptr) {
        return;
    }
    std::unique_ptr<QEvent> copy(original->clone());
    QPointer<QWidget> widget = slot->widget;
    ++passThrough;
    QCoreApplication::sendEvent(widget, copy.get());
    --passThrough;
}

void NoteFocus(HWND window) {
    focusWindow = window;
}

// The layer moves the focus itself, so Qt never learns the keyboard moved
// it and the style would draw no focus indication: say so to the window.
void ShowFocusIn(QWidget* widget, Qt::FocusReason reason) {
    widget->setFocus(reason);
    widget->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    widget->update();
}

void ForgetWindow(HWND window) {
    if (focusWindow == window) {
        focusWindow = nullptr;
    }
    if (activeDialog == window) {
        activeDialog = nullptr;
    }
}

// Qt activates the new window before it deactivates the old one; Windows
// tells the old one first.
void NoteActivation(QWidget* dialogWidget, bool active) {
    HWND window = HandleOf(dialogWidget);
    if (window == nullptr) {
        return;
    }
    if (active) {
        if (activeDialog == window) {
            return;
        }
        HWND previous = activeDialog;
        activeDialog = window;
        if (previous != nullptr && IsWindow(previous)) {
            SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
        }
        if (IsWindow(window)) {
            SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
        }
    } else if (activeDialog == window) {
        activeDialog = nullptr;
        SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
    }
}

// What Windows does for a key nobody took: Alt+F4 closes the window.
LRESULT DefaultKeyHandling(HWND window, UINT message, WPARAM wParam, const MSG* msg) {
    if (message == WM_SYSKEYDOWN && wParam == VK_F4) {
        if (HWND root = GetAncestor(window, GA_ROOT)) {
            PostMessageA(root, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    }
    DeliverKey(window, msg);
    return 0;
}

// Messages whose result is the procedure's own answer, not DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
    return message == WM_INITDIALOG ||
           (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

thread_local const MSG* dispatching = nullptr;

LRESULT DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowSlot* slot = Slot(dialog);
    if (slot == nullptr) {
        return 0;
    }
    DLGPROC procedure = slot->dialogProc;
    const MSG* current = dispatching;
    dispatching = nullptr;
    INT_PTR answer = procedure ? procedure(dialog, message, wParam, lParam) : 0;
    slot = Slot(dialog);
    if (answer != 0) {
        if (AnswersDirectly(message) || slot == nullptr) {
            return answer;
        }
        return slot->msgResult;
    }
    if (slot == nullptr) {
        return 0;
    }
    switch (message) {
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(slot->font);
        case WM_SETFONT:
            slot->font = reinterpret_cast<HFONT>(wParam);
            if (slot->widget) {
                slot->widget->setFont(FontOf(slot->font));
            }
            return 0;
        case DM_GETDEFID:
            return slot->defaultId >= 0
                       ? static_cast<LRESULT>(static_cast<WORD>(slot->defaultId) |
                                              (static_cast<DWORD>(DC_HASDEFID) << 16))
                       : 0;
        case DM_SETDEFID: {
            slot->defaultId = static_cast<int>(static_cast<WORD>(wParam));
            std::vector<HWND> children = slot->children;
            for (HWND child : children) {
                WindowSlot* control = Slot(child);
                if (IsPushButton(control) && control->widget) {
                    static_cast<QPushButton*>(control->widget.data())
                        ->setDefault(control->id == static_cast<int>(static_cast<WORD>(wParam)));
                }
            }
            return TRUE;
        }
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            return DefaultKeyHandling(dialog, message, wParam, current);
        default:
            return 0;
    }
}

LRESULT ControlProcedure(HWND control, UINT message, WPARAM wParam, LPARAM) {
    WindowSlot* slot = Slot(control);
    const MSG* current = dispatching;
    dispatching = nullptr;
    switch (message) {
        case WM_SETFONT:
            slot->font = reinterpret_cast<HFONT>(wParam);
            if (slot->widget) {
                slot->widget->setFont(FontOf(slot->font));
            }
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(slot->font);
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            return DefaultKeyHandling(control, message, wParam, current);
        default:
            return 0;
    }
}

}  // namespace windowing

using namespace windowing;

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (slot->kind == WindowKind::Dialog) {
        return DialogProcedure(window, message, wParam, lParam);
    }
    return ControlProcedure(window, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    postedLane.push_back(QueuedMessage{MakeMessage(window, message, wParam, lParam), nullptr});
    return TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    EnsureWindowing();
    if (msg == nullptr) {
        return FALSE;
    }
    // Lets Qt turn what is pending into messages; this never waits.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (TakeFrom(postedLane, msg, window, filterMin, filterMax, removeMsg) ||
        TakeFrom(inputLane, msg, window, filterMin, filterMax, removeMsg)) {
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) {
        return FALSE;
    }
    const QKeyEvent* key = KeyEventFor(msg);
    if (key == nullptr) {
        return FALSE;
    }
    // Control characters come from the key code: their text differs by platform.
    unsigned code = 0;
    int qtKey = key->key();
    if ((key->modifiers() & Qt::ControlModifier) && qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        code = static_cast<unsigned>(qtKey - Qt::Key_A + 1);
    } else if (!key->text().isEmpty()) {
        char16_t first = key->text().at(0).unicode();
        code = first < 256 ? first : '?';
    }
    if (code == 0) {
        return FALSE;
    }
    UINT message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    postedLane.push_back(
        QueuedMessage{MakeMessage(msg->hwnd, message, code, msg->lParam), nullptr});
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr || !IsWindow(msg->hwnd)) {
        return 0;
    }
    dispatching = IsKeyMessage(msg->message) ? msg : nullptr;
    LRESULT result = SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    dispatching = nullptr;
    return result;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (msg == nullptr || !IsWindow(dialog) || msg->hwnd == nullptr) {
        return FALSE;
    }
    if (msg->hwnd != dialog && GetAncestor(msg->hwnd, GA_ROOT) != dialog) {
        return FALSE;
    }
    bool ctrl = HasModifier(msg, Qt::ControlModifier);
    if (msg->message == WM_KEYDOWN && !ctrl) {
        switch (msg->wParam) {
            case VK_TAB:
                MoveTabFocus(dialog, HasModifier(msg, Qt::ShiftModifier));
                return TRUE;
            case VK_RETURN:
                PressEnter(dialog);
                return TRUE;
            case VK_ESCAPE:
                SendCommand(dialog, IDCANCEL);
                return TRUE;
            default:
                break;
        }
    }
    if (msg->message == WM_SYSKEYDOWN && !ctrl) {
        WPARAM key = msg->wParam;
        bool letterOrDigit = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
        if (letterOrDigit && PressMnemonic(dialog, static_cast<char>(key))) {
            return TRUE;
        }
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

HWND WINAPI SetFocus(HWND window) {
    EnsureWindowing();
    HWND previous = GetFocus();
    if (window == nullptr) {
        // Nothing of this thread keeps the focus.
        if (QWidget* focused = QApplication::focusWidget(); focused && HandleOf(focused)) {
            focused->clearFocus();
        }
        if (WindowSlot* slot = Slot(previous); slot && slot->widget) {
            slot->widget->clearFocus();
        }
        if (WindowSlot* top = Slot(GetAncestor(previous, GA_ROOT))) {
            top->pendingFocus = nullptr;
        }
        NoteFocus(nullptr);
        return previous;
    }
    WindowSlot* slot = Slot(window);
    if (slot == nullptr || slot->widget == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    QWidget* widget = slot->widget;
    ShowFocusIn(widget, Qt::OtherFocusReason);
    if (!widget->window()->isVisible()) {
        if (WindowSlot* top = Slot(HandleOf(widget->window()))) {
            top->pendingFocus = window;  // applied when the dialog is shown
        }
    }
    NoteFocus(window);
    return previous;
}

HWND WINAPI GetFocus() {
    return IsWindow(focusWindow) ? focusWindow : nullptr;
}

bool MessageQueueIsEmpty() {
    return postedLane.empty() && inputLane.empty();
}

bool PumpOneMessage() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (root == nullptr || !IsDialogMessageA(root, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}
