#include "runtime/dialog_framework.h"

#include <cstring>
#include <new>

#include "platform/win32.h"
#include "runtime/floating_point.h"
#include "runtime/spin_lock.h"
#include "runtime/thread_state.h"

namespace {

constexpr std::uint32_t kDialogFlags = 0x4001;
constexpr std::uint32_t kModalFlag = 0x0800;
constexpr std::uint32_t kControlFlags = 0x2000;
constexpr std::int32_t kNoColour = -3;
constexpr std::int32_t kLongestCaption = 256;

constexpr std::uint32_t kDefaultDialogStyle = 0x80C000D4;
constexpr std::uint32_t kAlwaysAddedStyle = DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK;
constexpr std::uint32_t kAlwaysRemovedStyle = WS_VISIBLE | DS_SYSMODAL;

struct WindowRecord {
    WindowRecord* next = nullptr;
    HWND window = nullptr;
    HWND parent = nullptr;
    std::uint32_t flags = 0;
    std::int32_t showCommand = SW_SHOW;
    HFONT font = nullptr;
    DialogCallback callback = nullptr;
    std::int32_t* resultVariable = nullptr;
    std::int32_t textColour = kNoColour;
    std::int32_t backgroundColour = kNoColour;
    std::int32_t kind = 0;
    std::uint32_t style = 0;
};

struct ControlKind {
    std::int32_t kind;
    const char* windowClass;
    std::uint32_t defaultStyle;
    std::uint32_t alwaysSet;
    std::uint32_t alwaysCleared;
};

constexpr ControlKind kControlKinds[] = {
    {kPushButtonKind, "BUTTON", 0x50010000, 0x50000000, 0},
    {kLabelKind, "STATIC", 0x50000000, 0x50000000, 0},
    {kTextBoxKind, "EDIT", 0x50810080, 0x50000000, 0},
};

SpinLock recordLock;
WindowRecord* recordList = nullptr;

WindowRecord* FindRecord(HWND window) {
    SpinLockHolder hold(recordLock);
    for (WindowRecord* at = recordList; at != nullptr; at = at->next) {
        if (at->window == window) {
            return at;
        }
    }
    return nullptr;
}

// Newest first; refused when the window already has a record.
bool InsertRecord(WindowRecord* record) {
    SpinLockHolder hold(recordLock);
    for (WindowRecord* at = recordList; at != nullptr; at = at->next) {
        if (at->window == record->window) {
            return false;
        }
    }
    record->next = recordList;
    recordList = record;
    return true;
}

// Unlinks the dialog's control records, then the dialog's own.
void ReleaseRecords(HWND dialog) {
    WindowRecord* released = nullptr;
    {
        SpinLockHolder hold(recordLock);
        for (int pass = 0; pass < 2; ++pass) {
            WindowRecord** link = &recordList;
            while (*link != nullptr) {
                WindowRecord* at = *link;
                bool control = (at->flags & kControlFlags) && at->parent == dialog;
                bool own = at->window == dialog;
                if ((pass == 0 && control) || (pass == 1 && own)) {
                    *link = at->next;
                    at->next = released;
                    released = at;
                } else {
                    link = &at->next;
                }
            }
        }
    }
    while (released != nullptr) {
        WindowRecord* next = released->next;
        delete released;
        released = next;
    }
}

std::int32_t ShowCommandFor(std::uint32_t style) {
    if (style & WS_MAXIMIZE) {
        return SW_MAXIMIZE;
    }
    if (style & WS_MINIMIZE) {
        return SW_MINIMIZE;
    }
    return SW_SHOW;
}

const ControlKind* FindKind(std::int32_t kind) {
    for (const ControlKind& entry : kControlKinds) {
        if (entry.kind == kind) {
            return &entry;
        }
    }
    return nullptr;
}

HWND OwnerOf(HWND dialog) {
    return reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, GWLP_HWNDPARENT));
}

INT_PTR CALLBACK FrameworkDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    // Activation stays with the framework: no focus restoring, no callback.
    if (message == WM_ACTIVATE && LoWord(wParam) <= WA_CLICKACTIVE) {
        return 1;
    }
    std::int32_t answer = 0;
    if (WindowRecord* record = FindRecord(dialog); record && record->callback) {
        answer = record->callback(dialog, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ReleaseRecords(dialog);
    }
    if (answer != 0) {
        if (GetWindowLongPtrA(dialog, DWLP_MSGRESULT) == 0) {
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, answer);
        }
        return answer;
    }
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        return 0;  // no window of this program has colours of its own
    }
    if (message == WM_SYSCOMMAND && LoWord(wParam) == SC_CLOSE) {
        FinishDialog(dialog, 0);
        return 1;
    }
    return 0;
}

class TemplateWriter {
  public:
    explicit TemplateWriter(DialogTemplateSpace& space) : space_(space) {}
    bool Room(std::int32_t bytes) const { return used_ + bytes <= DialogTemplateSpace::kSize; }
    void Word(std::uint16_t value) {
        std::memcpy(space_.bytes + used_, &value, sizeof value);
        used_ += 2;
    }
    void DoubleWord(std::uint32_t value) {
        std::memcpy(space_.bytes + used_, &value, sizeof value);
        used_ += 4;
    }
    // Each byte becomes the 16-bit character of the same value; a text that
    // would not fit is cut so that its ending zero still does.
    void WideText(const char* text, std::int32_t length) {
        for (std::int32_t i = 0; i < length && Room(4); ++i) {
            Word(static_cast<unsigned char>(text[i]));
        }
        Word(0);
    }
    std::int32_t Used() const { return used_; }

  private:
    DialogTemplateSpace& space_;
    std::int32_t used_ = 0;
};

}  // namespace

std::uint32_t DialogCreationStyle(std::uint32_t style, std::int32_t x, std::int32_t y) {
    std::uint32_t result = style == 0 ? kDefaultDialogStyle : style;
    result = (result | kAlwaysAddedStyle) & ~kAlwaysRemovedStyle;
    if (x == -1 || y == -1) {
        result |= DS_CENTER;
    }
    return result;
}

std::int32_t AssembleDialogTemplate(DialogTemplateSpace& space, std::uint32_t style,
                                    std::uint32_t extendedStyle, std::int32_t x, std::int32_t y,
                                    std::int32_t width, std::int32_t height,
                                    const DynamicString& caption, const char* fontFace,
                                    std::uint16_t fontPointSize) {
    std::memset(space.bytes, 0, sizeof space.bytes);
    TemplateWriter out(space);
    out.DoubleWord(style);
    out.DoubleWord(extendedStyle);
    out.Word(0);  // no controls: they are made one by one
    out.Word(static_cast<std::uint16_t>(x));
    out.Word(static_cast<std::uint16_t>(y));
    out.Word(static_cast<std::uint16_t>(width));
    out.Word(static_cast<std::uint16_t>(height));
    out.Word(0);  // no menu
    out.Word(0);  // the platform's dialog class

    std::string_view text = caption.View();
    text = text.substr(0, text.find('\0'));
    if (text.size() > static_cast<std::size_t>(kLongestCaption)) {
        text = text.substr(0, kLongestCaption);
    }
    if (text.empty()) {
        text = " ";
    }
    out.WideText(text.data(), static_cast<std::int32_t>(text.size()));
    out.Word(fontPointSize);
    const char* face = fontFace ? fontFace : "";
    out.WideText(face, static_cast<std::int32_t>(std::strlen(face)));
    return out.Used();
}

HWND BuildDialog(HWND owner, const DynamicString& caption, std::int32_t x, std::int32_t y,
                 std::int32_t width, std::int32_t height, std::uint32_t style,
                 std::uint32_t extendedStyle) {
    DialogTemplateSpace space;
    AssembleDialogTemplate(space, DialogCreationStyle(style, x, y), extendedStyle, x, y, width,
                           height, caption, DialogFontFace(), DialogFontPointSize());
    HWND dialog = CreateDialogIndirectParamA(
        nullptr, reinterpret_cast<const DLGTEMPLATE*>(space.bytes), owner, FrameworkDialogProc, 0);
    SetFloatingPointSettings();
    if (dialog == nullptr) {
        return nullptr;
    }
    auto* record = new (std::nothrow) WindowRecord;
    if (record == nullptr) {
        return nullptr;
    }
    record->window = dialog;
    record->parent = owner;
    record->flags = kDialogFlags;
    record->showCommand = ShowCommandFor(style);
    record->style = style;
    record->font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (!InsertRecord(record)) {
        delete record;
        return nullptr;
    }
    return dialog;
}

HWND AddControl(HWND dialog, std::int32_t kind, std::int32_t id, const DynamicString& text,
                std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                std::uint32_t style, std::uint32_t extendedStyle) {
    // Corners converted, not the size: rounding must not differ between neighbours.
    RECT area{x, y, x + width, y + height};
    MapDialogRect(dialog, &area);

    const ControlKind* entry = FindKind(kind);
    if (entry != nullptr) {
        if (style == 0) {
            style = entry->defaultStyle;
            if (kind == kTextBoxKind && (style & WS_BORDER)) {
                style &= ~WS_BORDER;
                extendedStyle |= WS_EX_CLIENTEDGE;
            }
        }
        style = (style | entry->alwaysSet) & ~entry->alwaysCleared;
    }
    CallText windowText(text);
    HWND control =
        CreateWindowExA(extendedStyle, entry ? entry->windowClass : nullptr, windowText, style,
                        area.left, area.top, area.right - area.left, area.bottom - area.top, dialog,
                        reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
    SetFloatingPointSettings();

    WindowRecord* dialogRecord = FindRecord(dialog);
    HFONT font = dialogRecord ? dialogRecord->font : nullptr;
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    if (control != nullptr) {
        if (auto* record = new (std::nothrow) WindowRecord) {
            record->window = control;
            record->parent = dialog;
            record->flags = kControlFlags;
            record->kind = kind;
            if (!InsertRecord(record)) {
                delete record;
            }
        }
    }
    if (kind == kPushButtonKind && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
        SendMessageA(dialog, DM_SETDEFID, static_cast<WPARAM>(static_cast<std::uint32_t>(id)), 0);
    }
    return control;
}

void RunDialogModal(HWND dialog, DialogCallback callback, std::int32_t* resultVariable) {
    if (callback != nullptr) {
        callback(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0);
        RECT client{};
        GetClientRect(dialog, &client);
        WPARAM sizeKind = SIZE_RESTORED;
        if (WindowRecord* record = FindRecord(dialog)) {
            if (record->showCommand == SW_MAXIMIZE) {
                sizeKind = SIZE_MAXIMIZED;
            } else if (record->showCommand == SW_MINIMIZE) {
                sizeKind = SIZE_MINIMIZED;
            }
        }
        LPARAM size =
            static_cast<LPARAM>((static_cast<std::uint32_t>(client.right) & 0xFFFF) |
                                (static_cast<std::uint32_t>(client.bottom) & 0xFFFF) << 16);
        callback(dialog, WM_SIZE, sizeKind, size);
    }
    WindowRecord* record = FindRecord(dialog);
    if (record == nullptr) {
        return;
    }
    record->callback = callback;
    record->flags |= kModalFlag;
    record->resultVariable = resultVariable;

    HWND owner = OwnerOf(dialog);
    if (owner != nullptr) {
        SendMessageA(owner, WM_CANCELMODE, 0, 0);
        EnableWindow(owner, FALSE);
    }
    ShowWindow(dialog, record->showCommand);

    MSG msg;
    for (;;) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(1);
            continue;
        }
        if (!IsWindow(dialog)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            break;
        }
        // A message the dialog handling took is done with: it is never
        // dispatched a second time, even when it ended the dialog.
        if (IsDialogMessageA(dialog, &msg)) {
            if (IsWindow(dialog)) {
                continue;
            }
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (!IsWindow(dialog)) {
            break;
        }
    }
    if (owner != nullptr) {
        SetFocus(owner);
    }
}

void FinishDialog(HWND dialog, std::int32_t endValue) {
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    HWND owner = OwnerOf(dialog);
    BOOL ownerWasDisabled = FALSE;
    if (owner != nullptr) {
        ownerWasDisabled = EnableWindow(owner, TRUE);
    }
    if (WindowRecord* record = FindRecord(dialog); record && record->resultVariable) {
        *record->resultVariable = endValue;
    }
    if (!DestroyWindow(dialog) && owner != nullptr && ownerWasDisabled) {
        EnableWindow(owner, FALSE);
    }
}

DynamicString GetControlText(HWND dialog, std::int32_t id) {
    HWND control = GetDlgItem(dialog, id);
    std::int32_t length = GetWindowTextLengthA(control);
    if (length <= 0) {
        return DynamicString();
    }
    DynamicString buffer = DynamicString::OfLength(static_cast<std::int64_t>(length) + 1);
    if (buffer.IsEmpty()) {
        return DynamicString();
    }
    int copied = GetWindowTextA(control, buffer.MutableData(), length + 1);
    return DynamicString(buffer.Data(), copied);
}

void SetControlText(HWND dialog, std::int32_t id, const DynamicString& text) {
    HWND control = GetDlgItem(dialog, id);
    CallText value(text);
    SetWindowTextA(control, value.Get() ? value.Get() : "");
}

void FocusControl(HWND dialog, std::int32_t id) {
    SetFocus(GetDlgItem(dialog, id));
}
