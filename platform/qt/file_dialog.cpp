// The open-file dialog on Qt's file dialog, with a seam for tests.
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QStyle>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/qt/file_dialog_seam.h"
#include "platform/qt/message_pump.h"
#include "platform/qt/window_table.h"
#include "platform/win32_commdlg.h"

namespace {

DWORD extendedError = 0;
std::optional<FileDialogAnswer> nextAnswer;
FileDialogRequest lastRequest;

// The filter list: zero-terminated description and pattern strings,
// alternating, closed by an empty string.
std::vector<std::pair<std::string, std::string>> ReadFilters(const char* list) {
    std::vector<std::pair<std::string, std::string>> filters;
    if (list == nullptr) {
        return filters;
    }
    while (*list != '\0') {
        std::string description = list;
        list += description.size() + 1;
        std::string pattern = list;
        if (!pattern.empty()) {
            list += pattern.size() + 1;
        }
        filters.emplace_back(description, pattern);
    }
    return filters;
}

QString QtFilter(const std::pair<std::string, std::string>& filter) {
    // An entry without a pattern lists every file; ";" separates patterns
    // here, and "*.*" means every file, as on Windows, dot or none.
    QStringList patterns;
    for (const QString& pattern : QString::fromLocal8Bit(filter.second).split(u';')) {
        patterns << (pattern.isEmpty() || pattern == QLatin1String("*.*") ? QStringLiteral("*")
                                                                          : pattern);
    }
    return QString::fromLocal8Bit(filter.first) + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

// The columns of a name and its details (size, type, date) wide enough to
// show them whole; the width they take, for the dialog's size.
int WidenDetails(QFileDialog& dialog) {
    auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (files == nullptr) {
        return 0;
    }
    const QFontMetrics metrics(files->font());
    const int padding = metrics.averageCharWidth() * 3;
    const QString samples[] = {QStringLiteral("sample-report-name.txt"),
                               QStringLiteral("999.99 KiB"), QStringLiteral("plain text document"),
                               QLocale().toString(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 59)),
                                                  QLocale::ShortFormat)};
    int width = 0;
    for (int column = 0; column <= 3; ++column) {
        const int wanted = metrics.horizontalAdvance(samples[column]) + padding;
        files->header()->resizeSection(column, wanted);
        width += wanted;
    }
    return width + files->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + padding;
}

// The details as wide as their contents, and the names whole, in all the
// width the details leave.
void FitColumns(QTreeView& files) {
    int details = 0;
    for (int column = 1; column <= 3; ++column) {
        files.resizeColumnToContents(column);
        details += files.header()->sectionSize(column);
    }
    files.resizeColumnToContents(0);
    const int room = files.viewport()->width() - details;
    files.header()->resizeSection(0, std::max(room, files.header()->sectionSize(0)));
}

// Centred over the owner, and kept on its screen.
void PlaceOver(QFileDialog& dialog, const QWidget* owner) {
    const QScreen* screen = owner->screen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
    QSize size = dialog.size();
    if (area.isValid()) {
        size = size.boundedTo(area.size() * 0.9);
        dialog.resize(size);
    }
    QRect placed(QPoint(), size);
    placed.moveCenter(owner->frameGeometry().center());
    if (area.isValid()) {
        placed.moveLeft(std::clamp(placed.left(), area.left(), area.right() - size.width()));
        placed.moveTop(std::clamp(placed.top(), area.top(), area.bottom() - size.height()));
    }
    dialog.move(placed.topLeft());
}

FileDialogAnswer AskPerson(const FileDialogRequest& request, HWND owner) {
    QFileDialog dialog(nullptr, QString::fromLocal8Bit(request.title),
                       QString::fromLocal8Bit(request.initialDirectory));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The program's filter text as it gave it, not with Qt's pattern list.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // A plain folder icon for every folder: no lookups of folders' own icons.
    dialog.setOption(QFileDialog::DontUseCustomDirectoryIcons);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((request.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
    QStringList filters;
    for (const auto& filter : request.filters) {
        filters << QtFilter(filter);
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
            dialog.selectNameFilter(filters[static_cast<qsizetype>(request.filterIndex - 1)]);
        }
    }
    if (!request.fileName.empty()) {
        dialog.selectFile(QString::fromLocal8Bit(request.fileName));
    }
    // Room for the places, a name and its details: no wider than that.
    const int places = dialog.fontMetrics().averageCharWidth() * 26;
    const QSize hint = dialog.sizeHint();
    dialog.resize(std::max(hint.width(), WidenDetails(dialog) + places),
                  std::max(hint.height(), hint.width() * 3 / 5));
    if (windowing::WindowSlot* slot = windowing::Slot(owner); slot && slot->widget) {
        dialog.winId();
        dialog.windowHandle()->setTransientParent(slot->widget->window()->windowHandle());
        PlaceOver(dialog, slot->widget->window());
    }
    // Modal to its owner only (which is disabled): other windows keep working.
    dialog.setWindowModality(Qt::NonModal);
    bool finished = false;
    QObject::connect(&dialog, &QDialog::finished, [&finished]() { finished = true; });
    dialog.show();
    // Once a folder's files are in, their names and details are measured
    // for real; the names take the room the details leave.
    if (auto* model = dialog.findChild<QFileSystemModel*>()) {
        QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog, [&dialog] {
            if (auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
                FitColumns(*files);
            }
        });
    }
    while (!finished) {
        if (!PumpOneMessage()) {
            Sleep(1);
        }
    }
    FileDialogAnswer answer;
    QStringList chosen = dialog.selectedFiles();
    if (dialog.result() == QDialog::Accepted && !chosen.isEmpty()) {
        answer.chosen = true;
        answer.path = QFile::encodeName(chosen.first()).toStdString();
    }
    return answer;
}

void WriteResult(LPOPENFILENAMEA request, const std::string& path) {
    std::memcpy(request->lpstrFile, path.c_str(), path.size() + 1);
    std::size_t slash = path.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    request->nFileOffset = static_cast<WORD>(nameStart);
    request->nFileExtension =
        static_cast<WORD>(dot != std::string::npos && dot >= nameStart ? dot + 1 : path.size());
    if (request->lpstrFileTitle != nullptr && request->nMaxFileTitle > 0) {
        std::string name = path.substr(nameStart);
        if (name.size() < request->nMaxFileTitle) {
            std::memcpy(request->lpstrFileTitle, name.c_str(), name.size() + 1);
        }
    }
}

}  // namespace

void SetNextFileDialogAnswer(const FileDialogAnswer& answer) {
    nextAnswer = answer;
}

FileDialogRequest LastFileDialogRequest() {
    return lastRequest;
}

DWORD WINAPI CommDlgExtendedError() {
    return extendedError;
}

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA request) {
    extendedError = 0;
    if (request == nullptr || (request->lStructSize != OPENFILENAME_SIZE_VERSION_400A &&
                               request->lStructSize != sizeof(OPENFILENAMEA))) {
        extendedError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (request->lpstrFile == nullptr || request->nMaxFile == 0) {
        extendedError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    windowing::EnsureWindowing();
    FileDialogRequest asked;
    asked.owner = request->hwndOwner;
    asked.titleGiven = request->lpstrTitle != nullptr && request->lpstrTitle[0] != '\0';
    asked.title = asked.titleGiven ? request->lpstrTitle : "Open";
    asked.initialDirectory = request->lpstrInitialDir ? request->lpstrInitialDir : "";
    asked.fileName.assign(request->lpstrFile, strnlen(request->lpstrFile, request->nMaxFile));
    asked.filters = ReadFilters(request->lpstrFilter);
    asked.filterIndex = request->nFilterIndex;
    asked.defaultExtension = request->lpstrDefExt ? request->lpstrDefExt : "";
    asked.flags = request->Flags;

    HWND owner = IsWindow(request->hwndOwner) ? request->hwndOwner : nullptr;
    // Disabling the owner takes its keyboard focus; it gets it back afterwards,
    // as an owner that is activated again does.
    HWND focusBefore = GetFocus();
    BOOL ownerWasDisabled = owner ? EnableWindow(owner, FALSE) : FALSE;
    asked.ownerDisabled = owner != nullptr && !IsWindowEnabled(owner);
    lastRequest = asked;

    FileDialogAnswer answer;
    if (nextAnswer) {
        answer = *nextAnswer;
        nextAnswer.reset();
    } else {
        answer = AskPerson(asked, owner);
    }
    if (owner != nullptr && IsWindow(owner) && !ownerWasDisabled) {
        EnableWindow(owner, TRUE);
        if (focusBefore != nullptr && IsWindow(focusBefore)) {
            SetFocus(focusBefore);
        }
    }
    if (!answer.chosen) {
        return FALSE;
    }
    // The buffer is left alone when the path does not fit.
    if (answer.path.size() + 1 > request->nMaxFile) {
        extendedError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    WriteResult(request, answer.path);
    return TRUE;
}
