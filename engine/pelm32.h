/* The print engine's nine functions: the boundary that the report job calls
   and that any substitute engine implements.

   Integers are 32-bit signed, positions and sizes 32-bit floats in inches from
   the top left corner of the page, texts zero-terminated single-byte strings
   (the null address for an empty text). Texts are only valid during the call:
   an engine copies what it keeps. */
#ifndef ENGINE_PELM32_H
#define ENGINE_PELM32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Starts a document whose first page is open for drawing. The value is the
   engine's 16-bit signed document handle; callers keep its low 16 bits,
   sign-extended, and a handle of 0 or less means no document was started. */
int32_t pmStartDoc(int32_t option1, const char* title, const char* text3, int32_t option4,
                   int32_t pageValue1, int32_t pageValue2, int32_t pageValue3, int32_t startOption);

/* Registers a bitmap file with the document; the id is passed to pmDrawGraphic. */
int32_t pmAddGraphic(int32_t doc, const char* fileName);

/* Selects the font for the texts and numbers that follow. */
void pmFont(int32_t doc, int32_t option2, float pointSize, int32_t option4, const char* faceName);

/* Draws text at (x, y) on the current page in the current font. */
void pmText(int32_t doc, float x, float y, int32_t textOption, const char* text);

/* Draws the current page's number at (x, y). */
void pmPageNo(int32_t doc, float x, float y, int32_t textOption, int32_t option5);

/* Draws the document's final page count at (x, y). */
void pmPageCount(int32_t doc, float x, float y, int32_t textOption, int32_t option5);

/* Draws a registered graphic scaled into the rectangle. */
void pmDrawGraphic(int32_t doc, int32_t graphic, float left, float top, float right, float bottom);

/* Later drawing goes to a new page that follows the current one. */
void pmNewPage(int32_t doc, int32_t pageValue1, int32_t pageValue2, int32_t pageValue3);

/* The document is complete and handed to the engine. */
void pmFinishDoc(int32_t doc, int32_t endMode);

#ifdef __cplusplus
}
#endif

#endif /* ENGINE_PELM32_H */
