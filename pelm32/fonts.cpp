#include "pelm32/fonts.h"

#include <QFontMetricsF>
#include <memory>

namespace pelm32 {

namespace {

constexpr uint32_t kNotLoaded = 0xFFFFFFFFu;

struct FontKey {
    QString family;
    double points;
};

std::vector<FontKey>& Keys() {
    static std::vector<FontKey> keys;
    return keys;
}

std::vector<std::unique_ptr<FontFace>>& Faces() {
    static std::vector<std::unique_ptr<FontFace>> faces;
    return faces;
}

}  // namespace

FontFace::FontFace(const QString& family, double points) {
    const double pixels = points * kUnitsPerPoint;
    fallback_ = QFont(family);
    fallback_.setPixelSize(qMax(1, qRound(pixels)));
    fallback_.setStyleHint(QFont::TypeWriter);
    fallback_.setHintingPreference(QFont::PreferNoHinting);
    raw_ = QRawFont::fromFont(fallback_);
    if (raw_.isValid()) {
        raw_.setPixelSize(pixels);
        ascent_ = raw_.ascent();
        lineHeight_ = raw_.ascent() + raw_.descent();
    } else {
        const QFontMetricsF metrics(fallback_);
        ascent_ = metrics.ascent();
        lineHeight_ = metrics.height();
    }
}

FontFace::Entry& FontFace::EntryFor(char16_t unit) {
    auto& block = blocks_[unit >> 8];
    if (!block) {
        block = std::make_unique<Block>();
        block->fill({kNotLoaded, 0.0f});
    }
    Entry& entry = (*block)[unit & 0xFF];
    if (entry.glyph == kNotLoaded) {
        Load(unit, entry);
    }
    return entry;
}

void FontFace::Load(char16_t unit, Entry& entry) {
    const QChar character(unit);
    quint32 glyph = 0;
    int count = 1;
    if (raw_.isValid() && !character.isSurrogate() &&
        raw_.glyphIndexesForChars(&character, 1, &glyph, &count) && count == 1 && glyph != 0) {
        QPointF advance;
        raw_.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics);
        entry = {glyph, static_cast<float>(advance.x())};
        return;
    }
    entry.glyph = 0;
    entry.advance =
        character.isSurrogate() ? 0.0f : static_cast<float>(FallbackAdvance(QString(character)));
}

uint32_t FontFace::Glyph(char16_t unit) {
    return EntryFor(unit).glyph;
}

double FontFace::Advance(char16_t unit) {
    return EntryFor(unit).advance;
}

double FontFace::FallbackAdvance(const QString& text) const {
    return QFontMetricsF(fallback_).horizontalAdvance(text);
}

int FindFont(const QString& family, double points) {
    auto& keys = Keys();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].points == points && keys[i].family == family) {
            return static_cast<int>(i);
        }
    }
    keys.push_back({family, points});
    Faces().push_back(std::make_unique<FontFace>(family, points));
    return static_cast<int>(keys.size() - 1);
}

FontFace& FontById(int id) {
    return *Faces()[static_cast<size_t>(id)];
}

}  // namespace pelm32
