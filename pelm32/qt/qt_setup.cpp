#include "pelm32/qt/qt_setup.h"

#include <QApplication>
#include <cstdlib>

namespace pelm32 {

bool EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    // QApplication keeps references to argc and argv: they must outlive it.
    // Widgets, not a bare GUI application, because the preview is a dialog.
    static int argc = 1;
    static char name[] = "pelm32";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives until the process ends
    return true;
}

namespace {

bool IsHeadlessPlatform(const QString& platform) {
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal") ||
           platform == QLatin1String("minimalegl");
}

}  // namespace

bool DisplayAvailable() {
    if (QCoreApplication::instance() == nullptr) {
        // Only windows need Qt: no application is made where they could
        // show nothing.
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        const bool display =
            std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
        if ((platform == nullptr && !display) ||
            (platform != nullptr && IsHeadlessPlatform(QString::fromLocal8Bit(platform))) ||
            !EnsureApplication()) {
            return false;
        }
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return false;
    }
    return !IsHeadlessPlatform(QGuiApplication::platformName());
}

}  // namespace pelm32
