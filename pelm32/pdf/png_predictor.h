// Rows of pixels prepared for Flate the way PNG does it: each row gets the
// filter (none, sub, up, average, Paeth) that leaves the smallest
// differences, which is what lets a drawn logo compress to a fraction of
// its raw size. Readers undo it through /DecodeParms /Predictor 15.
#pragma once

#include <cstdint>
#include <string>

namespace pelm32::pdf {

// Appends the filtered rows (a filter byte, then the row) of an image of
// 8-bit samples, channels bytes a pixel, rows top to bottom.
void AppendPredictedRows(const uint8_t* pixels, uint32_t width, uint32_t height, unsigned channels,
                         std::string& out);

}  // namespace pelm32::pdf
