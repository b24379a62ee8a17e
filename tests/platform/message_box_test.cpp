#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <memory>

#include "platform/qt/qt_application.h"
#include "platform/win32.h"

namespace {

struct SeenBox {
    bool found = false;
    QString title;
    QString text;
    Qt::TextFormat textFormat = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttonCount = 0;
    bool okButton = false;
    bool hasParent = true;
    Qt::WindowModality modality = Qt::ApplicationModal;
    bool modalWidgetPresent = true;
    bool otherWindowEnabled = false;
};

QMessageBox* VisibleMessageBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Looks for the box once the call has shown it, notes what it shows and
// dismisses it with close; gives up loudly rather than hang.
void DismissBoxWhenShown(SeenBox& seen, std::function<void(QMessageBox*)> close,
                         QWidget* otherWindow, int triesLeft = 500) {
    QTimer::singleShot(5, [&seen, close, otherWindow, triesLeft] {
        QMessageBox* box = VisibleMessageBox();
        if (box == nullptr) {
            if (triesLeft == 0) {
                ADD_FAILURE() << "no message box appeared";
                std::abort();
            }
            DismissBoxWhenShown(seen, close, otherWindow, triesLeft - 1);
            return;
        }
        seen.found = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.textFormat = box->textFormat();
        seen.icon = box->icon();
        seen.buttonCount = static_cast<int>(box->buttons().size());
        seen.okButton = box->button(QMessageBox::Ok) != nullptr;
        seen.hasParent = box->parentWidget() != nullptr;
        seen.modality = box->windowModality();
        seen.modalWidgetPresent = QApplication::activeModalWidget() != nullptr;
        seen.otherWindowEnabled = otherWindow->isEnabled();
        close(box);
    });
}

void ClickOk(QMessageBox* box) {
    box->button(QMessageBox::Ok)->click();
}

class MessageBoxATest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(EnsureQtApplication(), nullptr);
        otherWindow_ = std::make_unique<QWidget>();
        otherWindow_->setWindowTitle("other");
        otherWindow_->show();
    }
    // A window of the program's own that the box must leave usable.
    std::unique_ptr<QWidget> otherWindow_;
};

TEST_F(MessageBoxATest, ShowsTextCaptionAndIconAndAnswersOkWhenDismissed) {
    struct Case {
        const char* name;
        const char* text;
        const char* caption;
        UINT style;
        QString shownText;
        QMessageBox::Icon icon;
    };
    const Case cases[] = {
        {"plain box", "Error on pmStartDoc= 0", "Tarnwick", MB_OK, "Error on pmStartDoc= 0",
         QMessageBox::NoIcon},
        {"stop icon", "Error on OPEN of file 'x' in PrintReportFile: 53", "Fenwarth Error",
         MB_ICONSTOP, "Error on OPEN of file 'x' in PrintReportFile: 53", QMessageBox::Critical},
        {"cut at the zero byte", "ab\0cd", "t", MB_OK, "ab", QMessageBox::NoIcon},
        {"empty text", "", " ", MB_OK, "", QMessageBox::NoIcon},
        {"markup shown as it is", "<b>x</b> & y", "t", MB_OK, "<b>x</b> & y", QMessageBox::NoIcon},
        {"UTF-8", "Gr\xc3\xbc\xc3\x9f", "t", MB_OK, QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"),
         QMessageBox::NoIcon},
        {"not UTF-8: Windows code page", "caf\xe9 \x80", "t", MB_OK,
         QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac"), QMessageBox::NoIcon},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SeenBox seen;
        DismissBoxWhenShown(seen, ClickOk, otherWindow_.get());
        EXPECT_EQ(MessageBoxA(nullptr, c.text, c.caption, c.style), IDOK);
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.title, QString::fromUtf8(c.caption));
        EXPECT_EQ(seen.text, c.shownText);
        EXPECT_EQ(seen.textFormat, Qt::PlainText);
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(seen.buttonCount, 1);
        EXPECT_TRUE(seen.okButton);
        EXPECT_EQ(VisibleMessageBox(), nullptr);
    }
}

TEST_F(MessageBoxATest, BoxHasNoOwnerAndLeavesOtherWindowsWorking) {
    SeenBox seen;
    DismissBoxWhenShown(seen, ClickOk, otherWindow_.get());
    EXPECT_EQ(MessageBoxA(nullptr, "x", "t", MB_ICONERROR), IDOK);
    ASSERT_TRUE(seen.found);
    EXPECT_FALSE(seen.hasParent);
    EXPECT_EQ(seen.modality, Qt::NonModal);
    EXPECT_FALSE(seen.modalWidgetPresent);
    EXPECT_TRUE(seen.otherWindowEnabled);
}

TEST_F(MessageBoxATest, ClosingTheBoxWindowAlsoAnswersOk) {
    SeenBox seen;
    DismissBoxWhenShown(
        seen, [](QMessageBox* box) { box->close(); }, otherWindow_.get());
    EXPECT_EQ(MessageBoxA(nullptr, "x", "t", MB_OK), IDOK);
    EXPECT_TRUE(seen.found);
}

}  // namespace
