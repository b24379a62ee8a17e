// MessageBoxA as a Qt message box without an owner.
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QStringDecoder>
#include <string>

#include "platform/qt/message_pump.h"
#include "platform/qt/qt_application.h"
#include "platform/win32.h"

namespace {

// Windows-1252 for the bytes 0x80 to 0x9F; the five it leaves undefined stay as they are.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Texts are bytes: UTF-8 when they are valid UTF-8, else the Windows code page.
QString TextOf(const char* bytes) {
    if (bytes == nullptr) {
        return QString();
    }
    QByteArrayView view(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) {
        return text;
    }
    text.clear();
    text.reserve(view.size());
    for (char byte : view) {
        auto code = static_cast<unsigned char>(byte);
        text.append(code >= 0x80 && code < 0xA0 ? QChar(kWindows1252High[code - 0x80])
                                                : QChar(code));
    }
    return text;
}

QMessageBox::Icon IconOf(UINT style) {
    switch (style & MB_ICONMASK) {
        case MB_ICONHAND:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONASTERISK:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// The box's wait: the thread's other windows keep getting their events until
// the user closes the box.
void WaitForBoxToClose(const QMessageBox& box, const bool& finished) {
    while (!finished && box.isVisible()) {
        if (!PumpOneMessage()) {
            Sleep(1);
        }
    }
}

}  // namespace

// Every box is a top-level window of its own: owner is not used.
int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT style) {
    if (EnsureQtApplication() == nullptr) {
        return 0;  // no widgets in this process: the box cannot be shown
    }
    QMessageBox box;
    // A message box is application-modal by default; this one must leave the
    // other windows working.
    box.setWindowModality(Qt::NonModal);
    // Windows captions a box without a caption "Error".
    box.setWindowTitle(caption != nullptr ? TextOf(caption) : QStringLiteral("Error"));
    box.setTextFormat(Qt::PlainText);
    box.setText(TextOf(text));
    box.setIcon(IconOf(style));
    box.setStandardButtons(QMessageBox::Ok);
    bool finished = false;
    QObject::connect(&box, &QDialog::finished, [&finished] { finished = true; });
    box.show();
    WaitForBoxToClose(box, finished);
    return IDOK;
}
