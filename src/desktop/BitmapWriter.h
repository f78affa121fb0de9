#pragma once
#include <cstdint>
#include <string>
#include <vector>

class IDeviceBitmap;

constexpr uint32_t kBmpFileHeaderSize = 14;
constexpr uint32_t kBmpInfoHeaderSize = 40;

// Sizes of the BMP file for a bitmap of the given size and depth, before GetDIBits.
struct BmpLayout {
    uint32_t colourClass = 0;  // 1, 4, 8, 16, 24 or 32
    uint32_t colours = 0;      // entries of the colour table
    uint64_t imageSize = 0;    // the header's image size
    uint64_t rowsSize = 0;     // what GetDIBits writes: rows padded to 4 bytes
};
BmpLayout LayoutOf(int32_t width, int32_t height, uint16_t planes, uint16_t bitsPerPixel);

// The bitmap as a whole BMP file, read through its device context; empty on failure, with
// the text of the failure's message box in failure.
std::vector<uint8_t> WriteBmp(IDeviceBitmap& bitmap, std::string* failure);
