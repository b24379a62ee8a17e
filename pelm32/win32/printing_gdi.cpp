#include "pelm32/win32/printing_gdi.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>

#include "pelm32/core/desktop.h"
#include "pelm32/core/document.h"
#include "pelm32/core/native_file.h"
#include "pelm32/core/paper.h"
#include "pelm32/core/sheet_placement.h"
#include "pelm32/core/spool.h"
#include "pelm32/win32/page_painter_gdi.h"
#include "pelm32/win32/windows_text.h"

namespace pelm32 {

namespace {

// The printer's sheet and printable area in points; the device's origin is
// the printable area's top left corner.
struct PrinterSheet {
    double pixelsPerPoint = 1;
    double width = 0;
    double height = 0;
    PointRect printable;
};

PrinterSheet SheetOf(HDC printer) {
    PrinterSheet sheet;
    sheet.pixelsPerPoint = GetDeviceCaps(printer, LOGPIXELSX) / kPointsPerInch;
    const double perPixel = 1 / sheet.pixelsPerPoint;
    sheet.width = GetDeviceCaps(printer, PHYSICALWIDTH) * perPixel;
    sheet.height = GetDeviceCaps(printer, PHYSICALHEIGHT) * perPixel;
    sheet.printable = {GetDeviceCaps(printer, PHYSICALOFFSETX) * perPixel,
                       GetDeviceCaps(printer, PHYSICALOFFSETY) * perPixel,
                       GetDeviceCaps(printer, HORZRES) * perPixel,
                       GetDeviceCaps(printer, VERTRES) * perPixel};
    return sheet;
}

// The default printer's settings with the document's paper, portrait.
void ChooseDocumentPaper(const Document& document, HGLOBAL settings) {
    auto* mode = static_cast<DEVMODEW*>(GlobalLock(settings));
    if (mode == nullptr) {
        return;
    }
    mode->dmFields |= DM_PAPERSIZE | DM_ORIENTATION;
    mode->dmPaperSize = &document.PagePaper() == &kLetter ? DMPAPER_LETTER : DMPAPER_A4;
    mode->dmOrientation = DMORIENT_PORTRAIT;
    GlobalUnlock(settings);
}

void Free(HGLOBAL memory) {
    if (memory != nullptr) {
        GlobalFree(memory);
    }
}

}  // namespace

bool PrintDocument(const Document& document, HDC printer, int first, int last,
                   const std::wstring& output, std::string& why) {
    const std::wstring title = Wide(document.Title());
    DOCINFOW job{};
    job.cbSize = sizeof job;
    job.lpszDocName = title.c_str();
    job.lpszOutput = output.empty() ? nullptr : output.c_str();
    if (StartDocW(printer, &job) <= 0) {
        why = "the printer could not be started: " +
              native::ErrorText(static_cast<int>(GetLastError()));
        return false;
    }
    const PrinterSheet sheet = SheetOf(printer);
    const SheetPlacement placement = PlaceOnSheet(document.PageWidth(), document.PageHeight(),
                                                  sheet.width, sheet.height, sheet.printable);
    GdiPagePainter pages(document);
    bool painted = true;
    for (int index = first; index <= last && painted; ++index) {
        if (StartPage(printer) <= 0) {
            why =
                "the printer took no page: " + native::ErrorText(static_cast<int>(GetLastError()));
            AbortDoc(printer);
            return false;
        }
        painted =
            pages.Paint(printer, index, (placement.x - sheet.printable.x) * sheet.pixelsPerPoint,
                        (placement.y - sheet.printable.y) * sheet.pixelsPerPoint,
                        placement.scale * sheet.pixelsPerPoint);
        if (EndPage(printer) <= 0) {
            why = "the printer did not take page " + std::to_string(index + 1) + ": " +
                  native::ErrorText(static_cast<int>(GetLastError()));
            AbortDoc(printer);
            return false;
        }
    }
    if (!painted) {
        why = SpoolReadFailure(pages.Error());
        AbortDoc(printer);
        return false;
    }
    if (EndDoc(printer) <= 0) {
        why = "the printer did not take the job: " +
              native::ErrorText(static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

void PrintWithDialog(const Document& document, HWND owner) {
    PRINTDLGEXW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.Flags = PD_RETURNDEFAULT;
    dialog.nStartPage = START_PAGE_GENERAL;
    // The default printer's settings first, to choose the document's paper in them.
    if (PrintDlgExW(&dialog) == S_OK && dialog.hDevMode != nullptr) {
        ChooseDocumentPaper(document, dialog.hDevMode);
    }
    PRINTPAGERANGE range{1, static_cast<DWORD>(document.PageTotal())};
    dialog.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOCURRENTPAGE | PD_USEDEVMODECOPIESANDCOLLATE;
    dialog.nMinPage = 1;
    dialog.nMaxPage = static_cast<DWORD>(document.PageTotal());
    dialog.nMaxPageRanges = 1;
    dialog.lpPageRanges = &range;
    const HRESULT result = PrintDlgExW(&dialog);
    Free(dialog.hDevMode);
    Free(dialog.hDevNames);
    if (result != S_OK || dialog.dwResultAction != PD_RESULT_PRINT || dialog.hDC == nullptr) {
        if (result != S_OK) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
            ShowFailureBox("The print dialog could not open (error " + std::string(code) + "): \"" +
                           document.Title() + "\" is not printed.");
        }
        if (dialog.hDC != nullptr) {
            DeleteDC(dialog.hDC);
        }
        return;
    }
    int first = 0;
    int last = document.PageTotal() - 1;
    if ((dialog.Flags & PD_PAGENUMS) != 0 && dialog.nPageRanges > 0) {
        first = std::clamp(static_cast<int>(range.nFromPage) - 1, 0, last);
        last = std::clamp(static_cast<int>(range.nToPage) - 1, first, last);
    }
    std::string why;
    if (!PrintDocument(document, dialog.hDC, first, last, {}, why)) {
        std::fprintf(stderr, "pelm32: printing \"%s\" failed: %s\n", document.Title().c_str(),
                     why.c_str());
        ShowFailureBox("\"" + document.Title() + "\" could not be printed: " + why + ".");
    }
    DeleteDC(dialog.hDC);
}

}  // namespace pelm32
