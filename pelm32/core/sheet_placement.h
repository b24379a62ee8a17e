// Where a page lands on a printer's sheet, apart from any printing system:
// on paper of the page's size as it is; on any other paper scaled to fit
// the printable area, centred, so nothing is cut.
#pragma once

namespace pelm32 {

// A rectangle in points from the sheet's top left corner.
struct PointRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// The page's scale and its top left corner on the sheet, in points.
struct SheetPlacement {
    double scale = 1;
    double x = 0;
    double y = 0;
};

// A page of pageWidth x pageHeight points on a sheet of the given size, of
// which the printer prints on printable.
SheetPlacement PlaceOnSheet(double pageWidth, double pageHeight, double sheetWidth,
                            double sheetHeight, const PointRect& printable);

}  // namespace pelm32
