#include "pelm32/core/document.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "pelm32/core/fonts.h"
#include "pelm32/core/native_file.h"
#include "pelm32/core/text_decoding.h"

namespace pelm32 {

namespace {

const char kDefaultFace[] = "Courier New";
constexpr double kDefaultPoints = 10.0;

float Bounded(double points, double low, double high) {
    return static_cast<float>(std::clamp(points, low - kGraphicReach, high + kGraphicReach));
}

// "Logo.bmp not found in /home/me: printed without it".
std::string BitmapLeftOut(const std::string& path, const std::string& why) {
    const size_t cut = path.find_last_of(std::string("/") + native::FolderSeparator());
    if (why != kBitmapNotFound) {
        return path + " could not be read (" + why + "): printed without it";
    }
    const std::string folder = cut == std::string::npos ? native::CurrentFolder()
                               : cut == 0               ? path.substr(0, 1)
                                                        : path.substr(0, cut);
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    return name + " not found in " + folder + ": printed without it";
}

}  // namespace

Document::Document(std::string title, const Paper& paper, Settings settings)
    : title_(std::move(title)),
      paper_(paper),
      settings_(std::move(settings)),
      font_(FindFont(kDefaultFace, kDefaultPoints)) {
    pages_.push_back({spool_.Size(), font_});
}

uint64_t Document::PageEnd(int index) const {
    const auto next = static_cast<size_t>(index) + 1;
    return next < pages_.size() ? pages_[next].offset : spool_.Size();
}

RecordReader Document::PageRecords(int index, bool keepRaw) const {
    return RecordReader(spool_, PageBegin(index), PageEnd(index), keepRaw);
}

const Bitmap* Document::Graphic(int32_t graphic) const {
    if (graphic < 1 || static_cast<size_t>(graphic) > graphics_.size()) {
        return nullptr;
    }
    const Bitmap& bitmap = graphics_[static_cast<size_t>(graphic) - 1];
    return bitmap.Empty() ? nullptr : &bitmap;
}

std::vector<std::string> Document::Notes() const {
    std::vector<std::string> notes = bitmapNotes_;
    if (linesPastTheEdge_ > 0) {
        notes.push_back(std::to_string(linesPastTheEdge_) +
                        (linesPastTheEdge_ == 1 ? " line runs" : " lines run") +
                        " past the right edge of the paper: the PDF keeps their whole text");
    }
    return notes;
}

int32_t Document::AddGraphic(const char* fileName) {
    const std::string path = fileName == nullptr ? "" : fileName;
    Bitmap bitmap;
    std::string why;
    if (!DecodeBitmapFile(path, bitmap, why)) {
        std::fprintf(stderr, "pelm32: bitmap \"%s\" not drawn: %s\n", path.c_str(), why.c_str());
        bitmapNotes_.push_back(BitmapLeftOut(path, why));
        bitmap = Bitmap();
    }
    graphics_.push_back(std::move(bitmap));
    return static_cast<int32_t>(graphics_.size());
}

void Document::SetFont(double points, const char* faceName) {
    FlushNumber();
    if (!(points > 0.0 && points <= 1000.0)) {
        return;  // keeps the font in use rather than drawing nothing or too much
    }
    const std::string face =
        faceName == nullptr || *faceName == '\0' ? std::string(kDefaultFace) : faceName;
    const int font = FindFont(face, points);
    if (font == font_) {
        return;
    }
    font_ = font;
    records_.Font(static_cast<uint32_t>(font));
}

bool Document::LineBoxOnPage(double x, double top) const {
    return std::isfinite(x) && std::isfinite(top) && x < PageWidth() && top < PageHeight() &&
           top + FontById(font_).LineHeight() > 0.0;
}

void Document::Text(float x, float y, const char* text) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    const double left = x * kPointsPerInch;
    const double top = y * kPointsPerInch;
    const bool follows = pendingNumber_ && pendingNumber_->top == static_cast<float>(top) &&
                         pendingNumber_->left < left;
    FlushNumber(follows ? left : 0.0);
    if (!LineBoxOnPage(left, top)) {
        return;
    }
    TextCursor cursor(text, std::strlen(text));
    layout_.Lay(FontById(font_), left, PageWidth(), cursor);
    records_.Runs(layout_, static_cast<float>(top + FontById(font_).Ascent()));
    linesPastTheEdge_ += layout_.PastTheEdge() ? 1 : 0;
    if (!layout_.Runs().empty()) {
        lineTop_ = top;
        lineInkEnd_ = layout_.InkEnd();
    }
}

void Document::AppendNumberRecord(Record kind, float x, float y) {
    FlushNumber();
    const double left = x * kPointsPerInch;
    const double top = y * kPointsPerInch;
    if (!LineBoxOnPage(left, top)) {
        return;
    }
    pendingNumber_ = PendingNumber{kind, static_cast<float>(left), static_cast<float>(top),
                                   static_cast<float>(top == lineTop_ ? lineInkEnd_ : 0.0)};
}

void Document::FlushNumber(double rightLimit) {
    if (pendingNumber_) {
        const PendingNumber& n = *pendingNumber_;
        records_.Number(n.kind, n.left, n.top, n.leftLimit, static_cast<float>(rightLimit));
        pendingNumber_.reset();
    }
}

void Document::PageNumber(float x, float y) {
    AppendNumberRecord(Record::PageNumber, x, y);
}

void Document::PageCount(float x, float y) {
    AppendNumberRecord(Record::PageCount, x, y);
}

void Document::DrawGraphic(int32_t graphic, float left, float top, float right, float bottom) {
    FlushNumber();
    if (Graphic(graphic) == nullptr) {
        return;
    }
    const double l = std::fmin(left, right) * kPointsPerInch;
    const double r = std::fmax(left, right) * kPointsPerInch;
    const double t = std::fmin(top, bottom) * kPointsPerInch;
    const double b = std::fmax(top, bottom) * kPointsPerInch;
    if (!(r > 0.0 && b > 0.0 && l < PageWidth() && t < PageHeight() && r > l && b > t)) {
        return;  // off the page, empty or not a number
    }
    records_.Graphic(graphic, {Bounded(l, 0, PageWidth()), Bounded(t, 0, PageHeight()),
                               Bounded(r, 0, PageWidth()), Bounded(b, 0, PageHeight())});
}

void Document::NewPage() {
    FlushNumber();
    pages_.push_back({spool_.Size(), font_});
    lineTop_ = -1;
}

bool Document::Finish() {
    FlushNumber();
    finished_ = true;
    return spool_.Flush();
}

}  // namespace pelm32
