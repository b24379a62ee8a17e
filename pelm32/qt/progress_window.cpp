#include "pelm32/qt/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <vector>

#include "pelm32/core/progress_window.h"
#include "pelm32/qt/qt_setup.h"

namespace pelm32 {

namespace {

struct Seam {
    bool headlessWindows = false;
    std::function<void(QWidget*)> afterUpdate;
};

Seam& TheSeam() {
    static Seam seam;
    return seam;
}

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
    }
}

// Closing the window is cancelling too, and so are Escape and Return: the
// window's one button is Cancel.
class Window : public QWidget {
  public:
    explicit Window(std::function<void()> cancel) : cancel_(std::move(cancel)) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        cancel_();
        event->ignore();
    }
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Escape:
            case Qt::Key_Return:
            case Qt::Key_Enter:
                cancel_();
                event->accept();
                return;
            default:
                QWidget::keyPressEvent(event);
        }
    }

  private:
    std::function<void()> cancel_;
};

}  // namespace

// Holds back input meant for any window but one, and hands it on, in
// order, when it is released. Mouse moves are dropped: only where the
// pointer ends up matters.
class InputHold : public QObject {
  public:
    explicit InputHold(QWidget* open) : open_(open) { qApp->installEventFilter(this); }
    ~InputHold() override {
        qApp->removeEventFilter(this);
        for (auto& [target, event] : held_) {
            if (target) {
                QCoreApplication::postEvent(target, event.release());
            }
        }
    }

  protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (!IsInput(type) && type != QEvent::MouseMove && type != QEvent::ShortcutOverride) {
            return false;
        }
        if (IsOpen(target)) {
            return false;
        }
        if (type == QEvent::ShortcutOverride) {
            event->accept();  // no shortcut fires now: its key comes later
        } else if (type != QEvent::MouseMove) {
            held_.emplace_back(target, std::unique_ptr<QEvent>(event->clone()));
        }
        return true;
    }

  private:
    bool IsOpen(QObject* target) const {
        if (auto* widget = qobject_cast<QWidget*>(target)) {
            return widget->window() == open_;
        }
        if (auto* window = qobject_cast<QWindow*>(target)) {
            return window == open_->windowHandle();
        }
        return false;
    }

    QWidget* open_;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};

class QtProgressWindow final : public ProgressWindow {
  public:
    explicit QtProgressWindow(const QString& title);
    ~QtProgressWindow() override;
    bool ShowProgress(int done, int total) override;

  private:
    std::unique_ptr<QWidget> window_;
    QLabel* label_;
    QProgressBar* bar_;
    bool cancelled_ = false;
    std::unique_ptr<InputHold> hold_;
};

QtProgressWindow::QtProgressWindow(const QString& title) {
    window_ = std::make_unique<Window>([this] { cancelled_ = true; });
    window_->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window_->setWindowTitle(QStringLiteral("Printing - %1").arg(title));
    auto* layout = new QVBoxLayout(window_.get());
    label_ = new QLabel(window_.get());
    label_->setMinimumWidth(label_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 36);
    layout->addWidget(label_);
    bar_ = new QProgressBar(window_.get());
    layout->addWidget(bar_);
    auto* cancel = new QPushButton(QObject::tr("Cancel"), window_.get());
    layout->addWidget(cancel, 0, Qt::AlignRight);
    QObject::connect(cancel, &QPushButton::clicked, [this] { cancelled_ = true; });
    window_->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        window_->move(screen->availableGeometry().center() - window_->rect().center());
    }
    window_->show();
    window_->activateWindow();
    // Cancel has the focus, with the frame that shows it.
    cancel->setFocus(Qt::ActiveWindowFocusReason);
    window_->setAttribute(Qt::WA_KeyboardFocusChange);
    hold_ = std::make_unique<InputHold>(window_.get());
}

QtProgressWindow::~QtProgressWindow() {
    window_->hide();
    hold_.reset();  // what was held goes on to its windows now
}

bool QtProgressWindow::ShowProgress(int done, int total) {
    if (total > 0) {
        label_->setText(QObject::tr("Writing the PDF: page %1 of %2").arg(done).arg(total));
        bar_->setRange(0, total);
        bar_->setValue(done);
    } else {
        label_->setText(QObject::tr("Spooling: page %1").arg(done));
        bar_->setRange(0, 0);  // no total yet: the bar just shows life
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (TheSeam().afterUpdate) {
        TheSeam().afterUpdate(window_.get());
    }
    return !cancelled_;
}

namespace {

bool ProgressWindowsAvailable() {
    if (TheSeam().headlessWindows) {
        return EnsureApplication();
    }
    return DisplayAvailable();
}

}  // namespace

std::unique_ptr<ProgressWindow> OpenProgressWindow(const std::string& title) {
    if (!ProgressWindowsAvailable()) {
        return nullptr;
    }
    return std::make_unique<QtProgressWindow>(QString::fromStdString(title));
}

void SetProgressSeam(std::chrono::milliseconds delay, bool headlessWindows,
                     std::function<void(QWidget*)> afterUpdate) {
    SetProgressDelay(delay);
    TheSeam() = {headlessWindows, std::move(afterUpdate)};
}

void ResetProgressSeam() {
    SetProgressDelay(kProgressDelay);
    TheSeam() = Seam();
}

}  // namespace pelm32
