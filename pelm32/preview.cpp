#include "pelm32/preview.h"

#include <QAction>
#include <QActionGroup>
#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>

#include "pelm32/document.h"
#include "pelm32/page_painter.h"

namespace pelm32 {

namespace {

constexpr int kGap = 16;  // pixels around and between pages
constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 8.0;

QPageLayout A4Layout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

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
    PagePainter pages(document);
    if (!pages.PaintPages(painter, printer, first, last)) {
        std::fprintf(stderr, "pelm32: printing \"%s\" stopped: its spool could not be read\n",
                     document.Title().c_str());
    }
    painter.end();
}

// Shows a few pages side by side, painted from the spool when they are
// shown, so a preview of any length costs the memory of the visible pages.
class PagesView : public QWidget {
  public:
    PagesView(const Document& document, QWidget* parent)
        : QWidget(parent), document_(document), painter_(document) {
        setAutoFillBackground(true);
        QPalette shade = palette();
        shade.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
        setPalette(shade);
        Relayout();
    }

    int First() const { return first_; }
    int PerView() const { return perView_; }
    double Zoom() const { return zoom_; }

    void Show(int first, int perView, double zoom) {
        const int total = document_.PageTotal();
        perView_ = qBound(1, perView, 4);
        first_ = qBound(0, first - first % perView_, total - 1);
        zoom_ = qBound(kMinZoom, zoom, kMaxZoom);
        Relayout();
        update();
    }

    // The zoom at which the pages shown fill the given size.
    double ZoomToFit(const QSize& area, bool wholePage) const {
        const QSizeF page = PageInches();
        const double byWidth =
            (area.width() - kGap * (perView_ + 1)) / (perView_ * page.width() * logicalDpiX());
        const double byHeight = (area.height() - 2 * kGap) / (page.height() * logicalDpiY());
        return wholePage ? qMin(byWidth, byHeight) : byWidth;
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        const QSize page = PagePixels();
        for (int i = 0; i < perView_; ++i) {
            const int index = first_ + i;
            if (index >= document_.PageTotal()) {
                break;
            }
            const QRect sheet(kGap + i * (page.width() + kGap), kGap, page.width(), page.height());
            painter.fillRect(sheet.translated(3, 3), QColor(0x50, 0x50, 0x50));
            painter.fillRect(sheet, Qt::white);
            painter.save();
            painter.setClipRect(sheet);
            painter.translate(sheet.topLeft());
            painter.scale(zoom_, zoom_);
            painter_.Paint(painter, index);
            painter.restore();
        }
    }

  private:
    static QSizeF PageInches() {
        return {kPageWidth / kPointsPerInch, kPageHeight / kPointsPerInch};
    }

    QSize PagePixels() const {
        const QSizeF inches = PageInches();
        return QSize(qRound(inches.width() * logicalDpiX() * zoom_),
                     qRound(inches.height() * logicalDpiY() * zoom_));
    }

    void Relayout() {
        const QSize page = PagePixels();
        setFixedSize(kGap + perView_ * (page.width() + kGap), page.height() + 2 * kGap);
    }

    const Document& document_;
    PagePainter painter_;
    int first_ = 0;
    int perView_ = 1;
    double zoom_ = 1.0;
};

class PreviewDialog : public QDialog {
  public:
    explicit PreviewDialog(const Document& document) : document_(document) {
        setWindowTitle(
            QStringLiteral("Print Preview - %1").arg(QString::fromStdString(document.Title())));
        setWindowFlag(Qt::WindowMaximizeButtonHint);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* tools = new QToolBar(this);
        layout->addWidget(tools);
        scroll_ = new QScrollArea(this);
        scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        scroll_->setBackgroundRole(QPalette::Dark);
        view_ = new PagesView(document, scroll_);
        scroll_->setWidget(view_);
        layout->addWidget(scroll_, 1);
        BuildTools(*tools);
        resize(1000, 1000);  // room for the whole tool bar with a five-digit page count
    }

  protected:
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        if (!shown_) {
            shown_ = true;
            FitPage();
        }
    }

  private:
    QAction* Add(QToolBar& tools, const QString& text, const QKeySequence& key,
                 void (PreviewDialog::*slot)()) {
        QAction* action = tools.addAction(text);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        return action;
    }

    void BuildTools(QToolBar& tools) {
        Add(tools, tr("First"), QKeySequence(Qt::CTRL | Qt::Key_Home), &PreviewDialog::First);
        Add(tools, tr("Previous"), QKeySequence(Qt::Key_PageUp), &PreviewDialog::Previous);
        page_ = new QSpinBox(&tools);
        page_->setRange(1, document_.PageTotal());
        page_->setKeyboardTracking(false);
        tools.addWidget(page_);
        tools.addWidget(new QLabel(QStringLiteral(" / %1 ").arg(document_.PageTotal()), &tools));
        connect(page_, &QSpinBox::valueChanged, this,
                [this](int value) { Go(value - 1, view_->PerView()); });
        Add(tools, tr("Next"), QKeySequence(Qt::Key_PageDown), &PreviewDialog::Next);
        Add(tools, tr("Last"), QKeySequence(Qt::CTRL | Qt::Key_End), &PreviewDialog::Last);
        tools.addSeparator();
        Add(tools, tr("Zoom Out"), QKeySequence::ZoomOut, &PreviewDialog::ZoomOut);
        Add(tools, tr("Zoom In"), QKeySequence::ZoomIn, &PreviewDialog::ZoomIn);
        Add(tools, tr("Fit Width"), QKeySequence(Qt::CTRL | Qt::Key_W), &PreviewDialog::FitWidth);
        Add(tools, tr("Fit Page"), QKeySequence(Qt::CTRL | Qt::Key_0), &PreviewDialog::FitPage);
        tools.addSeparator();
        auto* pages = new QActionGroup(this);
        for (const int count : {1, 2, 4}) {
            QAction* action =
                tools.addAction(count == 1 ? tr("One Page") : tr("%1 Pages").arg(count));
            action->setCheckable(true);
            action->setChecked(count == 1);
            pages->addAction(action);
            connect(action, &QAction::triggered, this, [this, count] {
                view_->Show(view_->First(), count, view_->Zoom());
                FitPage();
            });
        }
        tools.addSeparator();
        Add(tools, tr("Print..."), QKeySequence::Print, &PreviewDialog::Print);
        Add(tools, tr("Close"), QKeySequence(Qt::Key_Escape), &PreviewDialog::reject);
    }

    void Go(int first, int perView, double zoom = 0) {
        view_->Show(first, perView, zoom > 0 ? zoom : view_->Zoom());
        const QSignalBlocker quiet(page_);
        page_->setValue(view_->First() + 1);
    }
    void First() { Go(0, view_->PerView()); }
    void Previous() { Go(view_->First() - view_->PerView(), view_->PerView()); }
    void Next() {
        if (view_->First() + view_->PerView() < document_.PageTotal()) {
            Go(view_->First() + view_->PerView(), view_->PerView());
        }
    }
    void Last() { Go(document_.PageTotal() - 1, view_->PerView()); }
    void ZoomIn() { Go(view_->First(), view_->PerView(), view_->Zoom() * 1.25); }
    void ZoomOut() { Go(view_->First(), view_->PerView(), view_->Zoom() / 1.25); }
    void FitWidth() {
        // leave room for the vertical scroll bar that a page wider than tall needs
        QSize area = scroll_->viewport()->size();
        if (!scroll_->verticalScrollBar()->isVisible()) {
            area.rwidth() -= style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        }
        Go(view_->First(), view_->PerView(), view_->ZoomToFit(area, false));
    }
    void FitPage() {
        Go(view_->First(), view_->PerView(), view_->ZoomToFit(scroll_->viewport()->size(), true));
    }

    void Print() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageLayout(A4Layout());
        printer.setFullPage(true);
        printer.setDocName(QString::fromStdString(document_.Title()));
        QPrintDialog dialog(&printer, this);
        dialog.setMinMax(1, document_.PageTotal());
        dialog.setOption(QAbstractPrintDialog::PrintPageRange);
        if (dialog.exec() == QDialog::Accepted) {
            PaintForPrinter(document_, printer);
        }
    }

    const Document& document_;
    QScrollArea* scroll_;
    PagesView* view_;
    QSpinBox* page_ = nullptr;
    bool shown_ = false;
};

}  // namespace

void ShowPreview(const Document& document) {
    PreviewDialog dialog(document);
    dialog.exec();
}

}  // namespace pelm32
