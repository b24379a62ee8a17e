// The Windows-1252 code page, which is also what a PDF simple font with
// /WinAnsiEncoding shows.
#pragma once

#include <cstdint>

namespace pelm32::pdf {

// The character of a Windows-1252 byte; 0 for the five bytes the code page
// leaves undefined.
char32_t Windows1252ToUnicode(uint8_t byte);

// The code a character has under /WinAnsiEncoding, or 0 when it has none
// there. Control characters, the no-break space and the soft hyphen get 0
// too: readers show those codes as other glyphs (space, hyphen), so such
// characters go through glyph ids instead.
uint8_t UnicodeToWinAnsi(char32_t character);

}  // namespace pelm32::pdf
