// The pages of a finished document painted with GDI, for the preview and
// the printer. It reads the same spool records with the same faces, glyph
// ids and positions as the PDF writer, so the screen, the paper and the
// PDF agree.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <map>
#include <utility>
#include <vector>

#include "pelm32/core/record_drawer.h"

namespace pelm32 {

class GdiPagePainter : public RecordDrawer {
  public:
    explicit GdiPagePainter(const Document& document);
    ~GdiPagePainter() override;
    GdiPagePainter(const GdiPagePainter&) = delete;
    GdiPagePainter& operator=(const GdiPagePainter&) = delete;

    // Paints one page (0-based) with its top left corner at (x, y) of the
    // device, pixelsPerPoint device pixels to a point. False when the spool
    // could not be read; Error() then gives the system's error code (0 when
    // its records made no sense).
    bool Paint(HDC dc, int index, double x, double y, double pixelsPerPoint);
    int Error() const { return error_; }

  protected:
    void DrawText(const TextRun& run) override;
    void DrawGraphic(int32_t graphic, const float* rect) override;
    void DrawFrame(double left, double top, double right, double bottom) override;

  private:
    struct Image {
        std::vector<uint8_t> pixels;  // blue, green, red, alpha; premultiplied
        BITMAPINFO format{};
        bool alpha = false;
    };
    void DrawRun(const TextRun& run, const uint16_t* glyphs);
    void DrawGlyphs(double x, double baseline, double scale, const uint16_t* glyphs, size_t count,
                    const Face* face, double size);
    // The world transform for points placed at (x, baseline) and condensed
    // by scale, in the painter's logical units.
    void PlaceAt(double x, double baseline, double scale);
    HFONT FontFor(int face, double size);
    const Image* ImageFor(int32_t graphic);

    HDC dc_ = nullptr;
    double originX_ = 0;
    double originY_ = 0;
    double pixelsPerPoint_ = 1;
    int error_ = 0;
    std::map<std::pair<int, double>, HFONT> fonts_;
    std::map<int32_t, Image> images_;
    std::vector<INT> advances_;
};

}  // namespace pelm32
