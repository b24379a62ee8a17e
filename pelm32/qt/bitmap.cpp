#include <QFile>
#include <QImage>
#include <QImageReader>

#include "pelm32/core/bitmap.h"

namespace pelm32 {

bool DecodeBitmapFile(const std::string& path, Bitmap& bitmap, std::string& why) {
    if (path.empty()) {
        why = "no file name";
        return false;
    }
    QImageReader reader(QFile::decodeName(path.c_str()));
    QImage image = reader.read();
    if (image.isNull()) {
        why = reader.error() == QImageReader::FileNotFoundError
                  ? kBitmapNotFound
                  : reader.errorString().toStdString();
        return false;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    bitmap.width = static_cast<uint32_t>(image.width());
    bitmap.height = static_cast<uint32_t>(image.height());
    const size_t pixels = size_t{bitmap.width} * bitmap.height;
    bitmap.rgb.resize(pixels * 3);
    bitmap.alpha.resize(pixels);
    bool opaque = true;
    size_t at = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x, ++at) {
            const QRgb pixel = row[x];
            bitmap.rgb[at * 3] = static_cast<uint8_t>(qRed(pixel));
            bitmap.rgb[at * 3 + 1] = static_cast<uint8_t>(qGreen(pixel));
            bitmap.rgb[at * 3 + 2] = static_cast<uint8_t>(qBlue(pixel));
            bitmap.alpha[at] = static_cast<uint8_t>(qAlpha(pixel));
            opaque = opaque && qAlpha(pixel) == 255;
        }
    }
    if (opaque) {
        bitmap.alpha.clear();
    }
    return true;
}

}  // namespace pelm32
