// The fonts that documents draw with, shared by all documents of the process.
// Sizes and positions are in page units: 720 to the inch, so a point is ten.
#pragma once

#include <QFont>
#include <QRawFont>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace pelm32 {

constexpr double kUnitsPerInch = 720.0;
constexpr double kUnitsPerPoint = kUnitsPerInch / 72.0;

// One face at one size, with per-character glyph and advance tables filled
// as characters are met, so laying out a line costs table look-ups only.
class FontFace {
  public:
    FontFace(const QString& family, double points);

    const QRawFont& Raw() const { return raw_; }
    // For characters the face lacks: Qt's own font matching finds another face.
    const QFont& Fallback() const { return fallback_; }
    double Ascent() const { return ascent_; }
    double LineHeight() const { return lineHeight_; }
    // Glyph of a UTF-16 code unit; 0 when the face has none for it.
    uint32_t Glyph(char16_t unit);
    double Advance(char16_t unit);
    // Advance of a character outside the glyph tables (beyond U+FFFF).
    double FallbackAdvance(const QString& text) const;

  private:
    struct Entry {
        uint32_t glyph;
        float advance;
    };
    using Block = std::array<Entry, 256>;
    Entry& EntryFor(char16_t unit);
    void Load(char16_t unit, Entry& entry);

    QRawFont raw_;
    QFont fallback_;
    double ascent_ = 0;
    double lineHeight_ = 0;
    // Filled in blocks of 256 characters, as they are met.
    std::array<std::unique_ptr<Block>, 256> blocks_;
};

// The id of a face at a size, made on first use; ids stay valid until exit.
int FindFont(const QString& family, double points);
FontFace& FontById(int id);

}  // namespace pelm32
