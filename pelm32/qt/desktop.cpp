#include <QMessageBox>
#include <QString>

#include "pelm32/core/desktop.h"
#include "pelm32/core/document.h"
#include "pelm32/qt/preview.h"
#include "pelm32/qt/qt_setup.h"

namespace pelm32 {

void OpenWrittenDocument(const Document& document, const std::string& pdfPath) {
    if (document.DocumentSettings().preview && DisplayAvailable()) {
        ShowPreview(document, pdfPath);
    }
}

void ShowFailureBox(const std::string& sentence) {
    if (!DisplayAvailable()) {
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Print Engine"),
                    QString::fromStdString(sentence), QMessageBox::Ok);
    box.exec();
}

}  // namespace pelm32
