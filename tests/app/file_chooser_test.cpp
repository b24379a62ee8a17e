// The file chooser: what reaches the open-file dialog and what comes back.
#include "app/file_chooser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/qt/file_dialog_seam.h"
#include "platform/qt/qt_application.h"
#include "platform/win32.h"
#include "runtime/dialog_framework.h"

namespace {

using Filters = std::vector<std::pair<std::string, std::string>>;

std::string CurrentFolder() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

class FileChooserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(EnsureQtApplication(), nullptr);
        owner_ = BuildDialog(nullptr, "Chooser owner", 0, 0, 100, 50, 0x00C80800, 0);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override { FinishDialog(owner_, 0); }
    HWND owner_ = nullptr;
};

TEST_F(FileChooserTest, ArgumentsReachTheDialogAndTheChoiceComesBack) {
    SetNextFileDialogAnswer({true, "/data/reports/a.txt"});
    DynamicString path = "start.txt";
    std::uint32_t flags = 0x1000;
    std::int32_t result = ChooseFileToOpen(owner_, "Select File To Print", path, "/data/reports",
                                           "Text files|*.txt|All|*.*", "txt", flags);
    EXPECT_NE(result, 0);
    EXPECT_EQ(path.ToStdString(), "/data/reports/a.txt");
    EXPECT_EQ(flags, 0x1000u);

    FileDialogRequest asked = LastFileDialogRequest();
    EXPECT_EQ(asked.owner, owner_);
    EXPECT_TRUE(asked.ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner_));  // and enabled again afterwards
    EXPECT_TRUE(asked.titleGiven);
    EXPECT_EQ(asked.title, "Select File To Print");
    EXPECT_EQ(asked.initialDirectory, "/data/reports");
    EXPECT_EQ(asked.fileName, "start.txt");
    EXPECT_EQ(asked.filters, (Filters{{"Text files", "*.txt"}, {"All", "*.*"}}));
    EXPECT_EQ(asked.filterIndex, 1u);
    EXPECT_EQ(asked.defaultExtension, "txt");
    EXPECT_EQ(asked.flags, 0x1000u);
}

TEST_F(FileChooserTest, FilterTextBecomesTheFilterList) {
    struct Case {
        const char* text;
        Filters expected;
    };
    const Case cases[] = {
        {"*.*", {{"*.*", ""}}},  // the main dialog's: one entry without a pattern
        {"Text|*.txt|", {{"Text", "*.txt"}}},
        {"Text|*.txt;*.lst|Any", {{"Text", "*.txt;*.lst"}, {"Any", ""}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SetNextFileDialogAnswer({false, ""});
        DynamicString path;
        std::uint32_t flags = 0;
        ChooseFileToOpen(owner_, "t", path, "/", c.text, "", flags);
        EXPECT_EQ(LastFileDialogRequest().filters, c.expected) << c.text;
    }
}

TEST_F(FileChooserTest, DefaultsAndCutsOfTheStartingValues) {
    SetNextFileDialogAnswer({false, ""});
    std::string longName(300, 'n');
    DynamicString path(longName);
    std::uint32_t flags = 0x1000;
    std::int32_t result = ChooseFileToOpen(owner_, "", path, "", "*.*", "", flags);
    EXPECT_EQ(result, 0);
    FileDialogRequest asked = LastFileDialogRequest();
    EXPECT_FALSE(asked.titleGiven);
    EXPECT_EQ(asked.title, "Open");
    EXPECT_EQ(asked.initialDirectory, CurrentFolder());
    EXPECT_EQ(asked.fileName, std::string(259, 'n'));
    // Written back after a cancel too: the file name buffer's text.
    EXPECT_EQ(path.ToStdString(), std::string(259, 'n'));

    SetNextFileDialogAnswer({false, ""});
    std::string longFolder = "/" + std::string(300, 'd');
    ChooseFileToOpen(owner_, "t", path, DynamicString(longFolder), "*.*", "", flags);
    EXPECT_EQ(LastFileDialogRequest().initialDirectory, longFolder.substr(0, 259));
}

TEST_F(FileChooserTest, APathTooLongForTheBufferFails) {
    std::string tooLong = "/" + std::string(259, 'p');  // 260 bytes, no room for the zero
    SetNextFileDialogAnswer({true, tooLong});
    DynamicString path = "kept.txt";
    std::uint32_t flags = 0x1000;
    EXPECT_EQ(ChooseFileToOpen(owner_, "t", path, "/", "*.*", "", flags), 0);
    EXPECT_EQ(path.ToStdString(), "kept.txt");

    std::string fits = "/" + std::string(258, 'p');
    SetNextFileDialogAnswer({true, fits});
    EXPECT_NE(ChooseFileToOpen(owner_, "t", path, "/", "*.*", "", flags), 0);
    EXPECT_EQ(path.ToStdString(), fits);
}

QFileDialog* OpenFileDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

// Answers the real dialog from a timer once it shows; gives up after a while.
void AnswerRealDialog(std::function<void(QFileDialog*)> answer) {
    auto* timer = new QTimer();
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, answer]() {
        QFileDialog* dialog = OpenFileDialog();
        if (dialog != nullptr || ++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            if (dialog != nullptr) {
                answer(dialog);
            }
        }
    });
    timer->start(10);
}

TEST_F(FileChooserTest, RealDialogIsAnsweredAndCancelled) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::string report = folder.path().toStdString() + "/report.txt";
    std::ofstream(report) << "line\n";

    QString title;
    QString shownFolder;
    bool ownerEnabled = true;
    AnswerRealDialog([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        shownFolder = dialog->directory().absolutePath();
        ownerEnabled = IsWindowEnabled(owner_);
        dialog->selectFile(QStringLiteral("report.txt"));
        static_cast<QDialog*>(dialog)->accept();  // the file dialog's own checks run
    });
    DynamicString path;
    std::uint32_t flags = 0x1000;
    std::int32_t result =
        ChooseFileToOpen(owner_, "Select File To Print", path,
                         DynamicString(folder.path().toStdString()), "*.*", "", flags);
    EXPECT_NE(result, 0);
    EXPECT_EQ(path.ToStdString(), report);
    EXPECT_EQ(title, QStringLiteral("Select File To Print"));
    EXPECT_EQ(shownFolder, folder.path());
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner_));

    AnswerRealDialog([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        dialog->reject();
    });
    path = "";
    result = ChooseFileToOpen(owner_, "", path, DynamicString(folder.path().toStdString()), "*.*",
                              "", flags);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(path.IsEmpty());
    EXPECT_EQ(title, QStringLiteral("Open"));
}

// The real dialog over its owner, at a size where a file's details show
// whole, listing the program's filter as the program wrote it.
TEST_F(FileChooserTest, RealDialogSitsOverItsOwnerShowingDetailsWholeAndTheFilterAsGiven) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // Longer than the name column's first width.
    std::ofstream(folder.path().toStdString() + "/Hestrel PELM Demo of the month (2).txt") << "x\n";
    ShowWindow(owner_, SW_SHOW);
    QWidget* ownerWidget = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == QLatin1String("Chooser owner")) {
            ownerWidget = widget;
        }
    }
    ASSERT_NE(ownerWidget, nullptr);
    // In the middle of the screen, so the dialog needs no moving to fit.
    ownerWidget->move(ownerWidget->screen()->availableGeometry().center() -
                      ownerWidget->rect().center());
    QPoint ownerCentre;
    QPoint dialogCentre;
    QString filterShown;
    std::vector<std::pair<int, int>> columns;  // width given, width its text needs
    int spare = 0;
    AnswerRealDialog([&](QFileDialog* dialog) {
        ownerCentre = ownerWidget->frameGeometry().center();
        dialogCentre = dialog->frameGeometry().center();
        filterShown = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        auto* files = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        for (int turn = 0; turn < 200 && files->model()->rowCount(files->rootIndex()) == 0;
             ++turn) {
            QTest::qWait(10);  // the folder is read in the background
        }
        QTest::qWait(50);
        const QModelIndex first = files->model()->index(0, 0, files->rootIndex());
        EXPECT_TRUE(first.isValid());
        for (int column = 0; column <= 3 && first.isValid(); ++column) {
            const QString text =
                files->model()->index(0, column, files->rootIndex()).data().toString();
            columns.emplace_back(files->header()->sectionSize(column),
                                 files->fontMetrics().horizontalAdvance(text));
        }
        // No room left empty beside the columns.
        spare = files->viewport()->width() - files->header()->length();
        dialog->reject();
    });
    DynamicString path;
    std::uint32_t flags = 0x1000;
    ChooseFileToOpen(owner_, "Select File To Print", path,
                     DynamicString(folder.path().toStdString()), "*.*", "", flags);
    EXPECT_LE(spare, 0);
    EXPECT_LE((dialogCentre - ownerCentre).manhattanLength(), 4);
    EXPECT_EQ(filterShown, QStringLiteral("*.*"));
    for (const auto& [given, needed] : columns) {
        EXPECT_GT(given, needed);
    }
}

}  // namespace
