#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/BitmapWriter.h"
#include "platform/common/IconBitmap.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kBlue = 0xFF0000FFu;
constexpr uint32_t kGrey = 0xFF808080u;

// A _NET_WM_ICON entry of one colour, or of the colour a function gives each pixel.
void AddEntry(std::vector<unsigned long>* property, size_t width, size_t height,
              uint32_t (*colour)(size_t x, size_t y, size_t width)) {
    property->push_back(width);
    property->push_back(height);
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) property->push_back(colour(x, y, width));
    }
}

uint32_t Grey(size_t, size_t, size_t) {
    return kGrey;
}

// Red on the left half, blue on the right one.
uint32_t Halves(size_t x, size_t, size_t width) {
    return x < width / 2 ? kRed : kBlue;
}

uint32_t Get32(const std::vector<uint8_t>& data, size_t at) {
    return data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
           static_cast<uint32_t>(data[at + 3]) << 24;
}

TEST(IconPixels, PicksTheEntryOf32AmongSmallerAndLargerOnes) {
    std::vector<unsigned long> property;
    AddEntry(&property, 16, 16, Grey);
    AddEntry(&property, 32, 32, Halves);
    AddEntry(&property, 48, 48, Grey);
    const std::vector<uint32_t> pixels = IconPixels(property.data(), property.size());
    ASSERT_EQ(pixels.size(), 32u * 32u);
    EXPECT_EQ(pixels[0], kRed);
    EXPECT_EQ(pixels[15], kRed);
    EXPECT_EQ(pixels[16], kBlue);
    EXPECT_EQ(pixels[32 * 32 - 1], kBlue);
}

TEST(IconPixels, ScalesTheNearestLargerEntryDown) {
    std::vector<unsigned long> property;
    AddEntry(&property, 128, 128, Grey);
    AddEntry(&property, 16, 16, Grey);
    AddEntry(&property, 64, 64, Halves);
    const std::vector<uint32_t> pixels = IconPixels(property.data(), property.size());
    ASSERT_EQ(pixels.size(), 32u * 32u);
    for (size_t y = 0; y < 32; ++y) {
        EXPECT_EQ(pixels[y * 32 + 15], kRed) << y;
        EXPECT_EQ(pixels[y * 32 + 16], kBlue) << y;
    }
}

TEST(IconPixels, ScalesTheLargestUpWhenAllAreSmaller) {
    std::vector<unsigned long> property;
    AddEntry(&property, 8, 8, Grey);
    AddEntry(&property, 16, 16, Halves);
    const std::vector<uint32_t> pixels = IconPixels(property.data(), property.size());
    ASSERT_EQ(pixels.size(), 32u * 32u);
    EXPECT_EQ(pixels[15], kRed);
    EXPECT_EQ(pixels[16], kBlue);
}

TEST(IconPixels, AveragesOnlyTheOpaquePartOfABox) {
    // Two source pixels a target pixel: a transparent black one and an opaque white one
    // make a half transparent white, not a grey.
    std::vector<unsigned long> property{64, 32};
    for (size_t i = 0; i < 64 * 32; ++i) property.push_back(i % 2 ? 0xFFFFFFFFu : 0u);
    const std::vector<uint32_t> pixels = IconPixels(property.data(), property.size());
    ASSERT_EQ(pixels.size(), 32u * 32u);
    EXPECT_EQ(pixels[0], 0x7FFFFFFFu);
}

TEST(IconPixels, RejectsEntriesLargerThanTheProperty) {
    const std::vector<unsigned long> empty;
    EXPECT_TRUE(IconPixels(empty.data(), 0).empty());
    const std::vector<unsigned long> sizeOnly{32};
    EXPECT_TRUE(IconPixels(sizeOnly.data(), sizeOnly.size()).empty());
    // The product of the sizes would wrap to a small number.
    const std::vector<unsigned long> wrapping{1ul << 33, 1ul << 31, 0, 0};
    EXPECT_TRUE(IconPixels(wrapping.data(), wrapping.size()).empty());
    std::vector<unsigned long> cut;
    AddEntry(&cut, 32, 32, Halves);
    cut.pop_back();
    EXPECT_TRUE(IconPixels(cut.data(), cut.size()).empty());
    const std::vector<unsigned long> zero{0, 0, 7};
    EXPECT_TRUE(IconPixels(zero.data(), zero.size()).empty());
}

TEST(IconPixels, KeepsTheWellFormedEntriesBeforeABrokenOne) {
    std::vector<unsigned long> property;
    AddEntry(&property, 32, 32, Halves);
    property.push_back(1000);
    property.push_back(1000);
    EXPECT_EQ(IconPixels(property.data(), property.size()).size(), 32u * 32u);
}

TEST(IsBlank, AnIconShowsWhenAnyPixelHasSomeOpacity) {
    EXPECT_TRUE(IsBlank({}));
    std::vector<uint32_t> pixels(32 * 32, 0x00FFFFFFu);
    EXPECT_TRUE(IsBlank(pixels));
    pixels[1000] = 0x01000000u;
    EXPECT_FALSE(IsBlank(pixels));
}

std::vector<uint32_t> TopRowGreenBottomRowClear() {
    std::vector<uint32_t> pixels(32 * 32, kRed);
    for (size_t x = 0; x < 32; ++x) {
        pixels[x] = 0xFF00FF00u;
        pixels[31 * 32 + x] = 0x00000000u;
    }
    pixels[5 * 32 + 7] = 0x80112233u;
    return pixels;
}

TEST(CArgbIconBitmap, DescribesItselfAsA32BitBitmapOf32By32) {
    CArgbIconBitmap bitmap(TopRowGreenBottomRowClear());
    BitmapDescription d;
    ASSERT_TRUE(bitmap.GetObjectA(&d));
    EXPECT_EQ(d.width, 32);
    EXPECT_EQ(d.height, 32);
    EXPECT_EQ(d.planes, 1);
    EXPECT_EQ(d.bitsPerPixel, 32);
}

TEST(CArgbIconBitmap, MakesTheBmpOfAWindowsIconWithBottomUpBgraRows) {
    CArgbIconBitmap bitmap(TopRowGreenBottomRowClear());
    std::string failure;
    const std::vector<uint8_t> bmp = WriteBmp(bitmap, &failure);
    ASSERT_TRUE(failure.empty()) << failure;
    ASSERT_EQ(bmp.size(), 14u + 40u + 32u * 32u * 4u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(Get32(bmp, 2), bmp.size());
    EXPECT_EQ(Get32(bmp, 10), 54u);
    EXPECT_EQ(Get32(bmp, 14 + 20), 32u * 32u * 4u);  // the image size GetDIBits fills in
    EXPECT_EQ(Get32(bmp, 14 + 32), 0u);              // no colour table
    const size_t pixels = 54;
    // The file's first row is the icon's bottom one.
    EXPECT_EQ(Get32(bmp, pixels), 0x00000000u);
    EXPECT_EQ(Get32(bmp, pixels + 31 * 128), 0xFF00FF00u);
    // Byte order blue, green, red, alpha.
    const size_t at = pixels + (31 - 5) * 128 + 7 * 4;
    EXPECT_EQ(bmp[at], 0x33);
    EXPECT_EQ(bmp[at + 1], 0x22);
    EXPECT_EQ(bmp[at + 2], 0x11);
    EXPECT_EQ(bmp[at + 3], 0x80);
}

std::vector<uint8_t> Header(int32_t width, int32_t height, uint16_t bits) {
    std::vector<uint8_t> info(40 + 12);
    info[0] = 40;
    for (int i = 0; i < 4; ++i) {
        info[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(width) >> (8 * i));
        info[8 + i] = static_cast<uint8_t>(static_cast<uint32_t>(height) >> (8 * i));
    }
    info[12] = 1;
    info[14] = static_cast<uint8_t>(bits);
    return info;
}

TEST(CArgbIconBitmap, CopiesTopDownForANegativeHeightAndOnlyTheLinesAskedFor) {
    CArgbIconBitmap bitmap(TopRowGreenBottomRowClear());
    std::vector<uint8_t> info = Header(32, -32, 32);
    std::vector<uint8_t> pixels(32 * 128, 0xEE);
    EXPECT_EQ(bitmap.GetDIBits(2, info.data(), info.size(), pixels.data(), pixels.size()), 2);
    EXPECT_EQ(Get32(pixels, 0), 0xFF00FF00u);
    EXPECT_EQ(Get32(pixels, 128), kRed);
    EXPECT_EQ(pixels[2 * 128], 0xEE);  // the third line is left alone
}

TEST(CArgbIconBitmap, RefusesOtherFormatsAndShortBuffers) {
    CArgbIconBitmap bitmap(TopRowGreenBottomRowClear());
    std::vector<uint8_t> pixels(32 * 128);
    for (const auto& info : {Header(32, 32, 24), Header(16, 16, 32), Header(32, 31, 32)}) {
        std::vector<uint8_t> copy = info;
        EXPECT_EQ(bitmap.GetDIBits(32, copy.data(), copy.size(), pixels.data(), pixels.size()), 0);
    }
    std::vector<uint8_t> info = Header(32, 32, 32);
    EXPECT_EQ(bitmap.GetDIBits(32, info.data(), 39, pixels.data(), pixels.size()), 0);
    EXPECT_EQ(bitmap.GetDIBits(32, info.data(), info.size(), pixels.data(), pixels.size() - 1), 0);
    EXPECT_EQ(bitmap.GetDIBits(0, info.data(), info.size(), pixels.data(), pixels.size()), 0);
}

}  // namespace
