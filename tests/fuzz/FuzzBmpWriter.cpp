// The BMP writer on any bitmap description and any answer of GetDIBits: the file it gives is
// empty, after one message box, or a BMP whose sizes and offset agree with its length.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "desktop/BitmapWriter.h"
#include "platform/WindowSystem.h"

namespace {

// Reads fields from the fuzz input; zeros once it runs out.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    template <typename T>
    T Next() {
        uint8_t bytes[sizeof(T)] = {};
        for (uint8_t& b : bytes) b = m_at < m_size ? m_data[m_at++] : 0;
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

uint32_t Read32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// Bytes of the rows a BITMAPINFOHEADER asks GetDIBits for, each padded to four bytes; wide
// enough that no description wraps it.
unsigned __int128 RowsAskedFor(const uint8_t* header, uint32_t lines) {
    const auto width = static_cast<int32_t>(Read32(header + 4));
    const uint32_t bits = header[14] | header[15] << 8;
    if (width <= 0) return 0;
    return (static_cast<unsigned __int128>(width) * bits + 31) / 32 * 4 * lines;
}

enum Flags : uint8_t {
    kDescribed = 1,
    kRewriteImageSize = 2,
    kRewriteColours = 4,
    kIconSized = 8,  // small and fast; runs without it reach the allocation limit
};

// A colour bitmap that answers as the input says, and holds the writer to the buffer sizes
// the interface promises.
class FuzzedBitmap : public IDeviceBitmap {
public:
    explicit FuzzedBitmap(Input& in)
        : m_flags(in.Next<uint8_t>()),
          m_description{in.Next<int32_t>(), in.Next<int32_t>(), in.Next<uint16_t>(),
                        in.Next<uint16_t>()},
          m_linesCopied(in.Next<int32_t>()),
          m_imageSize(in.Next<uint32_t>()),
          m_colours(in.Next<uint32_t>()),
          m_fill(in.Next<uint8_t>()) {
        if (m_flags & kIconSized) {
            m_description.width %= 300;
            m_description.height %= 300;
            m_description.bitsPerPixel %= 64;
        }
    }

    bool GetObjectA(BitmapDescription* description) override {
        if (!(m_flags & kDescribed)) return false;
        *description = m_description;
        return true;
    }

    int GetDIBits(uint32_t lines, uint8_t* info, size_t infoSize, uint8_t* pixels,
                  size_t pixelSize) override {
        ++calls;
        if (infoSize < 40) __builtin_trap();
        // All rows, and room for every one of them.
        if (lines != static_cast<uint32_t>(m_description.height)) __builtin_trap();
        const auto rows = RowsAskedFor(info, lines);
        if (rows > pixelSize) __builtin_trap();
        if (m_linesCopied == 0) return 0;
        std::memset(pixels, m_fill, static_cast<size_t>(rows));
        // A real bitmap has one plane; its colour table then has room for every entry.
        const uint32_t bits = info[14] | info[15] << 8;
        if (m_description.planes == 1 && bits <= 8) {
            const size_t table = 4u << bits;
            if (40 + table > infoSize) __builtin_trap();
            std::memset(info + 40, m_fill, table);
        }
        if (m_flags & kRewriteImageSize) Put32(info + 20, m_imageSize);
        if (m_flags & kRewriteColours) Put32(info + 32, m_colours);
        return m_linesCopied;
    }

    const BitmapDescription& Description() const { return m_description; }
    int calls = 0;

private:
    static void Put32(uint8_t* at, uint32_t value) {
        for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
    }

    uint8_t m_flags;
    BitmapDescription m_description;
    int32_t m_linesCopied;
    uint32_t m_imageSize;
    uint32_t m_colours;
    uint8_t m_fill;
};

void CheckWellFormed(const std::vector<uint8_t>& bmp, const BitmapDescription& d) {
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M') __builtin_trap();
    if (Read32(&bmp[2]) != bmp.size()) __builtin_trap();
    const uint32_t offset = Read32(&bmp[10]);
    if (offset < 54 || offset > bmp.size()) __builtin_trap();
    const uint8_t* info = &bmp[14];
    if (Read32(info) != 40) __builtin_trap();
    if (Read32(info + 4) != static_cast<uint32_t>(d.width) ||
        Read32(info + 8) != static_cast<uint32_t>(d.height))
        __builtin_trap();
    // The colour table fills the gap between the headers and the pixels exactly.
    if (offset != 54 + 4 * static_cast<uint64_t>(Read32(info + 32))) __builtin_trap();
    // The image size is what follows the offset, and holds every row the header describes.
    const uint32_t imageSize = Read32(info + 20);
    if (imageSize != bmp.size() - offset) __builtin_trap();
    if (imageSize < RowsAskedFor(info, static_cast<uint32_t>(d.height))) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    FuzzedBitmap bitmap(in);
    std::string failure;
    const std::vector<uint8_t> bmp = WriteBmp(bitmap, &failure);
    // Every failure tells of itself; a file comes without a message.
    if (failure.empty() == bmp.empty()) __builtin_trap();
    if (!bmp.empty()) {
        if (bitmap.calls != 1) __builtin_trap();
        CheckWellFormed(bmp, bitmap.Description());
    }
    return 0;
}
