/* The print engine's nine functions: the boundary that the report job calls
   and that any substitute engine implements.

   Integers are 32-bit signed, positions and sizes 32-bit floats in inches from
   the top left corner of the page, texts zero-terminated single-byte strings
   (the null address for an empty text). Texts are only valid during the call:
   an engine copies what it keeps.

   On Windows they are pelm32.dll's, exported under their plain names and
   called with __stdcall (on 64-bit Windows there is one convention, and the
   keyword changes nothing). Link with libpelm32.dll.a (MinGW) or pelm32.lib
   (MSVC). Define PELM32_NO_IMPORT to declare them without dllimport: in the
   engine itself, and in a program that links the engine in or supplies the
   functions itself. */
#ifndef ENGINE_PELM32_H
#define ENGINE_PELM32_H

#include <stdint.h>

#if defined(_WIN32)
#define PELM32_CALL __stdcall
#if defined(PELM32_NO_IMPORT)
#define PELM32_API
#else
#define PELM32_API __declspec(dllimport)
#endif
#else
#define PELM32_CALL
#define PELM32_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts a document whose first page is open for drawing. The value is the
   engine's 16-bit signed document handle; callers keep its low 16 bits,
   sign-extended, and a handle of 0 or less means no document was started. */
PELM32_API int32_t PELM32_CALL pmStartDoc(int32_t option1, const char* title, const char* text3,
                                          int32_t option4, int32_t pageValue1, int32_t pageValue2,
                                          int32_t pageValue3, int32_t startOption);

/* Registers a bitmap file with the document; the id is passed to pmDrawGraphic. */
PELM32_API int32_t PELM32_CALL pmAddGraphic(int32_t doc, const char* fileName);

/* Selects the font for the texts and numbers that follow. */
PELM32_API void PELM32_CALL pmFont(int32_t doc, int32_t option2, float pointSize, int32_t option4,
                                   const char* faceName);

/* Draws text at (x, y) on the current page in the current font. */
PELM32_API void PELM32_CALL pmText(int32_t doc, float x, float y, int32_t textOption,
                                   const char* text);

/* Draws the current page's number at (x, y). */
PELM32_API void PELM32_CALL pmPageNo(int32_t doc, float x, float y, int32_t textOption,
                                     int32_t option5);

/* Draws the document's final page count at (x, y). */
PELM32_API void PELM32_CALL pmPageCount(int32_t doc, float x, float y, int32_t textOption,
                                        int32_t option5);

/* Draws a registered graphic scaled into the rectangle. */
PELM32_API void PELM32_CALL pmDrawGraphic(int32_t doc, int32_t graphic, float left, float top,
                                          float right, float bottom);

/* Later drawing goes to a new page that follows the current one. */
PELM32_API void PELM32_CALL pmNewPage(int32_t doc, int32_t pageValue1, int32_t pageValue2,
                                      int32_t pageValue3);

/* The document is complete and handed to the engine. */
PELM32_API void PELM32_CALL pmFinishDoc(int32_t doc, int32_t endMode);

#ifdef __cplusplus
}
#endif

#endif /* ENGINE_PELM32_H */
