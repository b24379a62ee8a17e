#include "pelm32/core/character_cells.h"

#include <algorithm>
#include <iterator>

#include "pelm32/core/cell_width_ranges.h"

namespace pelm32 {

namespace {

// Right-to-left scripts and scripts with contextual forms or reordering.
constexpr CellRange kShapedScripts[] = {
    {0x0590, 0x08FF},    // Hebrew, Arabic, Syriac, Thaana, NKo, Samaritan, Mandaic
    {0x0900, 0x0DFF},    // Devanagari to Sinhala
    {0x0E00, 0x0FFF},    // Thai, Lao, Tibetan
    {0x1000, 0x109F},    // Myanmar
    {0x1700, 0x18AF},    // Philippine scripts, Khmer, Mongolian
    {0x1900, 0x1AFF},    // Limbu to Tai Tham
    {0x1B00, 0x1C4F},    // Balinese to Lepcha
    {0xA800, 0xA82F},    // Syloti Nagri
    {0xA840, 0xA8FF},    // Phags-pa, Saurashtra, Devanagari Extended
    {0xA900, 0xAAFF},    // Kayah Li to Tai Viet
    {0xABC0, 0xABFF},    // Meetei Mayek
    {0xFB1D, 0xFDFF},    // Hebrew and Arabic presentation forms
    {0xFE70, 0xFEFF},    // Arabic presentation forms B
    {0x10800, 0x10FFF},  // historic right-to-left scripts
    {0x11000, 0x11FFF},  // historic Brahmic scripts
    {0x1E800, 0x1EFFF},  // Adlam and other right-to-left scripts
};

template <size_t N>
bool In(const CellRange (&ranges)[N], char32_t c) {
    const auto after = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                        [](char32_t x, const CellRange& r) { return x < r.first; });
    return after != std::begin(ranges) && c <= std::prev(after)->last;
}

}  // namespace

int CellWidth(char32_t c) {
    if (c < 0x300) {
        return 1;  // Latin: most text never looks further
    }
    if (In(kZeroRanges, c)) {
        return 0;
    }
    return In(kWideRanges, c) ? 2 : 1;
}

bool NeedsShaping(char32_t c) {
    return c >= 0x300 && (In(kShapedScripts, c) || In(kZeroRanges, c));
}

}  // namespace pelm32
