#include "pelm32/core/preview_pages.h"

#include <algorithm>
#include <cmath>

namespace pelm32 {

PixelSize PageGrid(int perView) {
    return perView >= 4 ? PixelSize{2, 2} : PixelSize{std::max(perView, 1), 1};
}

double ZoomToFit(PixelSize area, PageSize page, int perView, bool wholePage) {
    const PixelSize grid = PageGrid(perView);
    const double byWidth = (area.width - kPageGap * (grid.width + 1)) / (grid.width * page.width);
    const double byHeight =
        (area.height - kPageGap * (grid.height + 1)) / (grid.height * page.height);
    return wholePage ? std::min(byWidth, byHeight) : byWidth;
}

PixelSize FirstPreviewSize(PixelSize available, PageSize page, PixelSize chrome, int toolBarWidth) {
    const int maxWidth = static_cast<int>(available.width * 0.9);
    const int maxHeight = static_cast<int>(available.height * 0.9);
    // As tall as allowed, and as wide as a whole page then needs, or as the
    // tool bar.
    const double zoom =
        ZoomToFit({maxWidth - chrome.width, maxHeight - chrome.height}, page, 1, true);
    const int pageWidth = static_cast<int>(std::ceil(page.width * zoom)) + 2 * kPageGap;
    const int width = std::min(maxWidth, std::max(pageWidth + chrome.width, toolBarWidth));
    return {width, maxHeight};
}

PreviewPages::PreviewPages(int pageTotal, PageSize pageAtZoomOne)
    : total_(std::max(pageTotal, 1)), page_(pageAtZoomOne) {}

void PreviewPages::Show(int first, int perView, double zoom) {
    perView_ = perView >= 4 ? 4 : std::clamp(perView, 1, 2);
    first_ = std::clamp(first, 0, total_ - 1);
    first_ -= first_ % perView_;
    zoom_ = std::isfinite(zoom) ? std::clamp(zoom, kMinZoom, kMaxZoom) : 1.0;
}

bool PreviewPages::CanTurn(int direction) const {
    return direction > 0 ? first_ + perView_ < total_ : first_ > 0;
}

bool PreviewPages::Turn(int direction) {
    if (!CanTurn(direction)) {
        return false;
    }
    Show(first_ + (direction > 0 ? perView_ : -perView_), perView_, zoom_);
    return true;
}

// Whole pixels, rounded down: pages at a zoom that fits an area fit it,
// with no pixel over to scroll to (the keys would scroll it before they
// turn the pages).
PixelSize PreviewPages::PagePixels() const {
    constexpr double kSlack = 1e-6;
    return {static_cast<int>(std::floor(page_.width * zoom_ + kSlack)),
            static_cast<int>(std::floor(page_.height * zoom_ + kSlack))};
}

PixelSize PreviewPages::ViewSize() const {
    const PixelSize page = PagePixels();
    const PixelSize grid = PageGrid(perView_);
    return {kPageGap + grid.width * (page.width + kPageGap),
            kPageGap + grid.height * (page.height + kPageGap)};
}

PixelRect PreviewPages::Sheet(int index) const {
    const PixelSize page = PagePixels();
    const PixelSize grid = PageGrid(perView_);
    return {kPageGap + (index % grid.width) * (page.width + kPageGap),
            kPageGap + (index / grid.width) * (page.height + kPageGap), page.width, page.height};
}

int PreviewPages::PagesInView() const {
    return std::min(perView_, total_ - first_);
}

}  // namespace pelm32
