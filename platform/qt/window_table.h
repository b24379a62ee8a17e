// Inside the window layer: the table of windows behind the handles, the
// widgets that show them, and the plumbing between Qt events and messages.
#pragma once

#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/win32_window.h"

class QKeyEvent;

namespace windowing {

enum class WindowKind { Dialog, Button, Static, Edit };

struct WindowSlot {
    std::uint16_t generation = 0;
    bool live = false;
    bool destroying = false;
    WindowKind kind = WindowKind::Dialog;
    QPointer<QWidget> widget;
    HWND parent = nullptr;  // a control's dialog, or a dialog's owner
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    DLGPROC dialogProc = nullptr;
    LONG_PTR msgResult = 0;
    LONG_PTR user = 0;
    LONG_PTR userData = 0;
    HFONT font = nullptr;
    int baseUnitX = 0;
    int baseUnitY = 0;
    int defaultId = -1;           // DM_SETDEFID's id; -1 for none
    std::vector<HWND> children;   // a dialog's controls, in creation order
    HWND pendingFocus = nullptr;  // focus asked for while the dialog was hidden
    std::string text;             // the bytes last set as the window text
    QString shownText;            // how the widget showed those bytes
};

// Makes sure the application and the keyboard filter exist.
void EnsureWindowing();

// The live window behind a handle, or nullptr.
WindowSlot* Slot(HWND window);
HWND NewSlot(WindowKind kind, QWidget* widget);
void RetireSlot(HWND window);

// The handle of the window a widget belongs to (walking up to its top level).
HWND HandleOf(const QWidget* widget);

HFONT RegisterFont(const QFont& font);
QFont FontOf(HFONT font);

// The exact bytes of a window's text (see SetWindowTextA).
std::string WindowTextBytes(HWND window);

// The dialog's procedure and default handling, and a control's.
LRESULT DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ControlProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

// Input: queued keys keep a copy of their Qt event, handed back on dispatch.
void QueueInput(const MSG& msg, QKeyEvent* copy);
// A button's command joins the input lane: it stands for the mouse input that
// made it, so it never overtakes keys typed before the click.
void QueueButtonCommand(HWND dialog, WPARAM wParam, LPARAM lParam);
const QKeyEvent* KeyEventFor(const MSG* msg);
void DeliverKey(HWND window, const MSG* msg);

// Keyboard focus as the thread sees it.
void NoteFocus(HWND window);
// Gives a widget the focus and has its style show it, as after a key.
void ShowFocusIn(QWidget* widget, Qt::FocusReason reason);
void ForgetWindow(HWND window);

// Activation, turned into WM_ACTIVATE in the order Windows sends it.
void NoteActivation(QWidget* dialogWidget, bool active);

}  // namespace windowing
