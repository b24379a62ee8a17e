#include "pelm32/qt/preview_layout.h"

#include <algorithm>
#include <cmath>

namespace pelm32 {

QSize PageGrid(int perView) {
    return perView >= 4 ? QSize(2, 2) : QSize(std::max(perView, 1), 1);
}

double ZoomToFit(const QSize& area, const QSizeF& page, int perView, bool wholePage) {
    const QSize grid = PageGrid(perView);
    const double byWidth =
        (area.width() - kPageGap * (grid.width() + 1)) / (grid.width() * page.width());
    const double byHeight =
        (area.height() - kPageGap * (grid.height() + 1)) / (grid.height() * page.height());
    return wholePage ? std::min(byWidth, byHeight) : byWidth;
}

QSize FirstPreviewSize(const QRect& available, const QSizeF& page, const QSize& chrome,
                       int toolBarWidth) {
    const int maxWidth = static_cast<int>(available.width() * 0.9);
    const int maxHeight = static_cast<int>(available.height() * 0.9);
    // As tall as allowed, and as wide as a whole page then needs, or as the
    // tool bar.
    const double zoom =
        ZoomToFit(QSize(maxWidth - chrome.width(), maxHeight - chrome.height()), page, 1, true);
    const int pageWidth = static_cast<int>(std::ceil(page.width() * zoom)) + 2 * kPageGap;
    const int width = std::min(maxWidth, std::max(pageWidth + chrome.width(), toolBarWidth));
    return QSize(width, maxHeight);
}

}  // namespace pelm32
