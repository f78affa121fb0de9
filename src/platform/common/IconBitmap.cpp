#include "platform/common/IconBitmap.h"

#include <algorithm>
#include <utility>

namespace {

constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kInfoWidth = 4;
constexpr size_t kInfoHeight = 8;
constexpr size_t kInfoBitCount = 14;
constexpr size_t kInfoImageSize = 20;
constexpr uint16_t kBitsPerPixel = 32;
constexpr size_t kRowBytes = kIconSize * 4;

struct Entry {
    size_t width = 0;
    size_t height = 0;
    const unsigned long* pixels = nullptr;
};

int32_t Get32(const uint8_t* at) {
    return static_cast<int32_t>(static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                                static_cast<uint32_t>(at[2]) << 16 |
                                static_cast<uint32_t>(at[3]) << 24);
}

void Put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool Better(const Entry& candidate, const Entry& best) {
    const auto fits = [](const Entry& e) { return e.width >= kIconSize && e.height >= kIconSize; };
    if (best.pixels == nullptr) return true;
    const size_t area = candidate.width * candidate.height;
    const size_t bestArea = best.width * best.height;
    if (fits(candidate) != fits(best)) return fits(candidate);
    // Among those at least as large the smallest, among smaller ones the largest.
    return fits(candidate) ? area < bestArea : area > bestArea;
}

// Averages the box of source pixels that each icon pixel covers, weighting colours by their
// opacity so that transparent pixels don't darken the edges.
std::vector<uint32_t> Scale(const Entry& entry) {
    std::vector<uint32_t> out(kIconSize * kIconSize);
    for (size_t y = 0; y < kIconSize; ++y) {
        const size_t top = y * entry.height / kIconSize;
        const size_t bottom = std::max(top + 1, (y + 1) * entry.height / kIconSize);
        for (size_t x = 0; x < kIconSize; ++x) {
            const size_t left = x * entry.width / kIconSize;
            const size_t right = std::max(left + 1, (x + 1) * entry.width / kIconSize);
            uint64_t alpha = 0;
            uint64_t red = 0;
            uint64_t green = 0;
            uint64_t blue = 0;
            for (size_t sy = top; sy < bottom; ++sy) {
                for (size_t sx = left; sx < right; ++sx) {
                    const auto pixel = static_cast<uint32_t>(entry.pixels[sy * entry.width + sx]);
                    const uint32_t a = pixel >> 24;
                    alpha += a;
                    red += a * ((pixel >> 16) & 0xFF);
                    green += a * ((pixel >> 8) & 0xFF);
                    blue += a * (pixel & 0xFF);
                }
            }
            const uint64_t count = (bottom - top) * (right - left);
            if (alpha == 0) continue;
            out[y * kIconSize + x] =
                static_cast<uint32_t>((alpha / count) << 24 | (red / alpha) << 16 |
                                      (green / alpha) << 8 | (blue / alpha));
        }
    }
    return out;
}

}  // namespace

std::vector<uint32_t> IconPixels(const unsigned long* values, size_t count) {
    Entry best;
    for (size_t at = 0; count - at >= 2;) {
        Entry entry{values[at], values[at + 1], values + at + 2};
        // Both sizes bounded first, so their product can't wrap.
        if (entry.width == 0 || entry.height == 0 || entry.width > count || entry.height > count ||
            entry.width * entry.height > count - at - 2) {
            break;
        }
        if (Better(entry, best)) best = entry;
        at += 2 + entry.width * entry.height;
    }
    if (best.pixels == nullptr) return {};
    if (best.width != kIconSize || best.height != kIconSize) return Scale(best);
    std::vector<uint32_t> out(kIconSize * kIconSize);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint32_t>(best.pixels[i]);
    return out;
}

bool IsBlank(const std::vector<uint32_t>& pixels) {
    return std::all_of(pixels.begin(), pixels.end(), [](uint32_t argb) { return argb >> 24 == 0; });
}

CArgbIconBitmap::CArgbIconBitmap(std::vector<uint32_t> pixels) : m_pixels(std::move(pixels)) {
    m_pixels.resize(kIconSize * kIconSize);
}

bool CArgbIconBitmap::GetObjectA(BitmapDescription* description) {
    description->width = kIconSize;
    description->height = kIconSize;
    description->planes = 1;
    description->bitsPerPixel = kBitsPerPixel;
    return true;
}

int CArgbIconBitmap::GetDIBits(uint32_t lines, uint8_t* info, size_t infoSize, uint8_t* pixels,
                               size_t pixelSize) {
    if (infoSize < kInfoHeaderSize) return 0;
    const int32_t width = Get32(info + kInfoWidth);
    const int32_t height = Get32(info + kInfoHeight);
    const uint16_t bits = static_cast<uint16_t>(info[kInfoBitCount] | info[kInfoBitCount + 1] << 8);
    if (bits != kBitsPerPixel || width != kIconSize ||
        (height != kIconSize && height != -kIconSize)) {
        return 0;
    }
    const size_t rows = std::min<size_t>(lines, kIconSize);
    if (rows == 0 || pixelSize < rows * kRowBytes) return 0;
    // GetDIBits tells the size of the whole image, whatever number of lines it copies.
    Put32(info + kInfoImageSize, kIconSize * kRowBytes);
    for (size_t row = 0; row < rows; ++row) {
        // A positive height asks for the bottom row first.
        const size_t source = height > 0 ? kIconSize - 1 - row : row;
        uint8_t* out = pixels + row * kRowBytes;
        for (size_t x = 0; x < kIconSize; ++x) {
            const uint32_t argb = m_pixels[source * kIconSize + x];
            out[4 * x] = static_cast<uint8_t>(argb);
            out[4 * x + 1] = static_cast<uint8_t>(argb >> 8);
            out[4 * x + 2] = static_cast<uint8_t>(argb >> 16);
            out[4 * x + 3] = static_cast<uint8_t>(argb >> 24);
        }
    }
    return static_cast<int>(rows);
}
