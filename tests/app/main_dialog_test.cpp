// The main dialog driven as a person drives it: keys and clicks on the real
// window layer (headless), the real print engine writing PDFs into a
// temporary folder, the seams answering message boxes and the file chooser.
#include "app/main_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/qt/file_dialog_seam.h"
#include "platform/qt/message_pump.h"
#include "platform/qt/qt_application.h"
#include "platform/win32.h"
#include "runtime/dialog_framework.h"
#include "runtime/message_box_seam.h"
#include "tests/pelm32/pdf_tools.h"

namespace {

using pelm32_test::FolderEntries;
using pelm32_test::PdfPageCount;
using pelm32_test::PdfText;

const QString kCaption = QStringLiteral("pelm Print and Preview Watermark Demo");

QWidget* MainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == kCaption) {
            return widget;
        }
    }
    return nullptr;
}

QPushButton* Button(const char* text) {
    QWidget* window = MainWindow();
    for (auto* button : window ? window->findChildren<QPushButton*>() : QList<QPushButton*>()) {
        if (button->text() == QLatin1String(text)) {
            return button;
        }
    }
    return nullptr;
}

QLineEdit* PathBox() {
    QWidget* window = MainWindow();
    return window ? window->findChild<QLineEdit*>() : nullptr;
}

std::vector<QMessageBox*> OpenBoxes() {
    std::vector<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            boxes.push_back(box);
        }
    }
    return boxes;
}

void Click(const char* buttonText) {
    QPushButton* button = Button(buttonText);
    ASSERT_NE(button, nullptr) << buttonText;
    QTest::mouseClick(button, Qt::LeftButton);
}

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

// Types into the text box as a person would: it must have the focus.
void Type(const std::string& text) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(target, PathBox());
    QTest::keyClicks(target, QString::fromStdString(text));
}

// Keys take effect only once the modal loop has handled them, so the count
// of backspaces is taken first.
void ClearPathBox() {
    ASSERT_NE(PathBox(), nullptr);
    ASSERT_EQ(QApplication::focusWidget(), PathBox());
    const int length = static_cast<int>(PathBox()->text().size());
    Press(Qt::Key_End);
    for (int i = 0; i < length; ++i) {
        Press(Qt::Key_Backspace);
    }
}

// Runs one step per timer tick inside the dialog's modal loop. A dialog still
// open well after the last step is closed (after any open box), so a test
// fails, never hangs.
class Script {
  public:
    explicit Script(std::vector<std::function<void()>> steps) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this]() { Tick(); });
        timer_.start(20);
    }
    bool Forced() const { return forced_; }

  private:
    void Tick() {
        // A step runs only once the loop has handled everything the last one
        // queued: a click's command would otherwise overtake typed keys still
        // waiting in the queue when ticks come faster than the loop.
        if (!MessageQueueIsEmpty() && ++drainTicks_ < kMaxDrainTicks) {
            return;
        }
        drainTicks_ = 0;
        // The first step waits until the dialog shows with its focus set.
        if (next_ == 0 && QApplication::focusWidget() == nullptr && ++waitTicks_ < 100) {
            return;
        }
        if (next_ < steps_.size()) {
            steps_[next_++]();
            return;
        }
        if (++idleTicks_ < 100) {
            return;
        }
        forced_ = true;
        std::vector<QMessageBox*> boxes = OpenBoxes();
        if (!boxes.empty()) {
            boxes.back()->button(QMessageBox::Ok)->click();
        } else if (QWidget* window = MainWindow()) {
            window->close();
        }
    }
    std::vector<std::function<void()>> steps_;
    std::size_t next_ = 0;
    int idleTicks_ = 0;
    int waitTicks_ = 0;
    bool forced_ = false;
    int drainTicks_ = 0;
    static constexpr int kMaxDrainTicks = 500;
    QTimer timer_;
};

struct AppRun {
    std::int32_t result = -1;
    bool forced = false;
};

AppRun RunAppMain(std::vector<std::function<void()>> steps) {
    Script script(std::move(steps));
    AppRun run;
    // The arguments are not used: the same run with others behaves alike.
    run.result = AppMain(nullptr, nullptr, "--ignored argument", 10);
    run.forced = script.Forced();
    return run;
}

const std::function<void()> kWait = [] {};

class MainDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(EnsureQtApplication(), nullptr);
        ASSERT_TRUE(folder_.isValid());
        work_ = folder_.path().toStdString() + "/work";
        output_ = folder_.path().toStdString() + "/out";
        ASSERT_EQ(mkdir(work_.c_str(), 0700), 0);
        ASSERT_EQ(mkdir(output_.c_str(), 0700), 0);
        char buffer[4096];
        ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
        previousFolder_ = buffer;
        ASSERT_EQ(chdir(work_.c_str()), 0);
        setenv("PELM32_OUTPUT_DIR", output_.c_str(), 1);
        setenv("PELM32_PREVIEW", "0", 1);
        ResetMessageBoxSeam();
    }
    void TearDown() override {
        ResetMessageBoxSeam();
        EXPECT_EQ(chdir(previousFolder_.c_str()), 0);
        for (const std::string& pdf : Pdfs()) {
            EXPECT_TRUE(pelm32_test::QpdfClean(pdf));
            EXPECT_TRUE(pelm32_test::GhostscriptReads(pdf));
        }
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = work_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Three pages: two break markers among CR LF lines.
    std::string WriteThreePageReport(const std::string& name = "report.txt") {
        return Write(name,
                     "first page line\r\n.PAGE.\r\nsecond page line\r\n  .PAGE.  \r\n"
                     "third page line\r\n");
    }

    std::vector<std::string> Pdfs() const {
        std::vector<std::string> pdfs;
        for (const std::string& name : FolderEntries(output_)) {
            pdfs.push_back(output_ + "/" + name);
        }
        return pdfs;
    }

    // Every message box shown from here on is recorded, not shown.
    static void AnswerBoxes(int count) {
        for (int i = 0; i < count; ++i) {
            SetNextMessageBoxAnswer(IDOK);
        }
    }

    QTemporaryDir folder_;
    std::string work_;
    std::string output_;
    std::string previousFolder_;
};

TEST_F(MainDialogTest, DialogIsBuiltFromItsTable) {
    struct Expected {
        int id;
        const char* text;
        std::uint32_t style;
        std::uint32_t extendedStyle;
    };
    const Expected controls[] = {
        {IDC_FILEPATH, "", 0x50010080, 0x200},
        {IDC_BROWSE, "&Browse", 0x50010000, 0},
        {IDC_QUIT, "&Quit", 0x50010000, 0},
        {IDC_PRINT, "&Print", 0x50010000, 0},
    };
    struct Place {
        QString text;  // the label's or button's text; empty for the text box
        RECT units;
    };
    const std::vector<Place> places = {
        {"File to Print", {10, 10, 120, 22}}, {"", {10, 26, 170, 40}},
        {"&Browse", {120, 10, 160, 24}},      {"&Quit", {130, 75, 170, 89}},
        {"&Print", {70, 46, 110, 60}},        {"Demo Program Courtesy Brannoc", {5, 94, 185, 106}},
    };
    HWND dialog = nullptr;
    std::vector<std::string> texts;
    std::vector<std::uint32_t> styles, extendedStyles;
    std::vector<QRect> shown, expected;
    bool centred = false;
    AppRun run = RunAppMain(
        {[&] {
             dialog = GetAncestor(GetFocus(), GA_ROOT);
             for (const Expected& c : controls) {
                 HWND control = GetDlgItem(dialog, c.id);
                 char buffer[64] = {};
                 GetWindowTextA(control, buffer, sizeof buffer);
                 texts.push_back(buffer);
                 styles.push_back(static_cast<std::uint32_t>(GetWindowLongA(control, GWL_STYLE)));
                 extendedStyles.push_back(
                     static_cast<std::uint32_t>(GetWindowLongA(control, GWL_EXSTYLE)));
             }
             QWidget* window = MainWindow();
             for (const Place& place : places) {
                 RECT pixels = place.units;
                 MapDialogRect(dialog, &pixels);
                 expected.emplace_back(pixels.left, pixels.top, pixels.right - pixels.left,
                                       pixels.bottom - pixels.top);
                 QWidget* widget = PathBox();
                 for (auto* label : window->findChildren<QLabel*>()) {
                     widget = label->text() == place.text ? label : widget;
                 }
                 for (auto* button : window->findChildren<QPushButton*>()) {
                     widget = button->text() == place.text ? button : widget;
                 }
                 shown.push_back(widget->geometry());
             }
             QRect screen = window->screen()->availableGeometry();
             centred = std::abs(window->frameGeometry().center().x() - screen.center().x()) <= 2;
         },
         [&] { FinishDialog(dialog, 0); }});
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(run.forced);
    ASSERT_EQ(texts.size(), std::size(controls));
    for (std::size_t i = 0; i < std::size(controls); ++i) {
        EXPECT_EQ(texts[i], controls[i].text) << controls[i].id;
        EXPECT_EQ(styles[i], controls[i].style) << controls[i].id;
        EXPECT_EQ(extendedStyles[i], controls[i].extendedStyle) << controls[i].id;
    }
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(centred);  // the given position does not take effect
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(MainDialogTest, TypedPathAndPrintGiveTheWholeDocument) {
    std::string report = WriteThreePageReport();
    AnswerBoxes(1);
    std::string typed;
    AppRun run = RunAppMain({[report] { Type(report); },
                             [&typed] {
                                 typed = PathBox()->text().toStdString();
                                 Click("&Print");
                             },
                             kWait, [] { Click("&Quit"); }});
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(run.forced);
    EXPECT_EQ(typed, report);
    EXPECT_TRUE(TakeMessageBoxRequests().empty());
    std::vector<std::string> pdfs = Pdfs();
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_EQ(PdfPageCount(pdfs[0]), 3);
    EXPECT_NE(PdfText(pdfs[0], 2).find("second page line"), std::string::npos);
    std::string lastPage = PdfText(pdfs[0], 3);
    EXPECT_NE(lastPage.find("third page line"), std::string::npos);
    EXPECT_NE(lastPage.find("** END OF REPORT **"), std::string::npos);
}

TEST_F(MainDialogTest, RelativePathIsFoundInTheCurrentFolderAndEachPrintIsADocument) {
    WriteThreePageReport("relative.txt");
    AppRun run = RunAppMain({[] { Type("relative.txt"); }, [] { Click("&Print"); }, kWait,
                             [] { Click("&Print"); }, kWait, [] { Click("&Quit"); }});
    EXPECT_FALSE(run.forced);
    std::vector<std::string> pdfs = Pdfs();
    ASSERT_EQ(pdfs.size(), 2u);
    for (const std::string& pdf : pdfs) {
        EXPECT_EQ(PdfPageCount(pdf), 3) << pdf;
    }
}

TEST_F(MainDialogTest, PathsThatMatchNoPlainFileDoNothing) {
    WriteThreePageReport();
    Write(".hidden.txt", "hidden\r\n");
    ASSERT_EQ(mkdir((work_ + "/folder").c_str(), 0700), 0);
    Write("folder/inside.txt", "inside\r\n");
    ASSERT_EQ(mkfifo((work_ + "/pipe").c_str(), 0600), 0);
    const std::vector<std::string> texts = {
        "",  // no search pending: nothing to continue
        work_ + "/no such file.txt",
        work_ + "/folder",
        work_ + "/.hidden.txt",
        ".hidden.txt",
        work_ + "/pipe",
        work_ + "/nofolder/report.txt",
        work_ + "/report.txt ",  // not trimmed
    };
    for (const std::string& text : texts) {
        AnswerBoxes(1);
        AppRun run =
            RunAppMain({[text] { Type(text); }, [] { Click("&Print"); }, kWait,
                        [] { Press(Qt::Key_P, Qt::AltModifier); }, kWait, [] { Click("&Quit"); }});
        EXPECT_FALSE(run.forced) << text;
        EXPECT_TRUE(TakeMessageBoxRequests().empty()) << text;
        EXPECT_TRUE(Pdfs().empty()) << text;
        ResetMessageBoxSeam();
    }
}

TEST_F(MainDialogTest, MatchesThatAreNotTheFileItselfReachThePrintJobAndFailToOpen) {
    WriteThreePageReport("a.txt");
    WriteThreePageReport("b.txt");
    struct Case {
        std::string text;
        std::string errorNumber;
    };
    const std::vector<Case> cases = {
        {work_ + "/a.t?t", " 64"},  // the pattern itself is no file name
        {work_ + "/*.txt", " 64"},
        {work_ + "/", " 70"},  // the first file of the folder matches; the folder opens as none
    };
    for (const Case& c : cases) {
        AnswerBoxes(2);
        AppRun run = RunAppMain(
            {[&c] { Type(c.text); }, [] { Click("&Print"); }, kWait, [] { Click("&Quit"); }});
        EXPECT_FALSE(run.forced) << c.text;
        std::vector<MessageBoxRequest> boxes = TakeMessageBoxRequests();
        ASSERT_EQ(boxes.size(), 1u) << c.text;
        EXPECT_EQ(boxes[0].text,
                  "Error on OPEN of file '" + c.text + "' in PrintReportFile:" + c.errorNumber);
        EXPECT_EQ(boxes[0].caption, "Fenwarth Error");
        EXPECT_TRUE(Pdfs().empty()) << c.text;
        ResetMessageBoxSeam();
    }
}

TEST_F(MainDialogTest, EmptyTextAfterAPatternContinuesItsSearch) {
    // "*.txt" matches two files; Print with an empty text box finds the
    // second and hands the empty path to the print job.
    WriteThreePageReport("a.txt");
    WriteThreePageReport("b.txt");
    AnswerBoxes(3);
    AppRun run = RunAppMain({[this] { Type(work_ + "/*.txt"); }, [] { Click("&Print"); }, kWait,
                             [] { QTest::mouseClick(PathBox(), Qt::LeftButton); },
                             [] { ClearPathBox(); }, [] { Click("&Print"); }, kWait,
                             [] { Click("&Print"); }, kWait, [] { Click("&Quit"); }});
    EXPECT_FALSE(run.forced);
    std::vector<MessageBoxRequest> boxes = TakeMessageBoxRequests();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text.rfind("Error on OPEN of file '' in PrintReportFile: ", 0), 0u)
        << boxes[1].text;
    EXPECT_TRUE(Pdfs().empty());
}

TEST_F(MainDialogTest, BrowseFillsTheTextBoxOnlyWhenAFileIsChosen) {
    std::string other = folder_.path().toStdString();
    std::string chosen = WriteThreePageReport("chosen.txt");
    std::vector<FileDialogRequest> requests;
    std::vector<std::string> texts;
    auto note = [&] {
        requests.push_back(LastFileDialogRequest());
        texts.push_back(PathBox()->text().toStdString());
    };
    HWND dialog = nullptr;
    AppRun run = RunAppMain({[&dialog] {
                                 dialog = GetAncestor(GetFocus(), GA_ROOT);
                                 Type("typed text");
                             },
                             [chosen] {
                                 SetNextFileDialogAnswer({true, chosen});
                                 Click("&Browse");
                             },
                             note,
                             [other] {
                                 // Worked out anew: a changed folder is where the next one starts.
                                 ASSERT_EQ(chdir(other.c_str()), 0);
                                 SetNextFileDialogAnswer({false, ""});
                                 Click("&Browse");
                             },
                             note, [] { Click("&Print"); }, kWait, [] { Click("&Quit"); }});
    EXPECT_FALSE(run.forced);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(texts, (std::vector<std::string>{chosen, chosen}));
    for (const FileDialogRequest& asked : requests) {
        EXPECT_EQ(asked.owner, dialog);
        EXPECT_TRUE(asked.ownerDisabled);
        EXPECT_TRUE(asked.titleGiven);
        EXPECT_EQ(asked.title, "Select File To Print");
        EXPECT_EQ(asked.fileName, "");  // never the typed text
        EXPECT_EQ(asked.flags, 0x1000u);
        EXPECT_EQ(asked.defaultExtension, "");
        EXPECT_EQ(asked.filters, (std::vector<std::pair<std::string, std::string>>{{"*.*", ""}}));
    }
    EXPECT_EQ(requests[0].initialDirectory, work_);
    EXPECT_EQ(requests[1].initialDirectory, other);
    // The chosen path prints.
    std::vector<std::string> pdfs = Pdfs();
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_EQ(PdfPageCount(pdfs[0]), 3);
}

TEST_F(MainDialogTest, EnterAndEscapeInTheTextBoxDoNothing) {
    std::string report = WriteThreePageReport();
    AnswerBoxes(1);
    bool open = false;
    std::string text;
    QWidget* focus = nullptr;
    AppRun run = RunAppMain({[report] { Type(report); }, [] { Press(Qt::Key_Return); },
                             [] { Press(Qt::Key_Enter); }, [] { Press(Qt::Key_Escape); }, kWait,
                             [&] {
                                 open = MainWindow() != nullptr;
                                 text = PathBox()->text().toStdString();
                                 focus = QApplication::focusWidget();
                             },
                             [] { Click("&Quit"); }});
    EXPECT_FALSE(run.forced);
    EXPECT_TRUE(open);
    EXPECT_EQ(text, report);
    EXPECT_NE(focus, nullptr);
    EXPECT_TRUE(TakeMessageBoxRequests().empty());
    EXPECT_TRUE(Pdfs().empty());
}

TEST_F(MainDialogTest, TabGoesTextBoxBrowseQuitPrint) {
    std::vector<QString> order;
    auto note = [&order] {
        QWidget* focus = QApplication::focusWidget();
        auto* button = qobject_cast<QPushButton*>(focus);
        order.push_back(button                                   ? button->text()
                        : focus == PathBox() && focus != nullptr ? QStringLiteral("text box")
                                                                 : QStringLiteral("?"));
    };
    AppRun run = RunAppMain({note, [] { Press(Qt::Key_Tab); }, note, [] { Press(Qt::Key_Tab); },
                             note, [] { Press(Qt::Key_Tab); }, note, [] { Press(Qt::Key_Tab); },
                             note, [] { Press(Qt::Key_Backtab, Qt::ShiftModifier); }, note,
                             [] { Click("&Quit"); }});
    EXPECT_FALSE(run.forced);
    EXPECT_EQ(order, (std::vector<QString>{"text box", "&Browse", "&Quit", "&Print", "text box",
                                           "&Print"}));
}

TEST_F(MainDialogTest, AltAndAMnemonicActLikeTheButton) {
    std::string report = WriteThreePageReport();
    std::string chosen = WriteThreePageReport("chosen.txt");
    std::string afterBrowse;
    AppRun run =
        RunAppMain({[report] { Type(report); }, [] { Press(Qt::Key_P, Qt::AltModifier); }, kWait,
                    [chosen] {
                        SetNextFileDialogAnswer({true, chosen});
                        Press(Qt::Key_B, Qt::AltModifier);
                    },
                    kWait,
                    [&afterBrowse] {
                        afterBrowse = PathBox()->text().toStdString();
                        Press(Qt::Key_Q, Qt::AltModifier);
                    }});
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(run.forced);  // Alt+Q ended it
    EXPECT_EQ(afterBrowse, chosen);
    std::vector<std::string> pdfs = Pdfs();
    ASSERT_EQ(pdfs.size(), 1u);  // one Alt+P, one document
    EXPECT_EQ(PdfPageCount(pdfs[0]), 3);
}

TEST_F(MainDialogTest, EnterOnAFocusedButtonPressesIt) {
    AppRun run = RunAppMain(
        {[] { Press(Qt::Key_Tab); }, [] { Press(Qt::Key_Tab); }, [] { Press(Qt::Key_Return); }});
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(run.forced);  // Quit had the focus
}

TEST_F(MainDialogTest, QuitAndTheCloseButtonEndTheDialogWithZero) {
    const std::vector<std::function<void()>> endings = {
        [] { Click("&Quit"); }, [] { MainWindow()->close(); },  // the title bar's close button
    };
    for (const auto& ending : endings) {
        HWND dialog = nullptr;
        AppRun run = RunAppMain({[&dialog] { dialog = GetAncestor(GetFocus(), GA_ROOT); }, ending});
        EXPECT_EQ(run.result, 0);
        EXPECT_FALSE(run.forced);
        EXPECT_NE(dialog, nullptr);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(MainWindow(), nullptr);
    }
}

TEST_F(MainDialogTest, PrintWhileAMessageBoxIsOpenRunsAgainInsideTheFirstRun) {
    // Real boxes: the first stays open while the dialog takes a second Print.
    WriteThreePageReport("a.txt");
    std::string pattern = work_ + "/a.t?t";
    std::string folderPath = work_ + "/";
    std::vector<QString> boxTexts;
    AppRun run = RunAppMain({[pattern] { Type(pattern); }, [] { Click("&Print"); }, kWait,
                             [folderPath] {
                                 ASSERT_EQ(OpenBoxes().size(), 1u);
                                 // The box has the keyboard; the text is put in directly.
                                 PathBox()->setText(QString::fromStdString(folderPath));
                             },
                             [] { Click("&Print"); }, kWait,
                             [&boxTexts] {
                                 for (QMessageBox* box : OpenBoxes()) {
                                     boxTexts.push_back(box->text());
                                 }
                             },
                             [] {
                                 // The inner run's box closes first.
                                 std::vector<QMessageBox*> boxes = OpenBoxes();
                                 for (QMessageBox* box : boxes) {
                                     if (box->text().endsWith(QStringLiteral(" 70"))) {
                                         box->button(QMessageBox::Ok)->click();
                                     }
                                 }
                             },
                             kWait,
                             [] {
                                 std::vector<QMessageBox*> boxes = OpenBoxes();
                                 ASSERT_EQ(boxes.size(), 1u);
                                 boxes[0]->button(QMessageBox::Ok)->click();
                             },
                             kWait, [] { Click("&Quit"); }});
    EXPECT_FALSE(run.forced);
    ASSERT_EQ(boxTexts.size(), 2u);
    std::sort(boxTexts.begin(), boxTexts.end());
    const QString expectedFolder =
        QString::fromStdString("Error on OPEN of file '" + folderPath + "' in PrintReportFile: 70");
    const QString expectedPattern =
        QString::fromStdString("Error on OPEN of file '" + pattern + "' in PrintReportFile: 64");
    std::vector<QString> expected = {expectedFolder, expectedPattern};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(boxTexts, expected);
    EXPECT_TRUE(OpenBoxes().empty());
    EXPECT_TRUE(Pdfs().empty());
}

}  // namespace
