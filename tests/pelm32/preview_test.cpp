// The preview as its user works it: keys, the wheel, the page layouts, and
// the program's other windows disabled while it is open. Headless, with the
// test acting inside the preview's own event loop.
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <unistd.h>

#include <functional>
#include <string>

#include "pelm32/core/document.h"
#include "pelm32/core/native_file.h"
#include "pelm32/core/preview_pages.h"
#include "pelm32/qt/preview.h"
#include "pelm32/qt/qt_setup.h"

namespace {

// Runs the preview of document and, inside it, act(dialog); then closes it.
void InPreview(const pelm32::Document& document, const std::function<void(QWidget*)>& act) {
    bool acted = false;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        act(dialog);
        acted = true;
        dialog->close();
    });
    pelm32::ShowPreview(document, "/some/where/Report.pdf");
    EXPECT_TRUE(acted);
}

int PageShown(QWidget* dialog) {
    return dialog->findChild<QSpinBox*>()->value();
}

// Through the window, as a key from the keyboard comes: shortcuts see it.
void Key(QWidget* dialog, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(dialog->windowHandle(), static_cast<Qt::Key>(key), modifiers);
}

void Wheel(QWidget* dialog, int steps) {
    QWidget* viewport = dialog->findChild<QScrollArea*>()->viewport();
    const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120 * steps),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
}

QAction* Action(QWidget* dialog, const QString& text) {
    for (QAction* action : dialog->findChildren<QAction*>()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pelm32::EnsureApplication());
        for (int page = 1; page < 9; ++page) {
            document_.Text(1.0f, 1.0f, ("page " + std::to_string(page)).c_str());
            document_.NewPage();
        }
        ASSERT_TRUE(document_.Finish());
    }
    pelm32::Document document_{"Nine Pages", pelm32::kA4};
};

TEST_F(PreviewTest, TitleNamesTheDocumentAndItsPdf) {
    InPreview(document_, [](QWidget* dialog) {
        EXPECT_TRUE(dialog->windowTitle().contains("Nine Pages"));
        EXPECT_TRUE(dialog->windowTitle().contains("/some/where/Report.pdf"));
        for (const char* text : {"First", "Next", "Zoom In", "Print...", "Close"}) {
            QAction* action = Action(dialog, text);
            ASSERT_NE(action, nullptr) << text;
            EXPECT_FALSE(action->icon().isNull()) << text;
        }
    });
}

TEST_F(PreviewTest, KeysAndTheWheelTurnPagesWhenWholePagesShow) {
    InPreview(document_, [](QWidget* dialog) {
        EXPECT_EQ(PageShown(dialog), 1);
        Key(dialog, Qt::Key_PageDown);
        EXPECT_EQ(PageShown(dialog), 2);
        Wheel(dialog, 2);
        EXPECT_EQ(PageShown(dialog), 3);  // one turn: the view is at its end again
        Wheel(dialog, -1);
        Key(dialog, Qt::Key_PageUp);
        EXPECT_EQ(PageShown(dialog), 1);
        Key(dialog, Qt::Key_End);
        EXPECT_EQ(PageShown(dialog), 9);
        Key(dialog, Qt::Key_Home);
        EXPECT_EQ(PageShown(dialog), 1);
        // Zoomed in, the keys scroll the page before they turn it.
        Key(dialog, Qt::Key_Plus, Qt::ControlModifier);
        Key(dialog, Qt::Key_Plus, Qt::ControlModifier);
        Key(dialog, Qt::Key_Plus, Qt::ControlModifier);
        QScrollBar* bar = dialog->findChild<QScrollArea*>()->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 0);
        Key(dialog, Qt::Key_PageDown);
        EXPECT_EQ(PageShown(dialog), 1);
        EXPECT_GT(bar->value(), 0);
    });
}

// Sized to a large screen, four pages show two by two with nothing to
// scroll, so each PageDown turns a set; the buttons that cannot go
// further are disabled; the zoom shows in percent and takes one typed.
TEST_F(PreviewTest, FourPagesShowTwoByTwoFillingTheWindowAndTurnAPress) {
    InPreview(document_, [](QWidget* dialog) {
        dialog->resize(1920, 1040);
        QApplication::processEvents();
        QScrollArea* scroll = dialog->findChild<QScrollArea*>();
        Action(dialog, "4 Pages")->trigger();
        const QSize view = scroll->widget()->size();
        const QSize area = scroll->viewport()->size();
        EXPECT_LT(view.width(), view.height() * 1.1);  // two columns of portrait pages
        EXPECT_GT(view.height(), area.height() * 0.9);
        EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0);
        const auto enabled = [dialog] {
            std::string states;
            for (const char* name : {"First", "Previous", "Next", "Last"}) {
                states += Action(dialog, name)->isEnabled() ? '1' : '0';
            }
            return states;
        };
        EXPECT_EQ(enabled(), "0011");
        for (const int first : {5, 9}) {
            Key(dialog, Qt::Key_PageDown);
            EXPECT_EQ(PageShown(dialog), first);
        }
        EXPECT_EQ(enabled(), "1100");
        QSpinBox* zoom = nullptr;
        for (QSpinBox* box : dialog->findChildren<QSpinBox*>()) {
            zoom = box->suffix().contains('%') ? box : zoom;
        }
        ASSERT_NE(zoom, nullptr);
        const int fitted = zoom->value();
        zoom->setValue(150);
        EXPECT_EQ(zoom->value(), 150);
        const double gaps = 3 * pelm32::kPageGap;  // two columns: three gaps
        EXPECT_NEAR((scroll->widget()->width() - gaps) / (view.width() - gaps), 150.0 / fitted,
                    0.05);
        Key(dialog, Qt::Key_Plus, Qt::ControlModifier);
        EXPECT_NEAR(zoom->value(), 150 * 1.25, 1);
    });
}

TEST_F(PreviewTest, TheProgramsOtherWindowsAreDisabledWhileItRuns) {
    QLineEdit other;
    other.show();
    InPreview(document_, [&other](QWidget*) { EXPECT_FALSE(other.isEnabled()); });
    EXPECT_TRUE(other.isEnabled());
}

// What printed all the same but not as the report asked is said in the
// status line: a bitmap not found, lines the paper cuts.
TEST_F(PreviewTest, TheStatusLineSaysWhatTheDocumentLeftOutOrThePaperCuts) {
    const std::string folder = pelm32::native::CurrentFolder();
    const std::string longLine(200, 'x');
    struct Row {
        const char* logo;
        int longLines;
        std::string status;
    };
    const Row rows[] = {
        {nullptr, 0, ""},
        {"Logo-not-here.bmp", 0,
         "Logo-not-here.bmp not found in " + folder + ": printed without it"},
        {"/no/such/folder/watermark.bmp", 2,
         "watermark.bmp not found in /no/such/folder: printed without it; 2 lines run past the "
         "right edge of the paper: the PDF keeps their whole text"},
    };
    for (const Row& row : rows) {
        pelm32::Document document("Notes", pelm32::kA4);
        if (row.logo != nullptr) {
            document.AddGraphic(row.logo);
        }
        for (int line = 0; line < row.longLines; ++line) {
            document.Text(1.0f, 1.0f + line, longLine.c_str());
        }
        document.Text(1.0f, 5.0f, "a short line");
        ASSERT_TRUE(document.Finish());
        InPreview(document, [&row](QWidget* dialog) {
            EXPECT_EQ(dialog->findChild<QStatusBar*>()->findChild<QLabel*>()->text().toStdString(),
                      row.status);
        });
    }
}

}  // namespace
