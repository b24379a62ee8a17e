// Printing a finished document so that every mark lands on the paper,
// whatever paper the user or the printer picks.
#pragma once

class QPrinter;
class QWidget;

namespace pelm32 {

class Document;

// What the print dialog starts with: the document's paper, no margins,
// its title as the job's name.
void SetUpPrinter(const Document& document, QPrinter& printer);

// The system's print dialog over parent, for the pages of the document;
// false when the user cancels it. The document's paper stays unless the
// user picks another.
bool AskForPrinter(const Document& document, QPrinter& printer, QWidget* parent);

// Prints the pages the printer's range asks for (all by default). On paper
// of the document's size the pages print as they are; on any other paper
// each page is scaled to fit the printable area, centred. False, told in
// the engine's message box, when printing could not start, the spool could
// not be read back or the print system refused the job.
bool PrintDocument(const Document& document, QPrinter& printer);

}  // namespace pelm32
