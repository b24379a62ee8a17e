#include "pelm32/preview.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <cstdio>

#include "pelm32/document.h"
#include "pelm32/page_painter.h"

namespace pelm32 {

namespace {

// The range the printer asks for, or the whole document.
void PaintForPrinter(const Document& document, QPrinter& printer) {
    int first = 0;
    int last = document.PageTotal() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = qBound(0, printer.fromPage() - 1, last);
        last = qBound(first, printer.toPage() - 1, last);
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        std::fprintf(stderr, "pelm32: the printer could not be started\n");
        return;
    }
    if (!PaintPages(painter, printer, document, first, last)) {
        std::fprintf(stderr, "pelm32: printing \"%s\" stopped: its spool could not be read\n",
                     qPrintable(document.Title()));
    }
    painter.end();
}

}  // namespace

void ShowPreview(const Document& document) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    printer.setDocName(document.Title());
    printer.setFromTo(1, document.PageTotal());
    QPrintPreviewDialog dialog(&printer);
    dialog.setWindowTitle(document.Title());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                     [&document](QPrinter* target) { PaintForPrinter(document, *target); });
    dialog.exec();
}

}  // namespace pelm32
