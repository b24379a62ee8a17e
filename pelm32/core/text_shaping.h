// The two steps a line of complex text goes through before it is laid out:
// its embedding levels (the Unicode Bidirectional Algorithm, in a
// left-to-right paragraph, as a report reads), and the shaping of a run of
// one face, script and direction into glyphs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelm32 {

class Face;

// Each character's embedding level: even left to right, odd right to left.
// Blanks at the end of the line take the paragraph's level.
void BidiLevels(const char32_t* text, size_t length, std::vector<uint8_t>& levels);

// Visual order of runs of one level (given in logical order by their
// levels): the indexes of the runs from left to right.
std::vector<size_t> VisualOrder(const std::vector<uint8_t>& runLevels);

// The script a character belongs to; 0 for characters of any script
// (spaces, digits, punctuation, marks), which go with their neighbours.
uint32_t ScriptOf(char32_t c);

struct ShapedGlyph {
    uint16_t glyph;
    uint32_t cluster;  // the index in the text of its cluster's first character
    // Font units.
    int32_t advance;
    int32_t xOffset;
    int32_t yOffset;
};

// Shapes text[begin, begin + length) in face, with the text around it as
// context: glyphs in visual order (left to right).
void Shape(const Face& face, const char32_t* text, size_t textLength, size_t begin, size_t length,
           uint32_t script, bool rightToLeft, std::vector<ShapedGlyph>& glyphs);

}  // namespace pelm32
