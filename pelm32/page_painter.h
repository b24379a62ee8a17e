// The one painting function: the PDF, the preview and the printer all get
// their pages from here, so they can never disagree.
#pragma once

class QPainter;
class QPagedPaintDevice;

namespace pelm32 {

class Document;

// Paints one page (0-based) of a finished document; the painter's device
// may have any resolution. False when the spool could not be read.
bool PaintPage(QPainter& painter, const Document& document, int index);

// Paints pages first..last (0-based, inclusive) on a paged device, one
// device page each. False when a page could not be painted.
bool PaintPages(QPainter& painter, QPagedPaintDevice& device, const Document& document, int first,
                int last);

}  // namespace pelm32
