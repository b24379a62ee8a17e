// What the print preview shows, apart from any window system: which pages
// are in view and how many at once, at what zoom, where each sits in the
// view, and the window's first size. Each platform's preview keeps one.
#pragma once

namespace pelm32 {

// Pixels around and between pages in the view.
constexpr int kPageGap = 16;

struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A page's size in pixels at zoom 1.
struct PageSize {
    double width = 0;
    double height = 0;
};

// Columns and rows for a number of pages in view: 1 x 1, 2 x 1, 2 x 2.
PixelSize PageGrid(int perView);

// The zoom at which a grid of pages fits the area: whole pages, or the
// width only.
double ZoomToFit(PixelSize area, PageSize page, int perView, bool wholePage);

// The window's first size on a screen with the given available area
// (logical pixels, so any scale factor): a whole page as large as fits,
// and the whole tool bar where there is room, never more than 90 % of the
// area either way. chrome is what the window needs besides the view (tool
// bar height, scroll bar, frame).
PixelSize FirstPreviewSize(PixelSize available, PageSize page, PixelSize chrome, int toolBarWidth);

// The pages in view: the first of them, how many (1, 2 or 4; a view of
// several always starts at a multiple of their count), and the zoom.
class PreviewPages {
  public:
    static constexpr double kMinZoom = 0.1;
    static constexpr double kMaxZoom = 8.0;
    static constexpr double kZoomStep = 1.25;

    PreviewPages(int pageTotal, PageSize pageAtZoomOne);

    int First() const { return first_; }
    int PerView() const { return perView_; }
    double Zoom() const { return zoom_; }
    int PageTotal() const { return total_; }
    PageSize PageAtZoomOne() const { return page_; }

    // Everything asked is brought into range.
    void Show(int first, int perView, double zoom);
    void ShowFirst() { Show(0, perView_, zoom_); }
    void ShowLast() { Show(total_ - 1, perView_, zoom_); }
    // One view's worth of pages back or on; false where there are none.
    bool Turn(int direction);
    void ZoomBy(double factor) { Show(first_, perView_, zoom_ * factor); }
    bool CanTurn(int direction) const;

    // The view's whole size, and where its index-th page sits in it.
    PixelSize ViewSize() const;
    PixelSize PagePixels() const;
    PixelRect Sheet(int index) const;
    // How many of the view's places hold a page.
    int PagesInView() const;

  private:
    int total_;
    PageSize page_;
    int first_ = 0;
    int perView_ = 1;
    double zoom_ = 1.0;
};

}  // namespace pelm32
