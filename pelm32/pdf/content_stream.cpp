#include "pelm32/pdf/content_stream.h"

#include "pelm32/pdf/pdf_syntax.h"

namespace pelm32::pdf {

namespace {

void AppendPoints(std::string& out, double points) {
    AppendThousandths(out, ToThousandths(points));
    out += ' ';
}

}  // namespace

void ContentStream::Text(int font, double size, double x, double y, std::string_view codes,
                         bool twoByte) {
    BeginText();
    const int64_t thousandths = ToThousandths(size);
    if (font != font_ || thousandths != size_) {
        bytes_ += "/F";
        AppendInteger(bytes_, font);
        bytes_ += ' ';
        AppendThousandths(bytes_, thousandths);
        bytes_ += " Tf\n";
        font_ = font;
        size_ = thousandths;
    }
    const char* show = MoveTo(ToThousandths(x), ToThousandths(y));
    if (twoByte) {
        AppendHexString(bytes_, codes);
    } else {
        AppendLiteral(bytes_, codes);
    }
    bytes_ += show;
}

const char* ContentStream::MoveTo(int64_t x, int64_t y) {
    const int64_t dx = x - lineX_;
    const int64_t dy = y - lineY_;
    lineX_ = x;
    lineY_ = y;
    if (dx == 0 && dy < 0) {
        // Straight down: ' moves one leading down, so only a new pitch costs
        // a TL.
        if (-dy != leading_) {
            AppendThousandths(bytes_, -dy);
            bytes_ += " TL ";
            leading_ = -dy;
        }
        return "'\n";
    }
    AppendThousandths(bytes_, dx);
    bytes_ += ' ';
    AppendThousandths(bytes_, dy);
    bytes_ += " Td ";
    return "Tj\n";
}

void ContentStream::Scale(double scale) {
    const int64_t percent = ToThousandths(scale * 100);
    if (percent != scale_) {
        BeginText();
        AppendThousandths(bytes_, percent);
        bytes_ += " Tz\n";
        scale_ = percent;
    }
}

void ContentStream::Frame(double left, double bottom, double width, double height) {
    EndText();
    bytes_ += "q .4 w ";
    AppendPoints(bytes_, left);
    AppendPoints(bytes_, bottom);
    AppendPoints(bytes_, width);
    AppendPoints(bytes_, height);
    bytes_ += "re S Q\n";
}

void ContentStream::BeginActualText(std::u32string_view text, int markId) {
    std::string properties = "<<";
    if (markId >= 0) {
        properties += "/MCID ";
        AppendInteger(properties, markId);
        properties += ' ';
    }
    properties += "/ActualText <FEFF";
    for (const char32_t c : text) {
        AppendUtf16Hex(properties, c);
    }
    BeginMarked("/Span", properties + ">>>");
}

// A marked sequence never crosses the bounds of a text object: this one
// holds whole ones.
// Tag and properties go without blanks where PDF needs none: every page
// carries a few of these, and they add up over a long document.
void ContentStream::BeginMarked(std::string_view tag, std::string_view properties) {
    EndText();
    bytes_ += tag;
    if (properties.empty() || properties.front() == '/') {
        bytes_ += ' ';
    }
    bytes_ += properties;
    bytes_ += !properties.empty() && properties.back() == '>' ? "BDC\n" : " BDC\n";
}

void ContentStream::EndMarked() {
    EndText();
    bytes_ += "EMC\n";
}

void ContentStream::Image(int image, double left, double bottom, double width, double height) {
    EndText();
    bytes_ += "q ";
    AppendPoints(bytes_, width);
    bytes_ += "0 0 ";
    AppendPoints(bytes_, height);
    AppendPoints(bytes_, left);
    AppendPoints(bytes_, bottom);
    bytes_ += "cm /Im";
    AppendInteger(bytes_, image);
    bytes_ += " Do Q\n";
}

void ContentStream::Form(int form) {
    EndText();
    bytes_ += "/Fm";
    AppendInteger(bytes_, form);
    bytes_ += " Do\n";
}

void ContentStream::Finish() {
    // Streams are shared between pages and follow one another: each ends
    // with the scale it began with.
    Scale(1);
    EndText();
}

void ContentStream::Clear() {
    bytes_.clear();
    inText_ = false;
    font_ = -1;
    size_ = 0;
    lineX_ = 0;
    lineY_ = 0;
    leading_ = 0;
    scale_ = 100000;
}

void ContentStream::BeginText() {
    if (!inText_) {
        bytes_ += "BT\n";
        inText_ = true;
        // BT starts at the origin of the page.
        lineX_ = 0;
        lineY_ = 0;
    }
}

void ContentStream::EndText() {
    if (inText_) {
        bytes_ += "ET\n";
        inText_ = false;
        // Each text object sets its own font and leading, so it reads the
        // same whatever comes between.
        font_ = -1;
        leading_ = 0;
    }
}

}  // namespace pelm32::pdf
