#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/BitmapWriter.h"
#include "desktop/WindowIcon.h"
#include "fakes/WindowRig.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Icon = FakeWindowSystem::Icon;

uint32_t Read32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Read16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// WriteBmp of one icon on the fake's screen.
struct Writer {
    explicit Writer(Icon icon) { windows.icons["icon"] = icon; }
    Bytes Write() {
        Bytes bmp;
        std::string failure;
        windows.WithFileIcon("icon", [&](IDeviceBitmap& b) { bmp = WriteBmp(b, &failure); });
        if (!failure.empty()) windows.ShowMessageBox(failure);
        return bmp;
    }
    FakeWindowSystem windows;
};

Icon IconOf(int32_t width, int32_t height, uint16_t bits) {
    Icon icon;
    icon.description = {width, height, 1, bits};
    icon.linesCopied = height;
    return icon;
}

TEST(BitmapWriter, SizesOfAThirtyTwoPixelIconAtEachDepth) {
    const struct {
        uint16_t bits;
        uint32_t colours;
        uint32_t image;
        size_t length;
    } cases[] = {{32, 0, 4096, 4150},  {24, 0, 3072, 3126}, {16, 65536, 2048, 264246},
                 {8, 256, 1024, 2102}, {4, 16, 512, 630},   {1, 2, 128, 190}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        Writer w(IconOf(32, 32, c.bits));
        const Bytes bmp = w.Write();
        ASSERT_EQ(bmp.size(), c.length);
        EXPECT_EQ(Read32(bmp, 2), c.length);             // file size
        EXPECT_EQ(Read32(bmp, 10), 54 + 4 * c.colours);  // pixel offset
        EXPECT_EQ(Read16(bmp, 28), c.bits);              // the bitmap's own depth
        EXPECT_EQ(Read32(bmp, 34), c.image);             // image size
        EXPECT_EQ(Read32(bmp, 46), c.colours);           // colours used
        EXPECT_EQ(w.windows.dibLines, 32u);
        EXPECT_EQ(bmp.back(), 0xAB);
    }
}

TEST(BitmapWriter, HeadersAreLittleEndianAndPacked) {
    Writer w(IconOf(48, 40, 8));
    const Bytes bmp = w.Write();
    const Bytes start(bmp.begin(), bmp.begin() + 54);
    const Bytes expected = {
        'B', 'M', 0xB6, 0x0B, 0,    0, 0, 0, 0,  0, 0x36, 4, 0, 0,        // file header
        40,  0,   0,    0,    48,   0, 0, 0, 40, 0, 0,    0, 1, 0, 8, 0,  // size, W, H, P, B
        0,   0,   0,    0,    0x80, 7, 0, 0,                              // BI_RGB, 1920 bytes
        0,   0,   0,    0,    0,    0, 0, 0,                              // resolutions
        0,   1,   0,    0,    0,    0, 0, 0};                             // 256 colours, 0
    EXPECT_EQ(start, expected);
    EXPECT_EQ(bmp.size(), 54u + 1024 + 1920);
    EXPECT_EQ(bmp[54], 0x10);  // the colour table as GetDIBits filled it
    EXPECT_EQ(bmp[58], 0x10);
    EXPECT_EQ(bmp[62], 0);  // entries it left alone stay 0
}

TEST(BitmapWriter, OneBitRowsOfOddWidthFitTheBufferAndTheFile) {
    // 33 pixels need 5 bytes, but each row GetDIBits writes is padded to 8.
    Writer w(IconOf(33, 10, 1));
    const Bytes bmp = w.Write();
    EXPECT_TRUE(w.windows.CallsOf("overrun").empty());
    EXPECT_GE(w.windows.dibPixelSize, 80u);
    ASSERT_EQ(bmp.size(), 54u + 8 + 80);
    EXPECT_EQ(Read32(bmp, 34), 80u);
    EXPECT_EQ(Read32(bmp, 2), bmp.size());
}

TEST(BitmapWriter, SizesAreReadBackFromWhatGetDIBitsLeft) {
    Icon icon = IconOf(32, 32, 16);
    icon.reportedColours = 0;  // no table for 16 bits after all
    Writer w(icon);
    const Bytes bmp = w.Write();
    ASSERT_EQ(bmp.size(), 54u + 2048);
    EXPECT_EQ(Read32(bmp, 10), 54u);
    EXPECT_EQ(Read32(bmp, 46), 0u);

    Icon claims = IconOf(32, 32, 32);
    claims.reportedImageSize = 1u << 30;  // more than was allocated: the buffer bounds it
    claims.reportedColours = 1000;
    Writer big(claims);
    EXPECT_EQ(big.Write().size(), 4150u);
}

TEST(BitmapWriter, EachFailureShowsItsMessageAndGivesNothing) {
    Icon mono = IconOf(32, 32, 32);
    mono.described = false;
    Icon huge = IconOf(1 << 20, 1 << 20, 32);
    Icon noBits = IconOf(32, 32, 32);
    noBits.linesCopied = 0;
    const struct {
        Icon icon;
        const char* message;
    } cases[] = {{mono, "Could not retrieve bitmap info"},
                 {huge, "writeBMP::Could not allocate memory"},
                 {noBits, "writeBMP::GetDIB error"},
                 {IconOf(0, 32, 32), "Could not retrieve bitmap info"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Writer w(c.icon);
        EXPECT_TRUE(w.Write().empty());
        EXPECT_EQ(w.windows.messageBoxes, std::vector<std::string>{c.message});
    }
}

// Two windows of the notepad process, one of a process that can't be opened.
struct Icons : WindowRig {
    Icons() {
        windows.images[7] = "C:\\windows\\notepad.exe";
        windows.icons["C:\\windows\\notepad.exe"] = IconOf(32, 32, 32);
        windows.Add(0x10, "a.txt", 7);
        windows.Add(0x11, "b.txt", 7);
        windows.Add(0x12, "Locked", 9);
        registry.SendWindowList(false);
        Received();
    }
};

TEST(SendWindowIcon, HeaderKeyPathLengthThenTheBmpInOneSend) {
    Icons i;
    i.registry.SendWindowIcon(KeyOf("b.txt"));
    const std::string header =
        "439:" + KeyOf("b.txt") + ":" + KeyOf("C:\\windows\\notepad.exe") + ":4150\n";
    const std::string sent = i.Received();
    ASSERT_EQ(sent.size(), header.size() + 4150);
    EXPECT_EQ(sent.substr(0, header.size()), header);
    EXPECT_EQ(sent.substr(header.size(), 2), "BM");
    EXPECT_EQ(i.SendCalls(), 2u);
    EXPECT_EQ(i.windows.CallsOf("released").size(), 1u);
}

TEST(SendWindowIcon, OnlyKeysOfTheLastListAreAnswered) {
    Icons i;
    i.registry.SendWindowIcon(KeyOf("C:\\windows\\notepad.exe"));  // a path, not a key
    i.registry.SendWindowIcon(KeyOf("Nothing"));
    EXPECT_EQ(i.Received(), "");
    EXPECT_TRUE(i.windows.CallsOf("ExtractIconA").empty());
    // A window gone since the list still answers until the next enumeration.
    i.windows.windows.erase(i.windows.windows.begin());
    i.registry.SendWindowIcon(KeyOf("a.txt"));
    EXPECT_NE(i.Received(), "");
    i.registry.SendWindowList(false);
    i.Received();
    i.registry.SendWindowIcon(KeyOf("a.txt"));
    EXPECT_EQ(i.Received(), "");
}

TEST(SendWindowIcon, AProcessWithoutPathTriesTheEmptyPathWithoutReopeningIt) {
    Icons i;
    i.registry.SendWindowIcon(KeyOf("Locked"));
    EXPECT_EQ(i.windows.CallsOf("ExtractIconA"), std::vector<std::string>{"ExtractIconA()"});
    EXPECT_EQ(i.windows.opens[9], 1);  // only the list's enumeration opened it
    EXPECT_EQ(i.Received(), "");
}

TEST(SendWindowIcon, AFailedBitmapSendsNothing) {
    Icons i;
    i.windows.icons["C:\\windows\\notepad.exe"].linesCopied = 0;
    i.registry.SendWindowIcon(KeyOf("a.txt"));
    EXPECT_EQ(i.Received(), "");
    EXPECT_EQ(i.windows.messageBoxes.size(), 1u);
}

TEST(IconMessageHeader, LengthCountsOnlyTheBitmap) {
    EXPECT_EQ(IconMessageHeader("-1|-2|65|0", "-1|-2", 4150), "439:-1|-2|65|0:-1|-2:4150\n");
}

}  // namespace
