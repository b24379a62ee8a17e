// The pages of a finished document painted with Qt, for the preview and the
// printer. It reads the same spool records with the same faces, glyphs and
// positions as the PDF writer, so the screen, the paper and the PDF agree.
#pragma once

#include <QImage>
#include <QRawFont>
#include <array>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "pelm32/text_layout.h"

class QPainter;
class QPagedPaintDevice;

namespace pelm32 {

class Document;
struct SpoolRecord;

class PagePainter {
  public:
    explicit PagePainter(const Document& document);
    ~PagePainter();

    // Paints one page (0-based); the painter's device may have any
    // resolution. False when the spool could not be read.
    bool Paint(QPainter& painter, int index);
    // Paints pages first..last (0-based, inclusive) on a paged device, one
    // device page each. False when a page could not be painted.
    bool PaintPages(QPainter& painter, QPagedPaintDevice& device, int first, int last);

  private:
    void Draw(QPainter& painter, const SpoolRecord& record, int index);
    void Show(QPainter& painter, int face, Encoding encoding, double x, double baseline,
              std::string_view codes, const uint16_t* glyphs, size_t count);
    void DrawRun(QPainter& painter, int face, double x, double baseline, const uint16_t* glyphs,
                 size_t count);
    void DrawCodes(QPainter& painter, int face, double x, double baseline, std::string_view codes);
    void DrawNumber(QPainter& painter, const SpoolRecord& record, int index);
    const QRawFont* RawFont(int face);
    const QImage* Image(int32_t graphic);

    const Document& document_;
    const Font* font_ = nullptr;
    std::map<std::pair<int, double>, QRawFont> rawFonts_;
    std::map<int, QByteArray> faceData_;
    std::map<int, std::array<uint16_t, 256>> codeGlyphs_;
    std::map<int32_t, QImage> images_;
    TextLayout layout_;
    std::vector<uint16_t> glyphs_;
    QList<quint32> indexes_;
    QList<QPointF> positions_;
};

}  // namespace pelm32
