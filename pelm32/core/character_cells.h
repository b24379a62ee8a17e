// What a character takes on the report's grid of cells, as a terminal shows
// it, and whether it can be drawn on its own or needs its neighbours
// (shaping, joining, right-to-left order).
#pragma once

namespace pelm32 {

// 2 for East Asian Wide and Fullwidth characters, 0 for marks, format
// characters and medial or final jamo, else 1.
int CellWidth(char32_t c);

// True for characters whose look or place depends on the text around them:
// those of no cell (marks, joiners), the right-to-left scripts, and the
// scripts that reorder, join or stack (Brahmic, Thai and its neighbours,
// Tibetan, Mongolian, ...). Text without them is drawn glyph by glyph.
bool NeedsShaping(char32_t c);

}  // namespace pelm32
