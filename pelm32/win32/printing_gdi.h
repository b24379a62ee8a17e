// Printing a finished document with GDI so that every mark lands on the
// paper, whatever paper the user or the printer picks.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace pelm32 {

class Document;

// The system's print dialog over owner, with the document's paper chosen
// and its pages to pick from; prints what the user asks for there. A
// failure is told in the engine's message box.
void PrintWithDialog(const Document& document, HWND owner);

// Prints pages first to last (0-based) on a printer's device context. On
// paper of the document's size the pages print as they are; on any other
// paper each page is scaled to fit the printable area, centred. The job
// goes to the file output instead when that is not empty. False, with the
// reason in why, when printing could not start or the spool could not be
// read back.
bool PrintDocument(const Document& document, HDC printer, int first, int last,
                   const std::wstring& output, std::string& why);

}  // namespace pelm32
