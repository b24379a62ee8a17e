#include "pelm32/core/text_layout.h"

#include <algorithm>
#include <cmath>

namespace pelm32 {

void TextLayout::Lay(const Font& font, double x, double pageWidth, TextCursor& cursor) {
    runs_.clear();
    codes_.clear();
    glyphs_.clear();
    characters_.clear();
    const double scale = font.Points() / 1000.0;
    double pen = x;
    size_t inkRuns = 0;
    size_t inkCodes = 0;
    size_t inkGlyphs = 0;
    inkEnd_ = x;
    char32_t c;
    while (pen < pageWidth && cursor.Next(c)) {
        const Placement& place = font.Place(c);
        const double advance = place.width * scale;
        if (place.face >= 0 && pen + advance > 0.0) {
            if (place.code != 0 && !runs_.empty() && runs_.back().face == place.face &&
                runs_.back().encoding == Encoding::Windows1252) {
                codes_.push_back(static_cast<char>(place.code));  // the common case, inline
                ++runs_.back().end;
            } else {
                Append(place, pen, c);
            }
            if (c != U' ') {
                inkRuns = runs_.size();
                inkCodes = codes_.size();
                inkGlyphs = glyphs_.size();
                inkEnd_ = pen + advance;
            }
        }
        pen += advance;
    }
    DropTrailingBlanks(inkRuns, inkCodes, inkGlyphs);
}

void TextLayout::LayNumber(const Font& font, double x, double leftLimit, double pageWidth,
                           long number) {
    constexpr double kInside = 18.0;
    constexpr double kGap = 2.0;
    const std::string digits = std::to_string(number);
    TextCursor measure(digits.data(), digits.size());
    Lay(font, x, HUGE_VAL, measure);
    if (inkEnd_ > pageWidth - kInside) {
        const double moved = x - (inkEnd_ - (pageWidth - kInside));
        x = std::min(x, std::max({moved, leftLimit + kGap, 0.0}));
    }
    TextCursor cursor(digits.data(), digits.size());
    Lay(font, x, pageWidth, cursor);
}

void TextLayout::Append(const Placement& place, double x, char32_t c) {
    const Encoding encoding = place.code != 0 ? Encoding::Windows1252 : Encoding::Glyphs;
    if (runs_.empty() || runs_.back().face != place.face || runs_.back().encoding != encoding) {
        const size_t at = place.code != 0 ? codes_.size() : glyphs_.size();
        runs_.push_back({place.face, encoding, x, at, at});
    }
    if (place.code != 0) {
        codes_.push_back(static_cast<char>(place.code));
    } else {
        glyphs_.push_back(place.glyph);
        characters_.push_back(c);
    }
    ++runs_.back().end;
}

void TextLayout::DropTrailingBlanks(size_t runs, size_t codes, size_t glyphs) {
    runs_.resize(runs);
    codes_.resize(codes);
    glyphs_.resize(glyphs);
    characters_.resize(glyphs);
    if (!runs_.empty()) {
        LaidRun& last = runs_.back();
        last.end = last.encoding == Encoding::Windows1252 ? codes : glyphs;
    }
}

}  // namespace pelm32
