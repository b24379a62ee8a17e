// The geometry of the print preview, apart from its widgets: how pages sit
// in the view, the zoom that fits them, and the window's first size.
#pragma once

#include <QRect>
#include <QSize>
#include <QSizeF>

namespace pelm32 {

// Pixels around and between pages in the view.
constexpr int kPageGap = 16;

// Columns and rows for a number of pages in view: 1 x 1, 2 x 1, 2 x 2.
QSize PageGrid(int perView);

// The zoom at which a grid of pages (each page in pixels at zoom 1) fits the
// area: whole pages, or the width only.
double ZoomToFit(const QSize& area, const QSizeF& page, int perView, bool wholePage);

// The window's first size on a screen with the given available area
// (logical pixels, so any scale factor): a whole page as large as fits,
// and the whole tool bar where there is room, never more than 90 % of the
// area either way. chrome is what the window needs besides the view (tool
// bar height, scroll bar, frame).
QSize FirstPreviewSize(const QRect& available, const QSizeF& page, const QSize& chrome,
                       int toolBarWidth);

}  // namespace pelm32
