#include "pelm32/core/text_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelm32 {

namespace {

// More characters than any text holds.
constexpr size_t kLongestText = std::numeric_limits<size_t>::max() / 2;

}  // namespace

void TextLayout::Clear() {
    pastTheEdge_ = false;
    runs_.clear();
    codes_.clear();
    glyphs_.clear();
    characters_.clear();
    places_.clear();
    text_.clear();
}

void TextLayout::Lay(const Font& font, double x, double pageWidth, TextCursor& cursor) {
    Clear();
    inkEnd_ = x;
    const TextCursor start = cursor;
    if (!LayGlyphByGlyph(font, x, pageWidth, cursor)) {
        Clear();
        inkEnd_ = x;
        TextCursor again = start;
        LayShaped(font, x, pageWidth, again);
    }
    JoinSpans();
    pastTheEdge_ = inkEnd_ > pageWidth;
}

// Neighbouring runs whose text is given whole share one span, so readers
// see no break between them.
void TextLayout::JoinSpans() {
    for (size_t i = 0; i < runs_.size(); ++i) {
        if (runs_[i].encoding != Encoding::Placed || !runs_[i].actualText) {
            continue;
        }
        size_t end = i + 1;
        while (end < runs_.size() && end - i < 255 && runs_[end].encoding == Encoding::Placed &&
               runs_[end].actualText && runs_[end].textBegin == runs_[end - 1].textEnd) {
            runs_[end].actualText = false;
            ++end;
        }
        runs_[i].spanRuns = static_cast<uint8_t>(end - i);
        runs_[i].textEnd = runs_[end - 1].textEnd;
        i = end - 1;
    }
}

// Text whose characters each stand on their own: laid one by one as they
// come. False, with nothing kept, at the first that needs shaping.
bool TextLayout::LayGlyphByGlyph(const Font& font, double x, double pageWidth, TextCursor& cursor) {
    const double scale = font.Points() / 1000.0;
    double pen = x;
    size_t inkRuns = 0;
    size_t inkCodes = 0;
    size_t inkGlyphs = 0;
    size_t past = 0;
    const Placement* const uniform = font.UniformAscii();
    const double uniformAdvance = uniform != nullptr ? uniform->width * scale : 0.0;
    char32_t c;
    for (;;) {
        if (uniform != nullptr && pen + uniformAdvance > 0.0) {
            // A stretch of printable ASCII in a fixed-pitch face, in bulk.
            // Characters that start before the edge (all of them for an edge
            // at infinity or a zero advance), then those kept past it.
            const double room = (pageWidth - pen) / uniformAdvance;
            const size_t before = !(pen < pageWidth) ? 0
                                  : room < static_cast<double>(kLongestText)
                                      ? static_cast<size_t>(std::ceil(room))
                                      : kLongestText;
            const size_t beyond = kKeptPastTheEdge - std::min(past, kKeptPastTheEdge);
            const unsigned char* bytes;
            const size_t n = cursor.NextPrintableAscii(before + beyond, bytes);
            if (n > 0) {
                AppendCodes(*uniform, pen, bytes, n);
                size_t ink = n;
                while (ink > 0 && bytes[ink - 1] == ' ') {
                    --ink;
                }
                if (ink > 0) {
                    inkRuns = runs_.size();
                    inkCodes = codes_.size() - (n - ink);
                    inkGlyphs = glyphs_.size();
                    inkEnd_ = pen + static_cast<double>(ink) * uniformAdvance;
                }
                past += n > before ? n - before : 0;
                pen += static_cast<double>(n) * uniformAdvance;
            }
        }
        if (!((pen < pageWidth || past++ < kKeptPastTheEdge) && cursor.Next(c))) {
            break;
        }
        const Placement& place = font.Place(c);
        if (place.kind == Placement::Shaped) {
            return false;
        }
        const double advance = place.width * scale;
        if (place.face >= 0 && pen + advance > 0.0) {
            if (place.kind != Placement::Plain) {
                place.kind == Placement::Fitted ? AppendFitted(font, place, pen, c)
                                                : AppendMissing(font, place, pen, c);
            } else if (place.code != 0 && !runs_.empty() && runs_.back().face == place.face &&
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
    return true;
}

// Text that needs its neighbours: read whole, put in visual order run by
// run of one embedding level, cut into items of one face and script, each
// shaped and fitted to its cells.
void TextLayout::LayShaped(const Font& font, double x, double pageWidth, TextCursor& cursor) {
    const double scale = font.Points() / 1000.0;
    line_.clear();
    double logical = x;
    size_t beyond = 0;
    char32_t c;
    // Read past the edge too: a right-to-left run that crosses it shows its
    // later characters further left, on the page.
    while ((logical < pageWidth || ++beyond <= kKeptPastTheEdge) && cursor.Next(c)) {
        line_ += c;
        logical += font.Place(c).width * scale;
    }
    BidiLevels(line_.data(), line_.size(), levels_);
    std::vector<size_t> starts;
    std::vector<uint8_t> levels;
    for (size_t i = 0; i < line_.size(); ++i) {
        if (i == 0 || levels_[i] != levels_[i - 1]) {
            starts.push_back(i);
            levels.push_back(levels_[i]);
        }
    }
    starts.push_back(line_.size());
    items_.clear();
    for (const size_t run : VisualOrder(levels)) {
        const size_t first = items_.size();
        const bool rightToLeft = (levels[run] & 1) != 0;
        Itemize(font, starts[run], starts[run + 1], rightToLeft);
        if (rightToLeft) {
            std::reverse(items_.begin() + static_cast<std::ptrdiff_t>(first), items_.end());
        }
    }
    const auto blank = [this](const Item& item) {
        return std::all_of(line_.begin() + static_cast<std::ptrdiff_t>(item.begin),
                           line_.begin() + static_cast<std::ptrdiff_t>(item.end),
                           [](char32_t k) { return k == U' '; });
    };
    size_t last = items_.size();
    while (last > 0 && blank(items_[last - 1])) {
        --last;
    }
    // Laid left to right, written in reading order: readers take a
    // right-to-left phrase in the order its words come.
    std::vector<std::pair<size_t, LaidRun>> written;
    double pen = x;
    for (size_t i = 0; i < last; ++i) {
        const size_t before = runs_.size();
        pen += LayItem(font, items_[i], pen);
        if (!blank(items_[i])) {
            inkEnd_ = pen;
        }
        for (size_t r = before; r < runs_.size(); ++r) {
            written.emplace_back(items_[i].begin, runs_[r]);
        }
    }
    std::stable_sort(written.begin(), written.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t r = 0; r < written.size(); ++r) {
        runs_[r] = written[r].second;
    }
}

void TextLayout::Itemize(const Font& font, size_t begin, size_t end, bool rightToLeft) {
    const size_t first = items_.size();
    for (size_t i = begin; i < end; ++i) {
        const char32_t c = line_[i];
        const Placement& place = font.Place(c);
        const uint32_t script = ScriptOf(c);
        // A mark or format character no face has goes with what it follows
        // (the shaper hides it); a character no face has is a box of its own.
        const bool hidden = place.glyph == 0 && place.cells == 0;
        const bool box = place.glyph == 0 && place.cells > 0;
        if (items_.size() > first && items_.back().face >= 0 && !box) {
            Item& open = items_.back();
            const bool sameScript = script == 0 || open.script == 0 || script == open.script;
            // Spaces, digits and punctuation the family has stand in their own
            // cells; others go with the face of their neighbours.
            const bool sameFace = hidden || place.face == open.face || place.cells == 0 ||
                                  (script == 0 && place.face != font.PrimaryFace() &&
                                   FaceById(open.face).Sfnt().Glyph(c) != 0);
            if (sameScript && sameFace) {
                open.end = i + 1;
                open.cells += place.cells;
                open.script = open.script == 0 ? script : open.script;
                continue;
            }
        }
        if (hidden) {
            continue;  // on nothing: not drawn
        }
        const int face = box ? -1 : place.face;
        items_.push_back({i, i + 1, face, script, rightToLeft, place.cells});
    }
}

// Shapes an item and appends it as one run, fitted to its cells on a
// fixed-pitch grid (condensed when wider, centred when narrower); returns
// its advance. Glyph 0 is never drawn: a character no face has is a box.
double TextLayout::LayItem(const Font& font, const Item& item, double x) {
    const double size = font.Points() / 1000.0;
    if (item.face < 0) {
        const Placement& place = font.Place(line_[item.begin]);
        const double width = place.width * size;
        if (place.face >= 0 && x + width > 0.0) {
            AppendMissing(font, place, x, line_[item.begin]);
        }
        return width;
    }
    const Face& face = FaceById(item.face);
    Shape(face, line_.data(), line_.size(), item.begin, item.end - item.begin, item.script,
          item.rightToLeft, shaped_);
    const double unit = font.Points() / face.Sfnt().UnitsPerEm();  // points per font unit
    double natural = 0;
    for (const ShapedGlyph& glyph : shaped_) {
        natural += glyph.advance * unit;
    }
    const double target = font.CellGrid() ? item.cells * font.CellAdvance() : natural;
    if (x + target <= 0.0) {
        return target;
    }
    const float scale =
        natural > target && natural > 0.0 ? static_cast<float>(target / natural) : 1;
    const double start = (target - natural * scale) / 2;
    if (item.rightToLeft) {
        // Right-to-left glyphs go in reading order: each has its place, and
        // readers take them in the order they come.
        std::reverse(shaped_.begin(), shaped_.end());
    }
    // Where each glyph's cluster ends: clusters rise through the glyphs.
    clusterEnds_.resize(shaped_.size());
    for (size_t i = shaped_.size(), end = item.end; i-- > 0;) {
        if (i + 1 < shaped_.size() && shaped_[i + 1].cluster != shaped_[i].cluster) {
            end = shaped_[i + 1].cluster;
        }
        clusterEnds_[i] = end;
    }
    // A cluster of one glyph for one character goes glyph by glyph; any
    // other (composed, joined, reordered) left to right is given to readers
    // whole, as actual text, in a run of its own.
    LaidRun run{item.face, Encoding::Placed, x, 0, 0};
    bool open = false;
    size_t hidden = 0;  // characters of glyphs not drawn, given to the next glyph
    const auto close = [this, &run, &hidden] {
        if (hidden > 0 && places_.size() > run.places) {
            places_.back().characters += static_cast<uint32_t>(hidden);
        }
        hidden = 0;
        run.end = glyphs_.size();
        run.textEnd = text_.size();
        if (run.end > run.begin) {
            runs_.push_back(run);
        }
    };
    double pen = 0;
    for (size_t i = 0; i < shaped_.size(); ++i) {
        const ShapedGlyph& glyph = shaped_[i];
        // The first glyph of a cluster stands for its characters.
        const bool first = i == 0 || shaped_[i - 1].cluster != glyph.cluster;
        const size_t characters = first ? clusterEnds_[i] - glyph.cluster : 0;
        if (first) {
            size_t last = i;
            while (last + 1 < shaped_.size() && shaped_[last + 1].cluster == glyph.cluster) {
                ++last;
            }
            const bool whole = !item.rightToLeft && (last != i || characters != 1);
            if (!open || whole != run.actualText) {
                if (open) {
                    close();
                }
                run.begin = glyphs_.size();
                run.places = places_.size();
                run.textBegin = text_.size();
                run.actualText = whole;
                open = true;
            }
        }
        const double advance = glyph.advance * unit;
        const double left = item.rightToLeft ? natural - pen - advance : pen;
        pen += advance;
        text_.append(line_, glyph.cluster, characters);
        if (glyph.glyph == 0) {
            hidden += characters;  // never drawn
            continue;
        }
        glyphs_.push_back(glyph.glyph);
        characters_.push_back(characters > 0 ? line_[glyph.cluster] : 0);
        places_.push_back({static_cast<float>(start + (left + glyph.xOffset * unit) * scale),
                           static_cast<float>(glyph.yOffset * unit), scale,
                           static_cast<uint32_t>(characters + hidden)});
        hidden = 0;
    }
    if (open) {
        close();
    }
    return target;
}

void TextLayout::LayNumber(const Font& font, double x, double leftLimit, double rightLimit,
                           double pageWidth, long number) {
    constexpr double kInside = 18.0;
    const double space = font.CellAdvance();
    const std::string digits = std::to_string(number);
    TextCursor measure(digits.data(), digits.size());
    Lay(font, x, HUGE_VAL, measure);
    const double natural = inkEnd_ - x;
    double end = pageWidth - kInside;
    if (x + natural > end) {
        x = std::min(x, std::max({end - natural, leftLimit + space, 0.0}));
    }
    if (rightLimit > x) {
        end = std::min(end, rightLimit - space);
    }
    if (x + natural > end && end > x && natural > 0.0) {
        LayCondensed(font, x, digits, static_cast<float>((end - x) / natural));
        return;
    }
    TextCursor cursor(digits.data(), digits.size());
    Lay(font, x, pageWidth, cursor);
}

// Digits condensed horizontally by scale, each glyph at its place.
void TextLayout::LayCondensed(const Font& font, double x, const std::string& digits, float scale) {
    Clear();
    const double size = font.Points() / 1000.0;
    double pen = 0;
    for (const char digit : digits) {
        const Placement& place = font.Place(static_cast<unsigned char>(digit));
        if (place.face < 0 || place.glyph == 0) {
            continue;
        }
        if (runs_.empty() || runs_.back().face != place.face) {
            LaidRun run{place.face, Encoding::Placed, x, glyphs_.size(), glyphs_.size()};
            run.places = places_.size();
            run.textBegin = run.textEnd = text_.size();
            runs_.push_back(run);
        }
        LaidRun& run = runs_.back();
        glyphs_.push_back(place.glyph);
        characters_.push_back(static_cast<char32_t>(digit));
        places_.push_back({static_cast<float>(x + pen * scale - run.x), 0, scale, 1});
        text_ += static_cast<char32_t>(digit);
        ++run.end;
        ++run.textEnd;
        pen += place.width * size;
    }
    inkEnd_ = x + pen * scale;
}

// Characters whose codes are their bytes, all in place's face, from x on.
void TextLayout::AppendCodes(const Placement& place, double x, const unsigned char* bytes,
                             size_t count) {
    if (runs_.empty() || runs_.back().face != place.face ||
        runs_.back().encoding != Encoding::Windows1252) {
        runs_.push_back({place.face, Encoding::Windows1252, x, codes_.size(), codes_.size()});
    }
    codes_.append(reinterpret_cast<const char*>(bytes), count);
    runs_.back().end += count;
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

// A glyph of another face on the grid: condensed to its cells when wider,
// centred in them when narrower. Neighbours of one face share a run.
void TextLayout::AppendFitted(const Font& font, const Placement& place, double x, char32_t c) {
    const double size = font.Points() / 1000.0;
    const double cells = place.width * size;
    const double natural = FaceById(place.face).Width(place.glyph) * size;
    const float scale = natural > cells ? static_cast<float>(cells / natural) : 1;
    const double inset = (cells - natural * scale) / 2;
    if (runs_.empty() || runs_.back().encoding != Encoding::Placed ||
        runs_.back().face != place.face || runs_.back().end != glyphs_.size()) {
        LaidRun run{place.face, Encoding::Placed, x, glyphs_.size(), glyphs_.size()};
        run.places = places_.size();
        run.textBegin = run.textEnd = text_.size();
        runs_.push_back(run);
    }
    LaidRun& run = runs_.back();
    // Glyphs centred in wider cells stand apart; readers would take the
    // gaps for spaces, so such runs give their text whole.
    run.actualText = run.actualText || inset > 0.01;
    glyphs_.push_back(place.glyph);
    characters_.push_back(c);
    places_.push_back({static_cast<float>(x - run.x + inset), 0, scale, 1});
    text_ += c;
    ++run.end;
    ++run.textEnd;
}

void TextLayout::AppendMissing(const Font& font, const Placement& place, double x, char32_t c) {
    LaidRun run{place.face, Encoding::Missing, x, glyphs_.size(), glyphs_.size() + 1};
    run.width = static_cast<float>(place.width * font.Points() / 1000.0);
    runs_.push_back(run);
    glyphs_.push_back(0);
    characters_.push_back(c);
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
