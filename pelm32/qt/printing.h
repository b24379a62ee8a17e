// Printing a finished document so that every mark lands on the paper,
// whatever paper the user or the printer picks.
#pragma once

class QPrinter;

namespace pelm32 {

class Document;

// What the print dialog starts with: the document's paper, no margins,
// its title as the job's name.
void SetUpPrinter(const Document& document, QPrinter& printer);

// Prints the pages the printer's range asks for (all by default). On paper
// of the document's size the pages print as they are; on any other paper
// each page is scaled to fit the printable area, centred. False, said on
// standard error, when printing could not start or the spool could not be
// read back.
bool PrintDocument(const Document& document, QPrinter& printer);

}  // namespace pelm32
