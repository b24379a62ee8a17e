// The pages of a finished document painted with Qt, for the preview and the
// printer. It reads the same spool records with the same faces, glyphs and
// positions as the PDF writer, so the screen, the paper and the PDF agree.
#pragma once

#include <QImage>
#include <QRawFont>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "pelm32/core/record_drawer.h"

class QPainter;

namespace pelm32 {

class PagePainter : public RecordDrawer {
  public:
    explicit PagePainter(const Document& document);
    ~PagePainter() override;

    // Paints one page (0-based); the painter's device may have any
    // resolution. False when the spool could not be read; Error() then
    // gives the system's error code (0 when its records made no sense).
    bool Paint(QPainter& painter, int index);
    int Error() const { return error_; }

  protected:
    void DrawText(const TextRun& run) override;
    void DrawGraphic(int32_t graphic, const float* rect) override;
    void DrawFrame(double left, double top, double right, double bottom) override;

  private:
    void DrawRun(const TextRun& run, const uint16_t* glyphs);
    void DrawGlyphs(const QRawFont& raw, double x, double baseline, double scale,
                    const uint16_t* glyphs, size_t count, const Face* face);
    void DrawCodes(const TextRun& run);
    const QRawFont* RawFont(int face, double size);
    const QImage* Image(int32_t graphic);

    QPainter* painter_ = nullptr;
    int error_ = 0;
    std::map<std::pair<int, double>, QRawFont> rawFonts_;
    std::map<int32_t, QImage> images_;
    QList<quint32> indexes_;
    QList<QPointF> positions_;
};

}  // namespace pelm32
