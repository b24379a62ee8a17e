// A bitmap as the engine keeps it: decoded pixels, no toolkit types, so the
// PDF writer and the painter read the same data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelm32 {

struct Bitmap {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;    // 3 bytes a pixel, rows top to bottom
    std::vector<uint8_t> alpha;  // 1 byte a pixel; empty when fully opaque

    bool Empty() const { return width == 0 || height == 0; }
};

// Decodes a bitmap file (BMP, and whatever else the platform reads). False,
// with the reason in why, when it cannot be read or decoded; why is
// kBitmapNotFound when there is no such file.
constexpr char kBitmapNotFound[] = "not found";
bool DecodeBitmapFile(const std::string& path, Bitmap& bitmap, std::string& why);

}  // namespace pelm32
