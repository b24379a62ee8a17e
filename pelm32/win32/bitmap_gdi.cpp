// Bitmaps decoded by GDI: the file loaded as a DIB section, its pixels read
// back as 32-bit rows, top to bottom.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "pelm32/core/bitmap.h"
#include "pelm32/core/native_file.h"
#include "pelm32/win32/windows_text.h"

namespace pelm32 {

namespace {

// The pixels as blue, green, red, alpha; empty when GDI cannot give them.
std::vector<uint8_t> Pixels(HBITMAP image, int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;  // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    const int rows =
        GetDIBits(dc, image, 0, static_cast<UINT>(height), pixels.data(), &format, DIB_RGB_COLORS);
    DeleteDC(dc);
    return rows == height ? pixels : std::vector<uint8_t>();
}

// A 32-bit file may carry alpha; one whose fourth bytes are all 0 does not.
bool KeepsAlpha(const std::vector<uint8_t>& pixels, int bitsPerPixel) {
    if (bitsPerPixel != 32) {
        return false;
    }
    bool anyVisible = false;
    bool anyTranslucent = false;
    for (size_t at = 3; at < pixels.size(); at += 4) {
        anyVisible = anyVisible || pixels[at] != 0;
        anyTranslucent = anyTranslucent || pixels[at] != 255;
    }
    return anyVisible && anyTranslucent;
}

}  // namespace

bool DecodeBitmapFile(const std::string& path, Bitmap& bitmap, std::string& why) {
    if (path.empty()) {
        why = "no file name";
        return false;
    }
    auto image = static_cast<HBITMAP>(LoadImageW(nullptr, Wide(path).c_str(), IMAGE_BITMAP, 0, 0,
                                                 LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (image == nullptr) {
        why = native::ErrorText(static_cast<int>(GetLastError()));
        return false;
    }
    BITMAP header{};
    GetObjectW(image, sizeof header, &header);
    const std::vector<uint8_t> pixels = Pixels(image, header.bmWidth, header.bmHeight);
    DeleteObject(image);
    if (pixels.empty() || header.bmWidth <= 0 || header.bmHeight <= 0) {
        why = "the system cannot read its pixels";
        return false;
    }
    bitmap.width = static_cast<uint32_t>(header.bmWidth);
    bitmap.height = static_cast<uint32_t>(header.bmHeight);
    const size_t count = size_t{bitmap.width} * bitmap.height;
    bitmap.rgb.resize(count * 3);
    for (size_t at = 0; at < count; ++at) {
        bitmap.rgb[at * 3] = pixels[at * 4 + 2];
        bitmap.rgb[at * 3 + 1] = pixels[at * 4 + 1];
        bitmap.rgb[at * 3 + 2] = pixels[at * 4];
    }
    bitmap.alpha.clear();
    if (KeepsAlpha(pixels, header.bmBitsPixel)) {
        bitmap.alpha.resize(count);
        for (size_t at = 0; at < count; ++at) {
            bitmap.alpha[at] = pixels[at * 4 + 3];
        }
    }
    return true;
}

}  // namespace pelm32
