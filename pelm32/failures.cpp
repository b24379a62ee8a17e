#include "pelm32/failures.h"

#include <QMessageBox>
#include <cstdio>

#include "pelm32/qt_setup.h"

namespace pelm32 {

namespace {

std::function<void(const std::string&)>& Seam() {
    static std::function<void(const std::string&)> seam;
    return seam;
}

}  // namespace

void SetFailureSeam(std::function<void(const std::string&)> seam) {
    Seam() = std::move(seam);
}

void TellFailure(const std::string& text) {
    std::fprintf(stderr, "pelm32: %s\n", text.c_str());
    if (Seam()) {
        Seam()(text);
        return;
    }
    if (!DisplayAvailable()) {
        return;
    }
    QString sentence = QString::fromStdString(text);
    if (!sentence.isEmpty()) {
        sentence[0] = sentence[0].toUpper();
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Print Engine"),
                    sentence + QStringLiteral(".\n\nNothing was written."), QMessageBox::Ok);
    box.exec();
}

}  // namespace pelm32
