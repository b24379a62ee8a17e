#include "pelm32/page_painter.h"

#include <QGlyphRun>
#include <QPagedPaintDevice>
#include <QPainter>
#include <vector>

#include "pelm32/document.h"
#include "pelm32/fonts.h"

namespace pelm32 {

namespace {

// Reused from line to line so painting a page allocates next to nothing.
struct LineBuffers {
    std::vector<char16_t> units;
    QList<quint32> glyphs;
    QList<QPointF> positions;
};

// Draws a run of UTF-16 units with its line box top at (x, top). Blanks are
// skipped: they only move the pen, and text extraction sees the gaps.
void DrawUnits(QPainter& painter, FontFace& face, double x, double top, const char16_t* units,
               size_t count, LineBuffers& buffers) {
    const double baseline = top + face.Ascent();
    buffers.glyphs.clear();
    buffers.positions.clear();
    double pen = x;
    for (size_t i = 0; i < count; ++i) {
        const char16_t unit = units[i];
        if (unit == u' ') {
            pen += face.Advance(unit);
            continue;
        }
        const uint32_t glyph = face.Glyph(unit);
        if (glyph == 0) {
            // The face lacks a character: let Qt's font matching draw the line.
            painter.setFont(face.Fallback());
            painter.drawText(QPointF(x, baseline),
                             QString::fromUtf16(units, static_cast<qsizetype>(count)));
            return;
        }
        buffers.glyphs.append(glyph);
        buffers.positions.append(QPointF(pen, baseline));
        pen += face.Advance(unit);
    }
    if (buffers.glyphs.isEmpty()) {
        return;
    }
    QGlyphRun run;
    run.setRawFont(face.Raw());
    run.setGlyphIndexes(buffers.glyphs);
    run.setPositions(buffers.positions);
    painter.drawGlyphRun(QPointF(0, 0), run);
}

void DrawNumber(QPainter& painter, FontFace& face, double x, double top, int number,
                LineBuffers& buffers) {
    const QString text = QString::number(number);
    DrawUnits(painter, face, x, top, reinterpret_cast<const char16_t*>(text.utf16()),
              static_cast<size_t>(text.size()), buffers);
}

bool PaintRecords(QPainter& painter, const Document& document, int index) {
    SpoolReader reader(document.Spool(), document.PageBegin(index), document.PageEnd(index));
    FontFace* face = &FontById(document.PageFont(index));
    LineBuffers buffers;
    while (!reader.AtEnd()) {
        uint8_t kind = 0;
        float x = 0;
        float y = 0;
        if (!reader.ReadValue(kind)) {
            return false;
        }
        switch (static_cast<Record>(kind)) {
            case Record::Font: {
                uint32_t font = 0;
                if (!reader.ReadValue(font)) {
                    return false;
                }
                face = &FontById(static_cast<int>(font));
                break;
            }
            case Record::Text: {
                uint32_t count = 0;
                if (!reader.ReadValue(x) || !reader.ReadValue(y) || !reader.ReadValue(count)) {
                    return false;
                }
                buffers.units.resize(count);
                if (!reader.Read(buffers.units.data(), count * sizeof(char16_t))) {
                    return false;
                }
                DrawUnits(painter, *face, x, y, buffers.units.data(), count, buffers);
                break;
            }
            case Record::PageNumber:
            case Record::PageCount: {
                if (!reader.ReadValue(x) || !reader.ReadValue(y)) {
                    return false;
                }
                const int number = static_cast<Record>(kind) == Record::PageNumber
                                       ? index + 1
                                       : document.PageTotal();
                DrawNumber(painter, *face, x, y, number, buffers);
                break;
            }
            case Record::Graphic: {
                int32_t graphic = 0;
                float rect[4];
                if (!reader.ReadValue(graphic) || !reader.Read(rect, sizeof rect)) {
                    return false;
                }
                if (const QImage* image = document.Graphic(graphic)) {
                    // The whole image each time: the PDF then holds it once.
                    painter.drawImage(QRectF(QPointF(rect[0], rect[1]), QPointF(rect[2], rect[3])),
                                      *image);
                }
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

bool PaintPage(QPainter& painter, const Document& document, int index) {
    if (index < 0 || index >= document.PageTotal()) {
        return false;
    }
    const QPaintDevice* device = painter.device();
    painter.save();
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::black);
    painter.scale(device->logicalDpiX() / kUnitsPerInch, device->logicalDpiY() / kUnitsPerInch);
    const bool painted = PaintRecords(painter, document, index);
    painter.restore();
    return painted;
}

bool PaintPages(QPainter& painter, QPagedPaintDevice& device, const Document& document, int first,
                int last) {
    for (int index = first; index <= last; ++index) {
        if (index > first && !device.newPage()) {
            return false;
        }
        if (!PaintPage(painter, document, index)) {
            return false;
        }
    }
    return true;
}

}  // namespace pelm32
