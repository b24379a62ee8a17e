// A sample dialog with the main dialog's layout, for looking at it and for
// measuring what an idle modal loop costs (from outside, e.g. /proc/PID/stat).
#include <cstdio>

#include "platform/win32.h"
#include "runtime/dialog_framework.h"

namespace {

std::int32_t SampleProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        FocusControl(dialog, 101);
        return 1;
    }
    if (message == WM_SIZE) {
        std::printf("client area %d x %d pixels\n", static_cast<int>(lParam & 0xFFFF),
                    static_cast<int>((lParam >> 16) & 0xFFFF));
        std::fflush(stdout);
    }
    if (message == WM_COMMAND) {
        switch (LoWord(wParam)) {
            case 102:
                SetControlText(dialog, 101, "/tmp/report.txt");
                break;
            case 104:
                FinishDialog(dialog, 0);
                break;
            default:
                break;
        }
    }
    return 0;
}

}  // namespace

int main() {
    HWND dialog = BuildDialog(nullptr, "pelm Print and Preview Watermark Demo", 77, 22, 210, 110,
                              0x00C80800, 0);
    if (dialog == nullptr) {
        return 1;
    }
    AddControl(dialog, kLabelKind, -1, "File to Print", 10, 10, 110, 12, 0x50000000, 0);
    AddControl(dialog, kTextBoxKind, 101, "", 10, 26, 160, 14, 0, 0);
    AddControl(dialog, kPushButtonKind, 102, "&Browse", 120, 10, 40, 14, 0, 0);
    AddControl(dialog, kPushButtonKind, 104, "&Quit", 130, 75, 40, 14, 0, 0);
    AddControl(dialog, kPushButtonKind, 103, "&Print", 70, 46, 40, 14, 0, 0);
    AddControl(dialog, kLabelKind, -1, "Demo Program Courtesy Brannoc", 5, 94, 180, 12, 0x50000001,
               0);
    std::int32_t result = 0;
    RunDialogModal(dialog, SampleProc, &result);
    std::printf("ended with %d\n", result);
    return 0;
}
