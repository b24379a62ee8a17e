#include "platform/qt/qt_application.h"

#include <QApplication>
#include <cstdlib>

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
    return new QApplication(argc, argv);
}
