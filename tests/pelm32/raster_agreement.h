// Whether a page painted on a screen or printer agrees with poppler's
// rendering of the PDF: both grey, blurred a little, compared against the
// ink on them. Shared by the Qt and the GDI painters' tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "pelm32/core/document.h"

namespace raster_agreement {

struct Gray {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    int At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline Gray ReadPgm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    Gray image;
    in >> magic >> image.width >> image.height >> maximum;
    in.get();
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    in.read(reinterpret_cast<char*>(image.pixels.data()),
            static_cast<std::streamsize>(image.pixels.size()));
    return image;
}

// A 3 x 3 box blur, so a glyph edge one pixel apart costs little.
inline Gray Blurred(const Gray& in) {
    Gray out = in;
    for (int y = 1; y + 1 < in.height; ++y) {
        for (int x = 1; x + 1 < in.width; ++x) {
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    sum += in.At(x + dx, y + dy);
                }
            }
            out.pixels[static_cast<size_t>(y) * in.width + x] = static_cast<uint8_t>(sum / 9);
        }
    }
    return out;
}

struct Difference {
    // Absolute differences against the ink on the pages: 0 for the same
    // picture, 2 for two pictures whose ink never meets.
    double relative = 2.0;
    double strays = 1.0;  // share of pixels that differ by more than a third
};

inline Difference Compare(const Gray& a, const Gray& b) {
    Difference difference;
    if (a.width != b.width || a.height != b.height || a.pixels.empty()) {
        return difference;
    }
    const Gray x = Blurred(a);
    const Gray y = Blurred(b);
    double total = 0;
    double ink = 0;
    size_t strays = 0;
    for (size_t i = 0; i < x.pixels.size(); ++i) {
        const int d = std::abs(x.pixels[i] - y.pixels[i]);
        total += d;
        ink += (255 - x.pixels[i] + 255 - y.pixels[i]) / 2.0;
        strays += d > 85;
    }
    difference.relative = ink > 0 ? total / ink : 0;
    difference.strays = static_cast<double>(strays) / static_cast<double>(x.pixels.size());
    return difference;
}

// Whether two pictures of a page agree. For Qt's painter, measured: the same
// page differs by 0.04 to 0.19 (Qt puts baselines on whole pixels, poppler
// does not), another page by 1.8 and more, the same page two points to the
// side by 0.38 and more; other painters give their own limit.
inline bool Agrees(const Difference& d, double limit = 0.25) {
    return d.relative < limit && d.strays < 0.001;
}

// A page's furniture as the report draws it: watermark tiles, the logo,
// header lines and page numbers, at the report's sizes.
inline void Furniture(pelm32::Document& document, int32_t logo, int32_t watermark) {
    document.SetFont(16.0, "Courier New");
    for (float x = 0.5f; x <= 6.5f; x += 3.0f) {
        for (float y = 0.5f; y <= 9.5f; y += 3.0f) {
            document.DrawGraphic(watermark, x, y, x + 0.5f, y + 0.5f);
        }
    }
    document.DrawGraphic(logo, 0.5f, 0.5f, 2.0f, 2.0f);
    document.Text(2.5f, 0.5f, "First Line of Page Header");
    document.Text(2.5f, 0.8666667f, "Second Line of Page Header");
    document.Text(6.25f, 0.5f, "Page ");
    document.PageNumber(7.0f, 0.5f);
    document.Text(7.3f, 0.5f, "of ");
    document.PageCount(7.8f, 0.5f);
    document.SetFont(10.0, "Courier New");
}

// Each text on a line of its own, at 10 and then at 16 points.
template <size_t N>
void TextsAtTwoSizes(pelm32::Document& document, const char* const (&texts)[N]) {
    float y = 1.0f;
    for (const double points : {10.0, 16.0}) {
        document.SetFont(points, "Courier New");
        for (const char* text : texts) {
            document.Text(1.0f, y, text);
            y += 0.4f;
        }
    }
}

// A furnished page: the furniture and 40 body lines below it.
inline void FurnishedPage(pelm32::Document& document, int32_t logo, int32_t watermark) {
    Furniture(document, logo, watermark);
    for (int line = 0; line < 40; ++line) {
        const std::string text = "Body line " + std::to_string(line) + " of the furnished page";
        document.Text(0.5f, 2.3333335f + line / 6.0f, text.c_str());
    }
}

}  // namespace raster_agreement
