#include "app/main_dialog.h"

#include "app/file_chooser.h"
#include "platform/win32.h"
#include "report/report_job.h"
#include "runtime/dialog_framework.h"
#include "runtime/text_file_input.h"
#include "runtime/text_operations.h"

namespace {

// The dialog and its controls as data: geometry in dialog units.
struct DialogLayout {
    const char* caption;
    std::int32_t x, y, width, height;
    std::uint32_t style;  // WS_CAPTION | WS_SYSMENU | DS_CENTER
};

struct ControlLayout {
    std::int32_t kind;
    std::int32_t id;
    const char* text;
    std::int32_t x, y, width, height;
    std::uint32_t style;  // 0: the kind's default
};

constexpr std::int32_t kNoId = -1;  // labels are never addressed again

constexpr DialogLayout kMainDialog = {
    "pelm Print and Preview Watermark Demo", 77, 22, 210, 110, 0x00C80800};

// Creation order is the tab order: text box, Browse, Quit, Print.
constexpr ControlLayout kMainControls[] = {
    {kLabelKind, kNoId, "File to Print", 10, 10, 110, 12, 0x50000000},
    {kTextBoxKind, IDC_FILEPATH, "", 10, 26, 160, 14, 0},
    {kPushButtonKind, IDC_BROWSE, "&Browse", 120, 10, 40, 14, 0},
    {kPushButtonKind, IDC_QUIT, "&Quit", 130, 75, 40, 14, 0},
    {kPushButtonKind, IDC_PRINT, "&Print", 70, 46, 40, 14, 0},
    {kLabelKind, kNoId, "Demo Program Courtesy Brannoc", 5, 94, 180, 12, 0x50000001},
};

// Mask 0: only files that are neither hidden, system nor folders.
constexpr std::int32_t kPlainFilesOnly = 0;
constexpr std::uint32_t kChooserFlags = OFN_FILEMUSTEXIST;

void PrintNamedFile(HWND dialog) {
    DynamicString path = GetControlText(dialog, IDC_FILEPATH);
    if (CompareText(FirstDirectoryMatch(path, kPlainFilesOnly), DynamicString()) == 0) {
        return;
    }
    PrintReportFile(path);  // reports its own failures
}

// Browse always starts from an empty name, in the current directory.
void BrowseForFile(HWND dialog) {
    DynamicString path;
    std::uint32_t flags = kChooserFlags;  // the chooser may change it; not wanted back
    if (ChooseFileToOpen(dialog, "Select File To Print", path, CurrentDirectory(DynamicString()),
                         "*.*", "", flags) != 0) {
        SetControlText(dialog, IDC_FILEPATH, path);
    }
}

}  // namespace

std::int32_t AppMain(HINSTANCE, HINSTANCE, const char*, std::int32_t) {
    HWND dialog = BuildDialog(nullptr, kMainDialog.caption, kMainDialog.x, kMainDialog.y,
                              kMainDialog.width, kMainDialog.height, kMainDialog.style, 0);
    if (dialog == nullptr) {
        return 0;
    }
    for (const ControlLayout& control : kMainControls) {
        // A control that cannot be made is simply missing.
        AddControl(dialog, control.kind, control.id, control.text, control.x, control.y,
                   control.width, control.height, control.style, 0);
    }
    std::int32_t endValue = 0;
    RunDialogModal(dialog, MainDialogProc, &endValue);
    return 0;
}

std::int32_t MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        FocusControl(dialog, IDC_FILEPATH);
        return 1;
    }
    if (message != WM_COMMAND) {
        return 0;
    }
    switch (LoWord(wParam)) {
        case IDC_PRINT:
            PrintNamedFile(dialog);
            break;
        case IDC_BROWSE:
            BrowseForFile(dialog);
            break;
        case IDC_QUIT:
            FinishDialog(dialog, 0);
            break;
        default:
            break;  // Enter and Escape (1 and 2) among them
    }
    return 0;
}
