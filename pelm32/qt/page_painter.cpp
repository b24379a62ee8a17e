#include "pelm32/qt/page_painter.h"

#include <QGlyphRun>
#include <QPainter>
#include <cstring>

#include "pelm32/core/document.h"
#include "pelm32/core/fonts.h"
#include "pelm32/pdf/pdf_fonts.h"

namespace pelm32 {

namespace {

// Whether Qt's face is this very face: the same head table (checksum,
// dates) makes the same glyph ids.
bool SameFace(const QRawFont& raw, const Face& face) {
    const uint8_t* head = nullptr;
    size_t length = 0;
    return raw.isValid() && face.Sfnt().Table("head", head, length) &&
           raw.fontTable("head") == QByteArray::fromRawData(reinterpret_cast<const char*>(head),
                                                            static_cast<qsizetype>(length));
}

// A face for Qt at a size. Through Qt's own font database where that gives
// this very face: such a face carries its file, which a printer's PDF needs
// to embed it as a font (a face loaded from bytes only goes out as outlines).
// Else from the bytes: the file's, or for one face of a collection, a
// standalone font made of its tables.
QRawFont LoadRawFont(const Face& face, double pixels) {
    if (!face.File().family.empty()) {
        QFont font(QString::fromStdString(face.File().family));
        font.setStyleName(QString::fromStdString(face.File().style));
        font.setHintingPreference(QFont::PreferNoHinting);
        QRawFont raw = QRawFont::fromFont(font);
        if (SameFace(raw, face)) {
            raw.setPixelSize(pixels);
            return raw;
        }
    }
    const pdf::SfntFace& sfnt = face.Sfnt();
    const bool collection = sfnt.Size() >= 4 && std::memcmp(sfnt.Data(), "ttcf", 4) == 0;
    if (!collection) {
        return QRawFont(QByteArray::fromRawData(reinterpret_cast<const char*>(sfnt.Data()),
                                                static_cast<qsizetype>(sfnt.Size())),
                        pixels, QFont::PreferNoHinting);
    }
    std::vector<uint16_t> all(sfnt.GlyphCount());
    for (size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<uint16_t>(i);
    }
    const std::vector<uint8_t> standalone = pdf::SubsetFace(sfnt, all, {});
    return QRawFont(QByteArray(reinterpret_cast<const char*>(standalone.data()),
                               static_cast<qsizetype>(standalone.size())),
                    pixels, QFont::PreferNoHinting);
}

QImage ToImage(const Bitmap& bitmap) {
    const int width = static_cast<int>(bitmap.width);
    const int height = static_cast<int>(bitmap.height);
    QImage image(width, height,
                 bitmap.alpha.empty() ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    size_t at = 0;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, ++at) {
            const int alpha = bitmap.alpha.empty() ? 255 : bitmap.alpha[at];
            row[x] =
                qRgba(bitmap.rgb[at * 3], bitmap.rgb[at * 3 + 1], bitmap.rgb[at * 3 + 2], alpha);
        }
    }
    return image;
}

}  // namespace

PagePainter::PagePainter(const Document& document) : RecordDrawer(document) {}

PagePainter::~PagePainter() = default;

const QRawFont* PagePainter::RawFont(int face, double size) {
    if (face < 0 || face >= FaceCount()) {
        return nullptr;
    }
    const auto key = std::make_pair(face, size);
    auto found = rawFonts_.find(key);
    if (found == rawFonts_.end()) {
        found = rawFonts_.emplace(key, LoadRawFont(FaceById(face), size)).first;
    }
    return found->second.isValid() ? &found->second : nullptr;
}

const QImage* PagePainter::Image(int32_t graphic) {
    const Bitmap* bitmap = document_.Graphic(graphic);
    if (bitmap == nullptr) {
        return nullptr;
    }
    auto found = images_.find(graphic);
    if (found == images_.end()) {
        // Made once: a printer that embeds images then holds each one once.
        found = images_.emplace(graphic, ToImage(*bitmap)).first;
    }
    return &found->second;
}

// Glyphs at their own advances from the run's start, or each at its place,
// condensed by its scale.
void PagePainter::DrawRun(const TextRun& run, const uint16_t* glyphs) {
    const QRawFont* raw = RawFont(run.face, run.size);
    if (raw == nullptr || run.count == 0) {
        return;
    }
    if (run.places != nullptr) {
        for (size_t i = 0; i < run.count; ++i) {
            const GlyphPlace& place = run.places[i];
            DrawGlyphs(*raw, run.x + place.dx, run.baseline - place.dy, place.scale, glyphs + i, 1,
                       nullptr);
        }
        return;
    }
    DrawGlyphs(*raw, run.x, run.baseline, 1, glyphs, run.count, &FaceById(run.face));
}

// Glyphs from (x, baseline), each at the advance face gives it (or alone).
void PagePainter::DrawGlyphs(const QRawFont& raw, double x, double baseline, double scale,
                             const uint16_t* glyphs, size_t count, const Face* face) {
    const double perUnit = raw.pixelSize() / 1000.0;
    indexes_.clear();
    positions_.clear();
    double pen = 0;
    for (size_t i = 0; i < count; ++i) {
        indexes_.append(glyphs[i]);
        positions_.append(QPointF(pen, 0));
        pen += face == nullptr ? 0 : face->Width(glyphs[i]) * perUnit;
    }
    QGlyphRun glyphRun;
    glyphRun.setRawFont(raw);
    glyphRun.setGlyphIndexes(indexes_);
    glyphRun.setPositions(positions_);
    painter_->save();
    painter_->translate(x, baseline);
    painter_->scale(scale, 1);
    painter_->drawGlyphRun(QPointF(0, 0), glyphRun);
    painter_->restore();
}

void PagePainter::DrawCodes(const TextRun& run) {
    const std::vector<uint16_t>& glyphs = CodeGlyphs(run);
    TextRun coded = run;
    coded.count = glyphs.size();
    DrawRun(coded, glyphs.data());
}

void PagePainter::DrawText(const TextRun& run) {
    if (run.encoding == Encoding::Windows1252) {
        DrawCodes(run);
    } else if (run.encoding != Encoding::Missing) {
        DrawRun(run, run.glyphs);
    }
}

void PagePainter::DrawFrame(double left, double top, double right, double bottom) {
    painter_->save();
    painter_->setPen(QPen(Qt::black, 0.4));
    painter_->setBrush(Qt::NoBrush);
    painter_->drawRect(QRectF(QPointF(left, top), QPointF(right, bottom)));
    painter_->restore();
}

void PagePainter::DrawGraphic(int32_t graphic, const float* rect) {
    if (const QImage* image = Image(graphic)) {
        painter_->drawImage(QRectF(QPointF(rect[0], rect[1]), QPointF(rect[2], rect[3])), *image);
    }
}

bool PagePainter::Paint(QPainter& painter, int index) {
    if (index < 0 || index >= document_.PageTotal()) {
        return false;
    }
    const QPaintDevice* device = painter.device();
    painter.save();
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::black);
    painter.scale(device->logicalDpiX() / kPointsPerInch, device->logicalDpiY() / kPointsPerInch);
    painter_ = &painter;
    StartPage(index);
    RecordReader reader = document_.PageRecords(index);
    SpoolRecord record;
    while (reader.Next(record)) {
        Draw(record);
    }
    painter.restore();
    error_ = reader.Error();
    return !reader.Failed();
}

}  // namespace pelm32
