#include "pelm32/qt/preview.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <vector>

#include "pelm32/core/document.h"
#include "pelm32/core/preview_pages.h"
#include "pelm32/qt/page_painter.h"
#include "pelm32/qt/printing.h"

// The preview's icons are linked in with the engine, which may be a static
// library: their registration is asked for, not left to the linker.
static void LoadPreviewIcons() {
    Q_INIT_RESOURCE(preview_icons);
}

namespace pelm32 {

namespace {

QSize ToQt(PixelSize size) {
    return {size.width, size.height};
}

PixelSize FromQt(QSize size) {
    return {size.width(), size.height()};
}

// Shows one, two or four pages, painted from the spool when they are
// shown, so a preview of any length costs the memory of the visible pages.
class PagesView : public QWidget {
  public:
    PagesView(const Document& document, QWidget* parent)
        : QWidget(parent),
          painter_(document),
          pages_(document.PageTotal(), {document.PageWidth() / kPointsPerInch * logicalDpiX(),
                                        document.PageHeight() / kPointsPerInch * logicalDpiY()}) {
        setAutoFillBackground(true);
        QPalette shade = palette();
        shade.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
        setPalette(shade);
        setFixedSize(ToQt(pages_.ViewSize()));
    }

    PreviewPages& Pages() { return pages_; }

    // After any change to the pages in view.
    void Relayout() {
        setFixedSize(ToQt(pages_.ViewSize()));
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        for (int i = 0; i < pages_.PagesInView(); ++i) {
            const PixelRect at = pages_.Sheet(i);
            const QRect sheet(at.x, at.y, at.width, at.height);
            painter.fillRect(sheet.translated(3, 3), QColor(0x50, 0x50, 0x50));
            painter.fillRect(sheet, Qt::white);
            painter.save();
            painter.setClipRect(sheet);
            painter.translate(sheet.topLeft());
            painter.scale(pages_.Zoom(), pages_.Zoom());
            painter_.Paint(painter, pages_.First() + i);
            painter.restore();
        }
    }

  private:
    PagePainter painter_;
    PreviewPages pages_;
};

// Scrolls as usual, but where the view cannot scroll further the wheel and
// PageUp/PageDown turn to the next or previous pages.
class PagesScroller : public QScrollArea {
  public:
    PagesScroller(QWidget* parent, std::function<void(int)> turn)
        : QScrollArea(parent), turn_(std::move(turn)) {}

    // -1 back, +1 forward; true when the view is at that end already.
    bool AtEnd(int direction) const {
        const QScrollBar* bar = verticalScrollBar();
        return direction > 0 ? bar->value() >= bar->maximum() : bar->value() <= bar->minimum();
    }

  protected:
    void wheelEvent(QWheelEvent* event) override {
        const int direction = event->angleDelta().y() < 0 ? 1 : -1;
        if (event->angleDelta().y() != 0 && AtEnd(direction)) {
            turn_(direction);
            event->accept();
            return;
        }
        QScrollArea::wheelEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        const int direction = event->key() == Qt::Key_PageDown ? 1
                              : event->key() == Qt::Key_PageUp ? -1
                                                               : 0;
        if (direction != 0 && AtEnd(direction)) {
            turn_(direction);
            event->accept();
            return;
        }
        QScrollArea::keyPressEvent(event);
    }

  private:
    std::function<void(int)> turn_;
};

// The program's other windows, shown disabled while the preview runs.
class OtherWindowsDisabled {
  public:
    explicit OtherWindowsDisabled(const QWidget* preview) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != preview && window->isVisible() && window->isEnabled()) {
                window->setEnabled(false);
                disabled_.emplace_back(window);
            }
        }
    }
    ~OtherWindowsDisabled() {
        for (const QPointer<QWidget>& window : disabled_) {
            if (window) {
                window->setEnabled(true);
            }
        }
    }
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

  private:
    std::vector<QPointer<QWidget>> disabled_;
};

class PreviewDialog : public QDialog {
  public:
    PreviewDialog(const Document& document, const std::string& pdfPath) : document_(document) {
        setWindowTitle(
            QStringLiteral("%1 - %2 - Print Preview")
                .arg(QString::fromStdString(document.Title()), QString::fromStdString(pdfPath)));
        // A window of its own kind, not a dialog: window managers let it be
        // maximised and sized to the screen.
        setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* tools = new QToolBar(this);
        tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        layout->addWidget(tools);
        scroll_ = new PagesScroller(this, [this](int direction) { Turn(direction); });
        scroll_->setAlignment(Qt::AlignCenter);
        scroll_->setBackgroundRole(QPalette::Dark);
        view_ = new PagesView(document, scroll_);
        scroll_->setWidget(view_);
        layout->addWidget(scroll_, 1);
        status_ = new QStatusBar(this);
        notes_ = new QLabel(status_);
        status_->addWidget(notes_, 1);
        layout->addWidget(status_);
        ShowStatus();
        BuildTools(*tools);
        PlaceOnScreen();
        scroll_->setFocus();
    }

  protected:
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        if (!shown_) {
            shown_ = true;
            FitPage();
        }
    }
    void resizeEvent(QResizeEvent* event) override {
        QDialog::resizeEvent(event);
        if (shown_ && fitting_) {
            FitPage();
        }
    }

  private:
    // Sized for the screen it opens on, whatever its scale, and centred there.
    void PlaceOnScreen() {
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (screen == nullptr) {
            screen = QGuiApplication::primaryScreen();
        }
        if (screen == nullptr) {
            return;
        }
        const QRect available = screen->availableGeometry();
        const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const QSize tools = layout()->itemAt(0)->sizeHint();
        const QSize chrome(scrollBar + 8, tools.height() + 8);
        const QSize size =
            ToQt(FirstPreviewSize(FromQt(available.size()), view_->Pages().PageAtZoomOne(),
                                  FromQt(chrome), tools.width()));
        resize(size);
        move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    }

    QAction* Add(QToolBar& tools, const QIcon& icon, const QString& text,
                 const QList<QKeySequence>& keys, void (PreviewDialog::*slot)()) {
        QAction* action = tools.addAction(icon, text);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        if (!keys.isEmpty()) {
            action->setToolTip(QStringLiteral("%1 (%2)").arg(
                text, keys.first().toString(QKeySequence::NativeText)));
        }
        connect(action, &QAction::triggered, this, slot);
        return action;
    }
    // The theme's icon, else the style's.
    QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) const {
        return QIcon::fromTheme(QLatin1String(name), style()->standardIcon(fallback));
    }
    // The theme's icon, else ours.
    static QIcon ThemeOrOwnIcon(const char* name, const char* own) {
        return QIcon::fromTheme(QLatin1String(name), OwnIcon(own));
    }
    static QIcon OwnIcon(const char* own) {
        return QIcon(QStringLiteral(":/pelm32/icons/%1.svg").arg(QLatin1String(own)));
    }

    void BuildTools(QToolBar& tools) {
        LoadPreviewIcons();
        first_ = Add(tools, ThemeIcon("go-first", QStyle::SP_MediaSkipBackward), tr("First"),
                     {Qt::Key_Home}, &PreviewDialog::First);
        previous_ = Add(tools, ThemeIcon("go-previous", QStyle::SP_ArrowBack), tr("Previous"), {},
                        &PreviewDialog::Previous);
        page_ = new QSpinBox(&tools);
        page_->setRange(1, document_.PageTotal());
        page_->setKeyboardTracking(false);
        tools.addWidget(page_);
        tools.addWidget(new QLabel(QStringLiteral(" / %1 ").arg(document_.PageTotal()), &tools));
        connect(page_, &QSpinBox::valueChanged, this,
                [this](int value) { Go(value - 1, view_->Pages().PerView()); });
        next_ = Add(tools, ThemeIcon("go-next", QStyle::SP_ArrowForward), tr("Next"), {},
                    &PreviewDialog::Next);
        last_ = Add(tools, ThemeIcon("go-last", QStyle::SP_MediaSkipForward), tr("Last"),
                    {Qt::Key_End}, &PreviewDialog::Last);
        tools.addSeparator();
        Add(tools, ThemeOrOwnIcon("zoom-out", "zoom-out"), tr("Zoom Out"), {QKeySequence::ZoomOut},
            &PreviewDialog::ZoomOut);
        // The zoom in percent, to see and to type.
        zoom_ = new QSpinBox(&tools);
        zoom_->setRange(static_cast<int>(PreviewPages::kMinZoom * 100),
                        static_cast<int>(PreviewPages::kMaxZoom * 100));
        zoom_->setSuffix(QStringLiteral(" %"));
        zoom_->setKeyboardTracking(false);
        zoom_->setToolTip(tr("Zoom"));
        tools.addWidget(zoom_);
        connect(zoom_, &QSpinBox::valueChanged, this,
                [this](int percent) { SetZoom(percent / 100.0); });
        // Ctrl+= too: on most keyboards "+" needs Shift.
        Add(tools, ThemeOrOwnIcon("zoom-in", "zoom-in"), tr("Zoom In"),
            {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)}, &PreviewDialog::ZoomIn);
        Add(tools, OwnIcon("fit-width"), tr("Fit Width"), {QKeySequence(Qt::CTRL | Qt::Key_W)},
            &PreviewDialog::FitWidth);
        Add(tools, OwnIcon("fit-page"), tr("Fit Page"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
            &PreviewDialog::FitPage);
        tools.addSeparator();
        auto* pages = new QActionGroup(this);
        const struct {
            int count;
            const char* icon;
        } layouts[] = {{1, "one-page"}, {2, "two-pages"}, {4, "four-pages"}};
        for (const auto& choice : layouts) {
            QAction* action = tools.addAction(
                OwnIcon(choice.icon),
                choice.count == 1 ? tr("One Page") : tr("%1 Pages").arg(choice.count));
            action->setCheckable(true);
            action->setChecked(choice.count == 1);
            action->setShortcut(QKeySequence(Qt::CTRL | (Qt::Key_0 + choice.count)));
            action->setShortcutContext(Qt::WindowShortcut);
            pages->addAction(action);
            connect(action, &QAction::triggered, this, [this, count = choice.count] {
                view_->Pages().Show(view_->Pages().First(), count, view_->Pages().Zoom());
                FitPage();
            });
        }
        tools.addSeparator();
        Add(tools, ThemeOrOwnIcon("document-print", "print"), tr("Print..."), {QKeySequence::Print},
            &PreviewDialog::Print);
        Add(tools, ThemeIcon("window-close", QStyle::SP_DialogCloseButton), tr("Close"),
            {Qt::Key_Escape}, &PreviewDialog::reject);
        Shown();
    }

    // Shows what pages_ now holds.
    void Shown() {
        const PreviewPages& pages = view_->Pages();
        view_->Relayout();
        const QSignalBlocker quiet(page_);
        page_->setValue(pages.First() + 1);
        const QSignalBlocker quietZoom(zoom_);
        zoom_->setValue(static_cast<int>(std::lround(pages.Zoom() * 100)));
        first_->setEnabled(pages.CanTurn(-1));
        previous_->setEnabled(pages.CanTurn(-1));
        next_->setEnabled(pages.CanTurn(1));
        last_->setEnabled(pages.CanTurn(1));
    }
    void Go(int first, int perView) {
        view_->Pages().Show(first, perView, view_->Pages().Zoom());
        Shown();
    }
    // A turn from the wheel or the keys: the new pages shown from their
    // top going forward, from their bottom going back.
    void Turn(int direction) {
        if (view_->Pages().Turn(direction)) {
            Shown();
            QScrollBar* bar = scroll_->verticalScrollBar();
            bar->setValue(direction > 0 ? bar->minimum() : bar->maximum());
        }
    }
    void First() {
        view_->Pages().ShowFirst();
        Shown();
    }
    void Previous() {
        view_->Pages().Turn(-1);
        Shown();
    }
    void Next() {
        view_->Pages().Turn(1);
        Shown();
    }
    void Last() {
        view_->Pages().ShowLast();
        Shown();
    }
    void ZoomIn() { SetZoom(view_->Pages().Zoom() * PreviewPages::kZoomStep); }
    void ZoomOut() { SetZoom(view_->Pages().Zoom() / PreviewPages::kZoomStep); }
    void SetZoom(double zoom) {
        fitting_ = false;
        Zoom(zoom);
    }
    void Zoom(double zoom) {
        PreviewPages& pages = view_->Pages();
        pages.Show(pages.First(), pages.PerView(), zoom);
        Shown();
    }
    void FitWidth() {
        // leave room for the vertical scroll bar that a page wider than tall needs
        QSize area = scroll_->viewport()->size();
        if (!scroll_->verticalScrollBar()->isVisible()) {
            area.rwidth() -= style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        }
        const PreviewPages& pages = view_->Pages();
        SetZoom(ZoomToFit(FromQt(area), pages.PageAtZoomOne(), pages.PerView(), false));
    }
    void FitPage() {
        fitting_ = true;
        const PreviewPages& pages = view_->Pages();
        Zoom(ZoomToFit(FromQt(scroll_->viewport()->size()), pages.PageAtZoomOne(), pages.PerView(),
                       true));
    }

    void Print() {
        QPrinter printer(QPrinter::HighResolution);
        SetUpPrinter(document_, printer);
        if (AskForPrinter(document_, printer, this)) {
            const bool sent = PrintDocument(document_, printer);
            const QString to = printer.outputFileName().isEmpty() ? printer.printerName()
                                                                  : printer.outputFileName();
            printed_ = sent ? tr("Sent to %1").arg(to) : tr("Nothing printed");
            ShowStatus();
        }
    }

    // The status line: what became of the last Print, and what the user
    // should know of the document.
    void ShowStatus() {
        QStringList parts;
        if (!printed_.isEmpty()) {
            parts << printed_;
        }
        for (const std::string& note : document_.Notes()) {
            parts << QString::fromStdString(note);
        }
        notes_->setText(parts.join(QStringLiteral("; ")));
    }

    const Document& document_;
    QStatusBar* status_;
    QLabel* notes_;
    QString printed_;
    PagesScroller* scroll_;
    PagesView* view_;
    QSpinBox* page_ = nullptr;
    QSpinBox* zoom_ = nullptr;
    QAction* first_ = nullptr;
    QAction* previous_ = nullptr;
    QAction* next_ = nullptr;
    QAction* last_ = nullptr;
    bool shown_ = false;
    bool fitting_ = true;  // the pages follow the window's size until zoomed by hand
};

}  // namespace

void ShowPreview(const Document& document, const std::string& pdfPath) {
    PreviewDialog dialog(document, pdfPath);
    const OtherWindowsDisabled others(&dialog);
    dialog.exec();
}

}  // namespace pelm32
