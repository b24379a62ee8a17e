#include "pelm32/qt/printing.h"

#include <QApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <string>

#include <cups/cups.h>

#include "pelm32/core/document.h"
#include "pelm32/core/failures.h"
#include "pelm32/core/sheet_placement.h"
#include "pelm32/core/spool.h"
#include "pelm32/qt/page_painter.h"

namespace pelm32 {

namespace {

QPageSize PaperPageSize(const Paper& paper) {
    return QPageSize(&paper == &kLetter ? QPageSize::Letter : QPageSize::A4);
}

// Whether a window of the print dialog's own (its printer properties, with
// the paper) was shown while the dialog ran.
class PropertiesWatch : public QObject {
  public:
    explicit PropertiesWatch(const QDialog& dialog) : dialog_(dialog) {
        qApp->installEventFilter(this);
    }
    ~PropertiesWatch() override { qApp->removeEventFilter(this); }
    bool Shown() const { return shown_; }

  protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* widget = qobject_cast<QWidget*>(target);
            shown_ = shown_ || (widget != nullptr && widget != &dialog_ && widget->isWindow() &&
                                widget->parentWidget() == &dialog_);
        }
        return false;
    }

  private:
    const QDialog& dialog_;
    bool shown_ = false;
};

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

// Qt hands the job to CUPS as the painter ends and keeps no word of how it
// went; libcups keeps the answer for the thread.
std::string RefusalByCups(const QPrinter& printer) {
    if (printer.outputFormat() != QPrinter::NativeFormat || !printer.outputFileName().isEmpty() ||
        cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        return {};
    }
    const char* why = cupsLastErrorString();
    return why != nullptr && *why != '\0' ? why : "the print system refused it";
}

std::string Quote(const QString& text) {
    return "\"" + text.toStdString() + "\"";
}

}  // namespace

void SetUpPrinter(const Document& document, QPrinter& printer) {
    printer.setPageLayout(QPageLayout(PaperPageSize(document.PagePaper()), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    printer.setDocName(QString::fromStdString(document.Title()));
}

bool AskForPrinter(const Document& document, QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, document.PageTotal());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    const PropertiesWatch watch(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    // Qt's dialog gives the printer its default paper unless the paper was
    // picked in its properties: where the user never saw them, the
    // document's own stays.
    if (!watch.Shown()) {
        printer.setPageSize(PaperPageSize(document.PagePaper()));
    }
    return true;
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
        TellFailure("nothing printed: the printer " + Quote(printer.printerName()) +
                    " could not be started");
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
        // Text past the page's edge is kept in the spool; the page cuts it.
        painter.setClipRect(QRectF(0, 0, document.PageWidth() * pointsToDevice,
                                   document.PageHeight() * pointsToDevice));
        painted = pages.Paint(painter, index);
        painter.restore();
    }
    painter.end();
    if (!painted) {
        TellFailure("printing \"" + document.Title() +
                    "\" stopped: " + SpoolReadFailure(pages.Error()));
        return false;
    }
    if (const std::string refused = RefusalByCups(printer); !refused.empty()) {
        TellFailure("nothing printed: the printer " + Quote(printer.printerName()) +
                    " refused the job: " + refused);
        return false;
    }
    return true;
}

}  // namespace pelm32
