// Long documents show their progress in a window with Cancel, after a delay
// the tests set to nothing; headless there is no window at all.
#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

#include <functional>
#include <string>
#include <vector>

#include "engine/pelm32.h"
#include "pelm32/core/failures.h"
#include "pelm32/core/progress.h"
#include "pelm32/qt/progress_window.h"
#include "pelm32/qt/qt_setup.h"
#include "tests/pelm32/engine_fixture.h"
#include "tests/pelm32/pdf_tools.h"
#include "tests/pelm32/report_driver.h"

namespace {

using namespace pelm32_test;
using namespace std::chrono_literals;

QString Label(QWidget* window) {
    return window->findChild<QLabel*>()->text();
}

void PressCancel(QWidget* window) {
    window->findChild<QPushButton*>()->click();
}

class ProgressTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(pelm32::EnsureApplication());
        spool_ = MakeTempFolder("pelm32-spool");
        setenv("TMPDIR", spool_.c_str(), 1);
        pelm32::SetFailureSeam([this](const std::string& text) { failures_.push_back(text); });
    }
    void TearDown() override {
        pelm32::ResetProgressSeam();
        pelm32::SetFailureSeam(nullptr);
        unsetenv("TMPDIR");
        EXPECT_TRUE(FolderEntries(spool_).empty());  // no spool left, whatever happened
        RunCommand("rm -rf " + Quoted(spool_));
        EngineTest::TearDown();
    }
    // Shows windows at once, even headless, and notes what each one said.
    void ShowWindows(std::function<void(QWidget*)> also = nullptr) {
        pelm32::SetProgressSeam(0ms, true, [this, also](QWidget* window) {
            labels_.push_back(Label(window).toStdString());
            if (also) {
                also(window);
            }
        });
    }
    bool Said(const char* start) const {
        for (const std::string& label : labels_) {
            if (label.rfind(start, 0) == 0) {
                return true;
            }
        }
        return false;
    }

    std::string spool_;
    std::vector<std::string> labels_;
    std::vector<std::string> failures_;
};

TEST_F(ProgressTest, HeadlessNoWindowEverShows) {
    pelm32::SetProgressSeam(0ms, false, [this](QWidget*) { labels_.push_back("shown"); });
    PrintLines(NumberedLines(300));
    EXPECT_TRUE(labels_.empty());
    EXPECT_EQ(PdfPageCount(Pdf()), 6);
}

TEST_F(ProgressTest, TheWindowShowsPagesSpooledThenPagesWrittenOfAll) {
    ShowWindows();
    PrintLines(NumberedLines(300));
    EXPECT_TRUE(Said("Spooling: page ")) << labels_.size();
    EXPECT_TRUE(Said("Writing the PDF: page ")) << labels_.size();
    EXPECT_TRUE(Said("Writing the PDF: page 6 of 6"));
    EXPECT_EQ(PdfPageCount(Pdf()), 6);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(window->isVisible() && window->windowTitle().startsWith("Printing"))
            << "the progress window stays open";
    }
}

// Cancel by the mouse, by the keys a dialog cancels with, or by closing:
// the document is abandoned. Cancel has the focus and shows it.
TEST_F(ProgressTest, CancelWhileSpoolingAbandonsTheDocument) {
    const auto key = [](int code) {
        return [code](QWidget* window) {
            QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
            QApplication::sendEvent(window->focusWidget(), &press);
        };
    };
    const struct {
        const char* how;
        std::function<void(QWidget*)> cancel;
    } ways[] = {
        {"click", PressCancel},
        {"Escape", key(Qt::Key_Escape)},
        {"Return", key(Qt::Key_Return)},
        {"Enter", key(Qt::Key_Enter)},
        {"close", [](QWidget* window) { window->close(); }},
    };
    for (const auto& way : ways) {
        labels_.clear();
        bool framed = false;
        ShowWindows([&way, &framed](QWidget* window) {
            auto* cancel = window->findChild<QPushButton*>();
            ASSERT_EQ(QApplication::focusWidget(), cancel) << way.how;
            const QImage focused = cancel->grab().toImage();
            cancel->clearFocus();
            framed = focused != cancel->grab().toImage();
            cancel->setFocus();
            way.cancel(window);
        });
        ReportRun run = StartReport();
        for (const std::string& line : NumberedLines(300)) {
            ReportLine(run, line);
        }
        const size_t shown = labels_.size();
        FinishReport(run);  // the handle is done with: these calls do nothing
        EXPECT_TRUE(framed) << way.how;
        EXPECT_EQ(shown, 1u) << way.how;
        EXPECT_EQ(labels_.size(), shown) << way.how;
        EXPECT_TRUE(FolderEntries(output_).empty()) << way.how;
        EXPECT_TRUE(failures_.empty()) << failures_.front();
    }
}

TEST_F(ProgressTest, CancelWhileWritingLeavesNoPdf) {
    ShowWindows([](QWidget* window) {
        if (Label(window).startsWith("Writing")) {
            PressCancel(window);
        }
    });
    PrintLines(NumberedLines(300));
    EXPECT_TRUE(Said("Writing the PDF: page 1 of 6"));
    EXPECT_FALSE(Said("Writing the PDF: page 2 of 6"));
    EXPECT_TRUE(FolderEntries(output_).empty());
    EXPECT_TRUE(failures_.empty()) << failures_.front();
}

TEST_F(ProgressTest, KeysForOtherWindowsWaitTillTheWorkIsDoneAndKeepTheirOrder) {
    QLineEdit other;
    other.show();
    other.activateWindow();
    other.setFocus();
    QApplication::processEvents();
    for (const char key : std::string("abc")) {
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QCoreApplication::postEvent(
                other.windowHandle(),
                new QKeyEvent(type, Qt::Key_A + (key - 'a'), Qt::NoModifier, QString(QChar(key))));
        }
    }
    std::vector<QString> seenDuringWork;
    ShowWindows([&](QWidget*) { seenDuringWork.push_back(other.text()); });
    PrintLines(NumberedLines(300));
    ASSERT_FALSE(seenDuringWork.empty());
    for (const QString& text : seenDuringWork) {
        EXPECT_EQ(text, QString());
    }
    QApplication::processEvents();
    EXPECT_EQ(other.text(), QStringLiteral("abc"));
}

}  // namespace
