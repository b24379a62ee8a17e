// The dialog framework: dialogs described in a few calls, geometry in dialog
// units, run modally with one callback that sees the dialog's messages.
#pragma once

#include <cstdint>

#include "platform/win32_base.h"
#include "runtime/dynamic_string.h"

// Answers not 0 for a message it handled.
using DialogCallback = std::int32_t (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Control kinds the program uses.
constexpr std::int32_t kPushButtonKind = 1;
constexpr std::int32_t kLabelKind = 5;
constexpr std::int32_t kTextBoxKind = 9;

HWND BuildDialog(HWND owner, const DynamicString& caption, std::int32_t x, std::int32_t y,
                 std::int32_t width, std::int32_t height, std::uint32_t style,
                 std::uint32_t extendedStyle);

HWND AddControl(HWND dialog, std::int32_t kind, std::int32_t id, const DynamicString& text,
                std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                std::uint32_t style, std::uint32_t extendedStyle);

// Shows the dialog and runs until its window no longer exists.
void RunDialogModal(HWND dialog, DialogCallback callback, std::int32_t* resultVariable);

void FinishDialog(HWND dialog, std::int32_t endValue);

DynamicString GetControlText(HWND dialog, std::int32_t id);
void SetControlText(HWND dialog, std::int32_t id, const DynamicString& text);
void FocusControl(HWND dialog, std::int32_t id);

// The in-memory dialog template, large enough for the longest caption (256
// bytes) and face name (31 bytes).
struct DialogTemplateSpace {
    static constexpr std::int32_t kSize = 640;
    alignas(4) unsigned char bytes[kSize];
};

// The style the dialog is created with, from the style given.
std::uint32_t DialogCreationStyle(std::uint32_t style, std::int32_t x, std::int32_t y);

// Assembles the template into space; returns the bytes used.
std::int32_t AssembleDialogTemplate(DialogTemplateSpace& space, std::uint32_t style,
                                    std::uint32_t extendedStyle, std::int32_t x, std::int32_t y,
                                    std::int32_t width, std::int32_t height,
                                    const DynamicString& caption, const char* fontFace,
                                    std::uint16_t fontPointSize);
