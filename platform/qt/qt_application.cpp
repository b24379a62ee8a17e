#include "platform/qt/qt_application.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <cstdlib>

namespace {

void GiveProgramIcon() {
    // The program's icon, where the program links it in, for every window's
    // title bar and the task switcher; the desktop entry of the same name
    // gives it to a Wayland compositor.
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral(":/program/icon-%1.png").arg(size);
        if (QFile::exists(file)) {
            icon.addFile(file, QSize(size, size));
        }
    }
    if (!icon.isNull()) {
        QApplication::setWindowIcon(icon);
        QGuiApplication::setDesktopFileName(QStringLiteral("pelmdemo"));
    }
}

}  // namespace

QApplication* EnsureQtApplication() {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return existing;
    }
    if (QCoreApplication::instance() != nullptr) {
        return nullptr;  // someone made a non-widget application: no widgets here
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    // QApplication keeps references to argc and argv: they must outlive it.
    static int argc = 1;
    static char name[] = "pelmdemo";
    static char* argv[] = {name, nullptr};
    auto* application = new QApplication(argc, argv);
    GiveProgramIcon();
    return application;
}
