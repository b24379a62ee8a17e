#include "pelm32/qt/printing.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <cstdio>

#include "pelm32/core/document.h"
#include "pelm32/core/sheet_placement.h"
#include "pelm32/core/spool.h"
#include "pelm32/qt/page_painter.h"

namespace pelm32 {

namespace {

QPageSize PaperPageSize(const Paper& paper) {
    return QPageSize(&paper == &kLetter ? QPageSize::Letter : QPageSize::A4);
}

// What the printer can print on: the sheet less the margins it reports,
// which a full-page layout keeps as its minimum ones. Its paint rectangle
// would be the whole sheet, the printer's edges included.
QRectF PrintableArea(const QPageLayout& layout) {
    QPageLayout printable = layout;
    printable.setMode(QPageLayout::StandardMode);
    printable.setMargins(layout.minimumMargins());
    return printable.paintRect(QPageLayout::Point);
}

SheetPlacement PlaceOnSheet(const Document& document, const QPageLayout& layout) {
    const QRectF sheet = layout.fullRectPoints();
    const QRectF printable = PrintableArea(layout);
    return pelm32::PlaceOnSheet(
        document.PageWidth(), document.PageHeight(), sheet.width(), sheet.height(),
        {printable.x(), printable.y(), printable.width(), printable.height()});
}

}  // namespace

void SetUpPrinter(const Document& document, QPrinter& printer) {
    printer.setPageLayout(QPageLayout(PaperPageSize(document.PagePaper()), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    printer.setDocName(QString::fromStdString(document.Title()));
}

bool PrintDocument(const Document& document, QPrinter& printer) {
    int first = 0;
    int last = document.PageTotal() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = qBound(0, printer.fromPage() - 1, last);
        last = qBound(first, printer.toPage() - 1, last);
    }
    // With the full page the painter's origin is the corner of the sheet.
    printer.setFullPage(true);
    const SheetPlacement placement = PlaceOnSheet(document, printer.pageLayout());
    QPainter painter;
    if (!painter.begin(&printer)) {
        std::fprintf(stderr, "pelm32: the printer could not be started\n");
        return false;
    }
    const double pointsToDevice = printer.resolution() / kPointsPerInch;
    PagePainter pages(document);
    bool painted = true;
    for (int index = first; index <= last && painted; ++index) {
        if (index > first && !printer.newPage()) {
            painted = false;
            break;
        }
        painter.save();
        painter.translate(placement.x * pointsToDevice, placement.y * pointsToDevice);
        painter.scale(placement.scale, placement.scale);
        painted = pages.Paint(painter, index);
        painter.restore();
    }
    painter.end();
    if (!painted) {
        std::fprintf(stderr, "pelm32: printing \"%s\" stopped: %s\n", document.Title().c_str(),
                     SpoolReadFailure(pages.Error()).c_str());
    }
    return painted;
}

}  // namespace pelm32
