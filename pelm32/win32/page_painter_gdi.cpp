#include "pelm32/win32/page_painter_gdi.h"

#include <cmath>

#include "pelm32/core/document.h"
#include "pelm32/core/fonts.h"
#include "pelm32/win32/windows_text.h"

namespace pelm32 {

namespace {

// Logical units to a point: GDI takes whole units for font heights,
// positions and advances, and a sixteenth of a point is below a pixel on
// any screen or printer.
constexpr double kUnits = 16;

int Units(double points) {
    return static_cast<int>(std::lround(points * kUnits));
}

}  // namespace

GdiPagePainter::GdiPagePainter(const Document& document) : RecordDrawer(document) {}

GdiPagePainter::~GdiPagePainter() {
    for (const auto& [key, font] : fonts_) {
        DeleteObject(font);
    }
}

// The face by the name GDI gave it (the font source's "file"), at a size
// of whole units: its glyph ids are those of the bytes the PDF embeds.
HFONT GdiPagePainter::FontFor(int face, double size) {
    if (face < 0 || face >= FaceCount()) {
        return nullptr;
    }
    const auto key = std::make_pair(face, size);
    if (const auto found = fonts_.find(key); found != fonts_.end()) {
        return found->second;
    }
    LOGFONTW font{};
    font.lfHeight = -Units(size);
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_OUTLINE_PRECIS;
    font.lfQuality = ANTIALIASED_QUALITY;
    const std::wstring name = Wide(FaceById(face).File().path);
    wcsncpy(font.lfFaceName, name.c_str(), LF_FACESIZE - 1);
    HFONT made = CreateFontIndirectW(&font);
    fonts_.emplace(key, made);
    return made;
}

const GdiPagePainter::Image* GdiPagePainter::ImageFor(int32_t graphic) {
    const Bitmap* bitmap = document_.Graphic(graphic);
    if (bitmap == nullptr || bitmap->Empty()) {
        return nullptr;
    }
    auto found = images_.find(graphic);
    if (found == images_.end()) {
        Image image;
        const size_t count = size_t{bitmap->width} * bitmap->height;
        image.pixels.resize(count * 4);
        image.alpha = !bitmap->alpha.empty();
        for (size_t at = 0; at < count; ++at) {
            const unsigned alpha = image.alpha ? bitmap->alpha[at] : 255;
            for (int channel = 0; channel < 3; ++channel) {
                image.pixels[at * 4 + channel] =
                    static_cast<uint8_t>(bitmap->rgb[at * 3 + 2 - channel] * alpha / 255);
            }
            image.pixels[at * 4 + 3] = static_cast<uint8_t>(alpha);
        }
        BITMAPINFOHEADER& header = image.format.bmiHeader;
        header.biSize = sizeof header;
        header.biWidth = static_cast<LONG>(bitmap->width);
        header.biHeight = -static_cast<LONG>(bitmap->height);  // top row first
        header.biPlanes = 1;
        header.biBitCount = 32;
        header.biCompression = BI_RGB;
        found = images_.emplace(graphic, std::move(image)).first;
    }
    return &found->second;
}

void GdiPagePainter::PlaceAt(double x, double baseline, double scale) {
    // GDI draws glyphs under a transform that is not a plain scale more
    // thinly: a glyph as good as unscaled is drawn unscaled.
    if (std::abs(scale - 1) < 1e-3) {
        scale = 1;
    }
    const double perUnit = pixelsPerPoint_ / kUnits;
    const XFORM place{static_cast<FLOAT>(perUnit * scale),
                      0,
                      0,
                      static_cast<FLOAT>(perUnit),
                      static_cast<FLOAT>(originX_ + x * pixelsPerPoint_),
                      static_cast<FLOAT>(originY_ + baseline * pixelsPerPoint_)};
    SetWorldTransform(dc_, &place);
}

// Glyphs from (x, baseline), each at the advance face gives it (or alone),
// rounded so that no error adds up along the run.
void GdiPagePainter::DrawGlyphs(double x, double baseline, double scale, const uint16_t* glyphs,
                                size_t count, const Face* face, double size) {
    advances_.assign(count, 0);
    if (face != nullptr) {
        double pen = 0;
        for (size_t i = 0; i < count; ++i) {
            const double next = pen + face->Width(glyphs[i]) * size / 1000.0;
            advances_[i] = Units(next) - Units(pen);
            pen = next;
        }
    }
    PlaceAt(x, baseline, scale);
    ExtTextOutW(dc_, 0, 0, ETO_GLYPH_INDEX, nullptr, reinterpret_cast<const wchar_t*>(glyphs),
                static_cast<UINT>(count), advances_.data());
}

void GdiPagePainter::DrawRun(const TextRun& run, const uint16_t* glyphs) {
    HFONT font = FontFor(run.face, run.size);
    if (font == nullptr || run.count == 0) {
        return;
    }
    SelectObject(dc_, font);
    if (run.places != nullptr) {
        for (size_t i = 0; i < run.count; ++i) {
            const GlyphPlace& place = run.places[i];
            DrawGlyphs(run.x + place.dx, run.baseline - place.dy, place.scale, glyphs + i, 1,
                       nullptr, run.size);
        }
        return;
    }
    DrawGlyphs(run.x, run.baseline, 1, glyphs, run.count, &FaceById(run.face), run.size);
}

void GdiPagePainter::DrawText(const TextRun& run) {
    if (run.encoding == Encoding::Windows1252) {
        const std::vector<uint16_t>& glyphs = CodeGlyphs(run);
        TextRun coded = run;
        coded.count = glyphs.size();
        DrawRun(coded, glyphs.data());
    } else if (run.encoding != Encoding::Missing) {
        DrawRun(run, run.glyphs);
    }
}

void GdiPagePainter::DrawFrame(double left, double top, double right, double bottom) {
    PlaceAt(0, 0, 1);
    HPEN pen = CreatePen(PS_SOLID, Units(0.4), RGB(0, 0, 0));
    const HGDIOBJ oldPen = SelectObject(dc_, pen);
    const HGDIOBJ oldBrush = SelectObject(dc_, GetStockObject(NULL_BRUSH));
    Rectangle(dc_, Units(left), Units(top), Units(right), Units(bottom));
    SelectObject(dc_, oldBrush);
    SelectObject(dc_, oldPen);
    DeleteObject(pen);
}

void GdiPagePainter::DrawGraphic(int32_t graphic, const float* rect) {
    const Image* image = ImageFor(graphic);
    if (image == nullptr) {
        return;
    }
    PlaceAt(0, 0, 1);
    const int width = image->format.bmiHeader.biWidth;
    const int height = -image->format.bmiHeader.biHeight;
    const int left = Units(rect[0]);
    const int top = Units(rect[1]);
    const int right = Units(rect[2]);
    const int bottom = Units(rect[3]);
    if (!image->alpha) {
        StretchDIBits(dc_, left, top, right - left, bottom - top, 0, 0, width, height,
                      image->pixels.data(), &image->format, DIB_RGB_COLORS, SRCCOPY);
        return;
    }
    // Translucent pixels through a memory device context, as AlphaBlend takes them.
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc_, &image->format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC source = CreateCompatibleDC(dc_);
    if (section != nullptr && source != nullptr) {
        std::copy(image->pixels.begin(), image->pixels.end(), static_cast<uint8_t*>(bits));
        const HGDIOBJ old = SelectObject(source, section);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        GdiAlphaBlend(dc_, left, top, right - left, bottom - top, source, 0, 0, width, height,
                      blend);
        SelectObject(source, old);
    }
    if (source != nullptr) {
        DeleteDC(source);
    }
    if (section != nullptr) {
        DeleteObject(section);
    }
}

bool GdiPagePainter::Paint(HDC dc, int index, double x, double y, double pixelsPerPoint) {
    if (index < 0 || index >= document_.PageTotal()) {
        return false;
    }
    const int saved = SaveDC(dc);
    // Text past the page's edge is kept in the spool; the page cuts it.
    IntersectClipRect(dc, static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)),
                      static_cast<int>(std::ceil(x + document_.PageWidth() * pixelsPerPoint)),
                      static_cast<int>(std::ceil(y + document_.PageHeight() * pixelsPerPoint)));
    SetGraphicsMode(dc, GM_ADVANCED);
    SetMapMode(dc, MM_TEXT);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    dc_ = dc;
    originX_ = x;
    originY_ = y;
    pixelsPerPoint_ = pixelsPerPoint;
    StartPage(index);
    RecordReader reader = document_.PageRecords(index);
    SpoolRecord record;
    while (reader.Next(record)) {
        Draw(record);
    }
    RestoreDC(dc, saved);
    dc_ = nullptr;
    error_ = reader.Error();
    return !reader.Failed();
}

}  // namespace pelm32
