// Dialogs and controls as Qt widgets behind small-number handles.
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringDecoder>
#include <QWindow>
#include <cmath>
#include <cstring>

#include "platform/qt/qt_application.h"
#include "platform/qt/window_table.h"

namespace windowing {
namespace {

constexpr char kHandleProperty[] = "win32.hwnd";
constexpr std::uint16_t kMaxGeneration = 0x7FFF;  // keeps handles positive in 32 bits

std::vector<WindowSlot>& Table() {
    static std::vector<WindowSlot> table(1);  // index 0 is never a window
    return table;
}

std::vector<QFont>& Fonts() {
    static std::vector<QFont> fonts;
    return fonts;
}

std::uint32_t HandleValue(HWND window) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}

HWND MakeHandle(std::uint32_t index, std::uint16_t generation) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(generation) << 16 | index);
}

int MulDiv(int number, int numerator, int denominator) {
    long long product = static_cast<long long>(number) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

// Valid UTF-8 is shown as such; anything else byte for byte as Latin-1.
QString DecodeText(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) {
        return text;
    }
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A label shows "&x" as x and "&&" as "&".
QString WithoutMnemonics(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
        }
        shown += text[i];
    }
    return shown;
}

QString CurrentWidgetText(const WindowSlot& slot) {
    QWidget* widget = slot.widget;
    if (widget == nullptr) {
        return {};
    }
    switch (slot.kind) {
        case WindowKind::Dialog:
            return widget->windowTitle();
        case WindowKind::Button:
            return static_cast<QPushButton*>(widget)->text();
        case WindowKind::Static:
            return static_cast<QLabel*>(widget)->text();
        case WindowKind::Edit:
            return static_cast<QLineEdit*>(widget)->text();
    }
    return {};
}

void ShowText(WindowSlot& slot, const std::string& bytes) {
    QString text = DecodeText(bytes);
    QWidget* widget = slot.widget;
    switch (slot.kind) {
        case WindowKind::Dialog:
            widget->setWindowTitle(text);
            break;
        case WindowKind::Button: {
            auto* button = static_cast<QPushButton*>(widget);
            button->setText(text);
            // Mnemonics belong to the dialog keyboard handling, not to Qt.
            button->setShortcut(QKeySequence());
            break;
        }
        case WindowKind::Static:
            static_cast<QLabel*>(widget)->setText(
                (slot.style & SS_NOPREFIX) ? text : WithoutMnemonics(text));
            break;
        case WindowKind::Edit:
            static_cast<QLineEdit*>(widget)->setText(text);
            break;
    }
    slot.text = bytes;
    slot.shownText = CurrentWidgetText(slot);
}

// The dialog window: a plain widget, so that no default button or Escape
// handling of Qt's own dialogs gets in the way.
class DialogWidget : public QWidget {
  public:
    DialogWidget() : QWidget(nullptr, Qt::Dialog) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (HWND self = HandleOf(this)) {
            PostMessageA(self, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    }
    bool focusNextPrevChild(bool) override { return true; }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::WindowActivate) {
            NoteActivation(this, true);
        } else if (event->type() == QEvent::WindowDeactivate) {
            NoteActivation(this, false);
        }
        return QWidget::event(event);
    }
};

Qt::WindowFlags FlagsForStyle(DWORD style) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        flags |= Qt::WindowTitleHint;
    } else {
        flags |= Qt::FramelessWindowHint;
    }
    if (style & WS_SYSMENU) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (style & WS_MINIMIZEBOX) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if ((style & WS_MAXIMIZEBOX) && !(style & WS_CHILD)) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    return flags;
}

// Reads the 16-bit text of a template, narrowing each character to its low byte.
const WORD* ReadTemplateText(const WORD* at, std::string* text) {
    while (*at != 0) {
        if (text) {
            text->push_back(static_cast<char>(*at & 0xFF));
        }
        ++at;
    }
    return at + 1;
}

const WORD* SkipTemplateNameOrOrdinal(const WORD* at) {
    if (*at == 0) {
        return at + 1;
    }
    if (*at == 0xFFFF) {
        return at + 2;
    }
    return ReadTemplateText(at, nullptr);
}

}  // namespace

WindowSlot* Slot(HWND window) {
    std::uint32_t value = HandleValue(window);
    std::uint32_t index = value & 0xFFFF;
    auto& table = Table();
    if (index == 0 || index >= table.size() || (value >> 16) != table[index].generation ||
        !table[index].live) {
        return nullptr;
    }
    return &table[index];
}

HWND NewSlot(WindowKind kind, QWidget* widget) {
    auto& table = Table();
    std::uint32_t index = 1;
    while (index < table.size() &&
           (table[index].live || table[index].generation >= kMaxGeneration)) {
        ++index;
    }
    if (index > 0xFFFF) {
        return nullptr;
    }
    if (index == table.size()) {
        table.emplace_back();
    }
    WindowSlot fresh;
    fresh.generation = static_cast<std::uint16_t>(table[index].generation + 1);
    fresh.live = true;
    fresh.kind = kind;
    fresh.widget = widget;
    table[index] = std::move(fresh);
    HWND handle = MakeHandle(index, table[index].generation);
    widget->setProperty(kHandleProperty, HandleValue(handle));
    return handle;
}

void RetireSlot(HWND window) {
    if (WindowSlot* slot = Slot(window)) {
        if (slot->widget) {
            slot->widget->setProperty(kHandleProperty, QVariant());
        }
        std::uint16_t generation = slot->generation;
        *slot = WindowSlot();
        slot->generation = generation;  // the next window here gets a new one
    }
}

HWND HandleOf(const QWidget* widget) {
    for (const QWidget* at = widget; at != nullptr; at = at->parentWidget()) {
        QVariant value = at->property(kHandleProperty);
        if (value.isValid()) {
            HWND handle = MakeHandle(value.toUInt() & 0xFFFF, value.toUInt() >> 16);
            return Slot(handle) ? handle : nullptr;
        }
        if (at->isWindow()) {
            break;  // never take a box parented to a dialog for the dialog
        }
    }
    return nullptr;
}

HFONT RegisterFont(const QFont& font) {
    auto& fonts = Fonts();
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        if (fonts[i] == font) {
            return reinterpret_cast<HFONT>(i + 1);
        }
    }
    fonts.push_back(font);
    return reinterpret_cast<HFONT>(fonts.size());
}

QFont FontOf(HFONT font) {
    auto index = reinterpret_cast<std::uintptr_t>(font);
    auto& fonts = Fonts();
    if (index == 0 || index > fonts.size()) {
        return QApplication::font();
    }
    return fonts[index - 1];
}

std::string WindowTextBytes(HWND window) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr) {
        return {};
    }
    QString current = CurrentWidgetText(*slot);
    if (current == slot->shownText) {
        return slot->text;  // unchanged since set: the very bytes, whatever their encoding
    }
    return current.toUtf8().toStdString();
}

// The dialog font: "MS Sans Serif" is not on this system and fontconfig would
// give a much wider face; Liberation Sans has its proportions.
QFont DialogFont(const std::string& face, int pointSize) {
    static bool substituted = false;
    if (!substituted) {
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"),
                                  QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("MS Shell Dlg"),
                                  QStringLiteral("Liberation Sans"));
        substituted = true;
    }
    QFont font(QString::fromLatin1(face.data(), static_cast<qsizetype>(face.size())));
    font.setPointSize(pointSize > 0 ? pointSize : 8);
    return font;
}

// Base units by the Windows rule: the average width of the 52 letters, and
// the character height with ascent and descent each rounded up.
void DialogBaseUnits(const QFont& font, int* unitX, int* unitY) {
    QFontMetrics metrics(font);
    int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    *unitX = (width / 26 + 1) / 2;
    QFontMetricsF exact(font);
    *unitY = static_cast<int>(std::ceil(exact.ascent()) + std::ceil(exact.descent()));
}

}  // namespace windowing

using namespace windowing;

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE, LPCDLGTEMPLATEA dialogTemplate, HWND owner,
                                       DLGPROC dialogProc, LPARAM initParam) {
    EnsureWindowing();
    if (dialogTemplate == nullptr ||
        (dialogTemplate->style == 0xFFFF0001u)) {  // extended templates are not used here
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DLGTEMPLATE header;
    std::memcpy(&header, dialogTemplate, sizeof header);
    const WORD* at = reinterpret_cast<const WORD*>(reinterpret_cast<const char*>(dialogTemplate) +
                                                   sizeof(DLGTEMPLATE));
    at = SkipTemplateNameOrOrdinal(at);  // menu
    at = SkipTemplateNameOrOrdinal(at);  // class
    std::string caption;
    at = ReadTemplateText(at, &caption);
    int pointSize = 8;
    std::string face = "MS Sans Serif";
    if (header.style & DS_SETFONT) {
        pointSize = *at++;
        face.clear();
        ReadTemplateText(at, &face);
    }
    if (owner != nullptr && Slot(owner) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }

    auto* widget = new DialogWidget();
    widget->setWindowFlags(FlagsForStyle(header.style));
    widget->setAttribute(Qt::WA_DeleteOnClose, false);
    HWND dialog = NewSlot(WindowKind::Dialog, widget);
    if (dialog == nullptr) {
        delete widget;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    WindowSlot* slot = Slot(dialog);
    slot->parent = owner;
    slot->style = header.style & ~WS_VISIBLE;
    slot->exStyle = header.dwExtendedStyle;
    slot->dialogProc = dialogProc;
    QFont font = DialogFont(face, pointSize);
    slot->font = RegisterFont(font);
    DialogBaseUnits(font, &slot->baseUnitX, &slot->baseUnitY);
    widget->setFont(font);

    RECT client{0, 0, header.cx, header.cy};
    MapDialogRect(dialog, &client);
    if (header.style & WS_THICKFRAME) {
        widget->resize(client.right, client.bottom);
    } else {
        widget->setFixedSize(client.right, client.bottom);
    }
    ShowText(*slot, caption);
    if (header.style & DS_CENTER) {
        QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        widget->move(area.center() - QPoint(client.right / 2, client.bottom / 2));
    } else {
        RECT origin{header.x, header.y, 0, 0};
        MapDialogRect(dialog, &origin);
        QPoint base;
        if (WindowSlot* ownerSlot = Slot(owner); ownerSlot && ownerSlot->widget) {
            base = ownerSlot->widget->mapToGlobal(QPoint(0, 0));
        }
        widget->move(base + QPoint(origin.left, origin.top));
    }
    if (WindowSlot* ownerSlot = Slot(owner); ownerSlot && ownerSlot->widget) {
        widget->winId();
        widget->windowHandle()->setTransientParent(ownerSlot->widget->window()->windowHandle());
    }
    if (header.style & WS_DISABLED) {
        widget->setEnabled(false);
    }

    SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(slot->font), 0);
    SendMessageA(dialog, WM_INITDIALOG, 0, initParam);
    if (IsWindow(dialog) && (header.style & WS_VISIBLE)) {
        ShowWindow(dialog, SW_SHOW);
    }
    return IsWindow(dialog) ? dialog : nullptr;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu, HINSTANCE,
                            LPVOID) {
    EnsureWindowing();
    WindowSlot* parentSlot = Slot(parent);
    if (parentSlot == nullptr || parentSlot->widget == nullptr || !(style & WS_CHILD)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);  // only child controls are made here
        return nullptr;
    }
    std::string name = className ? className : "";
    for (char& c : name) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    QWidget* parentWidget = parentSlot->widget;
    QWidget* widget = nullptr;
    WindowKind kind;
    if (name == "BUTTON") {
        kind = WindowKind::Button;
        auto* button = new QPushButton(parentWidget);
        button->setAutoDefault(false);
        button->setDefault((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
        widget = button;
    } else if (name == "STATIC") {
        kind = WindowKind::Static;
        auto* label = new QLabel(parentWidget);
        label->setTextFormat(Qt::PlainText);
        Qt::Alignment align = Qt::AlignLeft;
        if ((style & 0x3) == SS_CENTER) {
            align = Qt::AlignHCenter;
        } else if ((style & 0x3) == SS_RIGHT) {
            align = Qt::AlignRight;
        }
        label->setAlignment(align | Qt::AlignTop);
        label->setWordWrap(true);
        widget = label;
    } else if (name == "EDIT") {
        kind = WindowKind::Edit;
        auto* edit = new QLineEdit(parentWidget);
        edit->setFrame((style & WS_BORDER) || (exStyle & WS_EX_CLIENTEDGE));
        if (style & ES_PASSWORD) {
            edit->setEchoMode(QLineEdit::Password);
        }
        edit->setReadOnly(style & ES_READONLY);
        if (style & ES_CENTER) {
            edit->setAlignment(Qt::AlignHCenter);
        } else if (style & ES_RIGHT) {
            edit->setAlignment(Qt::AlignRight);
        }
        widget = edit;
    } else {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    HWND control = NewSlot(kind, widget);
    if (control == nullptr) {
        delete widget;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    parentSlot = Slot(parent);  // the table may have grown
    parentSlot->children.push_back(control);
    WindowSlot* slot = Slot(control);
    slot->parent = parent;
    slot->style = style;
    slot->exStyle = exStyle;
    slot->id = static_cast<int>(reinterpret_cast<std::intptr_t>(menu));
    if (kind == WindowKind::Static) {
        widget->setFocusPolicy(Qt::NoFocus);
    } else {
        widget->setFocusPolicy((style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    }
    if (kind == WindowKind::Button) {
        QObject::connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, [control]() {
            if (WindowSlot* clicked = Slot(control)) {
                QueueButtonCommand(clicked->parent,
                                   static_cast<WPARAM>(static_cast<WORD>(clicked->id)) |
                                       (static_cast<WPARAM>(BN_CLICKED) << 16),
                                   reinterpret_cast<LPARAM>(control));
            }
        });
    }
    ShowText(*slot, windowName ? windowName : "");
    widget->setGeometry(x, y, width, height);
    widget->setEnabled(!(style & WS_DISABLED));
    widget->setVisible(style & WS_VISIBLE);
    return control;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    WindowSlot* slot = Slot(dialog);
    if (slot == nullptr || rect == nullptr || slot->baseUnitX == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    rect->left = MulDiv(rect->left, slot->baseUnitX, 4);
    rect->right = MulDiv(rect->right, slot->baseUnitX, 4);
    rect->top = MulDiv(rect->top, slot->baseUnitY, 8);
    rect->bottom = MulDiv(rect->bottom, slot->baseUnitY, 8);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    WindowSlot* slot = Slot(dialog);
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : slot->children) {
        if (WindowSlot* control = Slot(child); control && control->id == id) {
            return child;
        }
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int WINAPI GetWindowTextLengthA(HWND window) {
    if (Slot(window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(WindowTextBytes(window).size());
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int maxCount) {
    if (Slot(window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        if (buffer && maxCount > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    std::string text = WindowTextBytes(window);
    int count = std::min(static_cast<int>(text.size()), maxCount - 1);
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(count));
    buffer[count] = '\0';
    return count;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr || slot->widget == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    ShowText(*slot, text ? text : "");
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr || slot->widget == nullptr || rect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{0, 0, slot->widget->width(), slot->widget->height()};
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr || slot->widget == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    QWidget* widget = slot->widget;
    BOOL wasVisible = widget->isVisible() ? TRUE : FALSE;
    switch (showCommand) {
        case SW_HIDE:
            widget->hide();
            slot->style &= ~WS_VISIBLE;
            return wasVisible;
        case SW_MAXIMIZE:
            widget->showMaximized();
            break;
        case SW_MINIMIZE:
            widget->showMinimized();
            break;
        default:
            widget->show();
            break;
    }
    slot->style |= WS_VISIBLE;
    if (widget->isWindow() && showCommand != SW_MINIMIZE) {
        if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
            widget->raise();  // the headless platform has no stacking to change
        }
        widget->activateWindow();
        if (HWND focus = slot->pendingFocus; focus && IsWindow(focus)) {
            slot->pendingFocus = nullptr;
            SetFocus(focus);
        }
    }
    return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND window) {
    WindowSlot* slot = Slot(window);
    return slot && slot->widget && slot->widget->isVisible() ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr || slot->widget == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasDisabled = (slot->style & WS_DISABLED) ? TRUE : FALSE;
    if (enable) {
        slot->style &= ~WS_DISABLED;
    } else {
        slot->style |= WS_DISABLED;
    }
    slot->widget->setEnabled(enable != FALSE);
    return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND window) {
    WindowSlot* slot = Slot(window);
    return slot && !(slot->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND window) {
    return Slot(window) != nullptr ? TRUE : FALSE;
}

HWND WINAPI GetAncestor(HWND window, UINT flags) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr) {
        return nullptr;
    }
    if (slot->kind == WindowKind::Dialog) {
        return flags == GA_PARENT ? nullptr : window;
    }
    if (flags == GA_PARENT) {
        return slot->parent;
    }
    HWND root = window;
    while (WindowSlot* at = Slot(root)) {
        if (at->kind == WindowKind::Dialog) {
            break;
        }
        root = at->parent;
    }
    return root;
}

BOOL WINAPI DestroyWindow(HWND window) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (slot->destroying) {
        return TRUE;
    }
    slot->destroying = true;
    SendMessageA(window, WM_DESTROY, 0, 0);
    std::vector<HWND> children = Slot(window) ? Slot(window)->children : std::vector<HWND>();
    for (HWND child : children) {
        if (IsWindow(child)) {
            SendMessageA(child, WM_DESTROY, 0, 0);
        }
    }
    for (HWND child : children) {
        if (IsWindow(child)) {
            SendMessageA(child, WM_NCDESTROY, 0, 0);
            ForgetWindow(child);
            RetireSlot(child);
        }
    }
    SendMessageA(window, WM_NCDESTROY, 0, 0);
    slot = Slot(window);
    if (slot == nullptr) {
        return TRUE;
    }
    if (WindowSlot* parent = Slot(slot->parent); parent && slot->kind != WindowKind::Dialog) {
        std::erase(parent->children, window);
    }
    // The widget may be running its own event handler: it goes at the next pump.
    bool topLevel = slot->kind == WindowKind::Dialog;
    if (QWidget* widget = slot->widget) {
        widget->hide();
        widget->deleteLater();
    }
    ForgetWindow(window);
    RetireSlot(window);
    if (topLevel) {
        // A loop that polls for the window's end gets a message to look at.
        PostMessageA(nullptr, WM_NULL, 0, 0);
    }
    return TRUE;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
        case GWL_STYLE:
            return static_cast<LONG_PTR>(slot->style);
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(slot->exStyle);
        case GWLP_ID:
            return slot->id;
        case GWLP_USERDATA:
            return slot->userData;
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>(slot->parent);
        case DWLP_MSGRESULT:
            if (slot->kind == WindowKind::Dialog) {
                return slot->msgResult;
            }
            break;
        case DWLP_USER:
            if (slot->kind == WindowKind::Dialog) {
                return slot->user;
            }
            break;
        default:
            break;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR newLong) {
    WindowSlot* slot = Slot(window);
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = GetWindowLongPtrA(window, index);
    switch (index) {
        case GWL_STYLE:
            slot->style = static_cast<DWORD>(newLong);
            break;
        case GWL_EXSTYLE:
            slot->exStyle = static_cast<DWORD>(newLong);
            break;
        case GWLP_ID:
            slot->id = static_cast<int>(newLong);
            break;
        case GWLP_USERDATA:
            slot->userData = newLong;
            break;
        case GWLP_HWNDPARENT:
            slot->parent = reinterpret_cast<HWND>(newLong);
            break;
        case DWLP_MSGRESULT:
            slot->msgResult = newLong;
            break;
        case DWLP_USER:
            slot->user = newLong;
            break;
        default:
            return 0;
    }
    return old;
}

// The 32-bit forms keep the low half, as on 64-bit Windows.
LONG WINAPI GetWindowLongA(HWND window, int index) {
    return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG newLong) {
    return static_cast<LONG>(SetWindowLongPtrA(window, index, newLong));
}
