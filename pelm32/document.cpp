#include "pelm32/document.h"

#include <QFile>
#include <QImageReader>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "pelm32/fonts.h"
#include "pelm32/text_decoding.h"

namespace pelm32 {

namespace {

const char kDefaultFace[] = "Courier New";
constexpr double kDefaultPoints = 10.0;

void AppendUtf16(std::vector<char16_t>& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

}  // namespace

Document::Document(const QString& title)
    : title_(title), font_(FindFont(QString::fromLatin1(kDefaultFace), kDefaultPoints)) {
    pages_.push_back({spool_.Size(), font_});
}

uint64_t Document::PageEnd(int index) const {
    const auto next = static_cast<size_t>(index) + 1;
    return next < pages_.size() ? pages_[next].offset : spool_.Size();
}

const QImage* Document::Graphic(int32_t graphic) const {
    if (graphic < 1 || static_cast<size_t>(graphic) > graphics_.size()) {
        return nullptr;
    }
    const QImage& image = graphics_[static_cast<size_t>(graphic) - 1];
    return image.isNull() ? nullptr : &image;
}

int32_t Document::AddGraphic(const char* fileName) {
    const QString path = QFile::decodeName(fileName == nullptr ? "" : fileName);
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "pelm32: bitmap \"%s\" not drawn: %s\n", qPrintable(path),
                     qPrintable(reader.errorString()));
    } else if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) {
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                              : QImage::Format_RGB32);
    }
    graphics_.push_back(std::move(image));
    return static_cast<int32_t>(graphics_.size());
}

void Document::SetFont(double points, const char* faceName) {
    if (!(points > 0.0 && points <= 1000.0)) {
        return;  // keeps the font in use rather than drawing nothing or too much
    }
    const QString face = faceName == nullptr || *faceName == '\0'
                             ? QString::fromLatin1(kDefaultFace)
                             : QFile::decodeName(faceName);
    const int font = FindFont(face, points);
    if (font == font_) {
        return;
    }
    font_ = font;
    AppendKind(Record::Font);
    spool_.AppendValue(static_cast<uint32_t>(font));
}

bool Document::LineBoxOnPage(double x, double y) const {
    const double height = FontById(font_).LineHeight();
    return std::isfinite(x) && std::isfinite(y) && x < kPageWidth && y < kPageHeight &&
           y + height > 0.0;
}

void Document::Text(float x, float y, const char* text) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    double pen = x * kUnitsPerInch;
    const double top = y * kUnitsPerInch;
    if (!LineBoxOnPage(pen, top)) {
        return;
    }
    FontFace& face = FontById(font_);
    TextCursor cursor(text, std::strlen(text));
    units_.clear();
    double start = pen;
    size_t lastInk = 0;
    char32_t c;
    // Characters right of the page are never stored; those left of it neither.
    while (pen < kPageWidth && cursor.Next(c)) {
        double advance;
        if (c < 0x10000) {
            advance = face.Advance(static_cast<char16_t>(c));
        } else {
            advance = face.FallbackAdvance(QString::fromUcs4(&c, 1));
        }
        pen += advance;
        if (pen <= 0.0 && units_.empty()) {
            start = pen;
            continue;
        }
        AppendUtf16(units_, c);
        if (c != U' ') {
            lastInk = units_.size();
        }
    }
    units_.resize(lastInk);  // trailing blanks draw nothing
    if (units_.empty()) {
        return;
    }
    AppendKind(Record::Text);
    spool_.AppendValue(static_cast<float>(start));
    spool_.AppendValue(static_cast<float>(top));
    spool_.AppendValue(static_cast<uint32_t>(units_.size()));
    spool_.Append(units_.data(), units_.size() * sizeof(char16_t));
}

void Document::PageNumber(float x, float y) {
    if (!LineBoxOnPage(x * kUnitsPerInch, y * kUnitsPerInch)) {
        return;
    }
    AppendKind(Record::PageNumber);
    spool_.AppendValue(static_cast<float>(x * kUnitsPerInch));
    spool_.AppendValue(static_cast<float>(y * kUnitsPerInch));
}

void Document::PageCount(float x, float y) {
    if (!LineBoxOnPage(x * kUnitsPerInch, y * kUnitsPerInch)) {
        return;
    }
    AppendKind(Record::PageCount);
    spool_.AppendValue(static_cast<float>(x * kUnitsPerInch));
    spool_.AppendValue(static_cast<float>(y * kUnitsPerInch));
}

void Document::DrawGraphic(int32_t graphic, float left, float top, float right, float bottom) {
    if (Graphic(graphic) == nullptr) {
        return;
    }
    const double l = std::fmin(left, right) * kUnitsPerInch;
    const double r = std::fmax(left, right) * kUnitsPerInch;
    const double t = std::fmin(top, bottom) * kUnitsPerInch;
    const double b = std::fmax(top, bottom) * kUnitsPerInch;
    if (!(r > 0.0 && b > 0.0 && l < kPageWidth && t < kPageHeight && r > l && b > t)) {
        return;  // off the page, empty or not a number
    }
    AppendKind(Record::Graphic);
    spool_.AppendValue(graphic);
    spool_.AppendValue(static_cast<float>(l));
    spool_.AppendValue(static_cast<float>(t));
    spool_.AppendValue(static_cast<float>(r));
    spool_.AppendValue(static_cast<float>(b));
}

void Document::NewPage() {
    pages_.push_back({spool_.Size(), font_});
}

bool Document::Finish() {
    return spool_.Flush();
}

}  // namespace pelm32
