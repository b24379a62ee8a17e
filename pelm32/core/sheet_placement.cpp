#include "pelm32/core/sheet_placement.h"

#include <algorithm>
#include <cmath>

namespace pelm32 {

SheetPlacement PlaceOnSheet(double pageWidth, double pageHeight, double sheetWidth,
                            double sheetHeight, const PointRect& printable) {
    // Within a point: printers round their paper sizes.
    if (std::abs(sheetWidth - pageWidth) < 1 && std::abs(sheetHeight - pageHeight) < 1) {
        return {};
    }
    const double scale = std::min(printable.width / pageWidth, printable.height / pageHeight);
    return {scale, printable.x + (printable.width - pageWidth * scale) / 2,
            printable.y + (printable.height - pageHeight * scale) / 2};
}

}  // namespace pelm32
