#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/WindowSystem.h"

// Icons go to the device at the size Windows gives a program's icon.
constexpr int kIconSize = 32;

// The pixels (ARGB, row by row from the top) of the _NET_WM_ICON entry of 32 by 32, else
// of the smallest larger one, else of the largest, scaled to 32 by 32. The property is
// width, height and that many pixels, entry after entry, one value each. Empty when it
// holds no well-formed entry.
std::vector<uint32_t> IconPixels(const unsigned long* values, size_t count);

// Whether no pixel of the icon shows (none at all included).
bool IsBlank(const std::vector<uint32_t>& pixels);

// A 32 by 32 icon as Windows hands over an icon's colour bitmap: a 32-bit device bitmap
// that GetDIBits copies into bottom-up (or top-down) BGRA rows.
class CArgbIconBitmap : public IDeviceBitmap {
public:
    // kIconSize * kIconSize ARGB pixels.
    explicit CArgbIconBitmap(std::vector<uint32_t> pixels);

    bool GetObjectA(BitmapDescription* description) override;
    // Answers 32-bit requests of the bitmap's own size only.
    int GetDIBits(uint32_t lines, uint8_t* info, size_t infoSize, uint8_t* pixels,
                  size_t pixelSize) override;

private:
    std::vector<uint32_t> m_pixels;
};
