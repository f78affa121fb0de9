// A device-dependent bitmap as a Windows BMP file: file header, information header, colour
// table and the rows as GetDIBits gives them.
#include "desktop/BitmapWriter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/WindowSystem.h"

namespace {

constexpr char kNoBitmapInfo[] = "Could not retrieve bitmap info";
constexpr char kNoMemory[] = "writeBMP::Could not allocate memory";
constexpr char kNoBits[] = "writeBMP::GetDIB error";

// Icons are small; this only keeps a corrupt description from asking for gigabytes.
constexpr uint64_t kMaxPixelBytes = 64u * 1024 * 1024;
// GetDIBits fills a colour table from the bits per pixel alone, whatever the planes say, and
// may write the three masks of a bit-field format behind the header: room for the table of
// any format of 8 bits or fewer and the masks, at least.
constexpr uint32_t kSmallestColourTableRoom = 256 + 3;

// Offsets inside the 40-byte information header.
constexpr size_t kInfoWidth = 4;
constexpr size_t kInfoHeight = 8;
constexpr size_t kInfoPlanes = 12;
constexpr size_t kInfoBitCount = 14;
constexpr size_t kInfoImageSize = 20;
constexpr size_t kInfoColoursUsed = 32;

void Put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
    Put16(at, value);
    Put16(at + 2, value >> 16);
}

uint32_t Get32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

uint32_t ColourClass(uint32_t bits) {
    if (bits == 1) return 1;
    for (uint32_t colourClass : {4u, 8u, 16u, 24u}) {
        if (bits <= colourClass) return colourClass;
    }
    return 32;
}

void FillInfoHeader(uint8_t* info, const BitmapDescription& d, const BmpLayout& layout) {
    Put32(info, kBmpInfoHeaderSize);
    Put32(info + kInfoWidth, static_cast<uint32_t>(d.width));
    Put32(info + kInfoHeight, static_cast<uint32_t>(d.height));
    Put16(info + kInfoPlanes, d.planes);
    Put16(info + kInfoBitCount, d.bitsPerPixel);
    Put32(info + kInfoImageSize, static_cast<uint32_t>(layout.imageSize));
    Put32(info + kInfoColoursUsed, layout.colours);
}

bool Allocate(std::vector<uint8_t>* buffer, uint64_t size) {
    try {
        buffer->resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

BmpLayout LayoutOf(int32_t width, int32_t height, uint16_t planes, uint16_t bitsPerPixel) {
    BmpLayout layout;
    layout.colourClass = ColourClass(static_cast<uint32_t>(planes) * bitsPerPixel);
    layout.colours = layout.colourClass < 24 ? 1u << layout.colourClass : 0;
    const uint64_t w = static_cast<uint64_t>(std::max(width, 0));
    const uint64_t h = static_cast<uint64_t>(std::max(height, 0));
    layout.imageSize = (w + 7) / 8 * layout.colourClass * h;
    layout.rowsSize = (w * bitsPerPixel + 31) / 32 * 4 * h;
    return layout;
}

std::vector<uint8_t> WriteBmp(IDeviceBitmap& bitmap, std::string* failure) {
    BitmapDescription d;
    if (!bitmap.GetObjectA(&d) || d.width <= 0 || d.height <= 0) {
        *failure = kNoBitmapInfo;
        return {};
    }
    const BmpLayout layout = LayoutOf(d.width, d.height, d.planes, d.bitsPerPixel);
    // The header's size formula falls short of the padded rows for 1-bit bitmaps of some
    // widths; the buffer takes whichever is larger.
    const uint64_t pixelBytes = std::max(layout.imageSize, layout.rowsSize);
    const uint32_t headers = kBmpFileHeaderSize + kBmpInfoHeaderSize;
    // GetDIBits writes the rows straight into the file, behind the whole colour table; the
    // header and table go to a block of their own, which may take three masks more.
    const size_t pixelsAt = headers + 4 * static_cast<size_t>(layout.colours);
    std::vector<uint8_t> file;
    if (pixelBytes > kMaxPixelBytes || !Allocate(&file, pixelsAt + pixelBytes)) {
        *failure = kNoMemory;
        return {};
    }
    std::vector<uint8_t> info(kBmpInfoHeaderSize +
                              4 * std::max(layout.colours + 3, kSmallestColourTableRoom));
    FillInfoHeader(info.data(), d, layout);
    if (bitmap.GetDIBits(static_cast<uint32_t>(d.height), info.data(), info.size(), &file[pixelsAt],
                         static_cast<size_t>(pixelBytes)) == 0) {
        *failure = kNoBits;
        return {};
    }
    // GetDIBits has the last word on both sizes, within what was allocated for them.
    const uint32_t colours = std::min(Get32(&info[kInfoColoursUsed]), layout.colours);
    // The file always holds whole rows, and never more than the buffer.
    const uint64_t rows = std::max<uint64_t>(Get32(&info[kInfoImageSize]), layout.rowsSize);
    const auto imageSize = static_cast<uint32_t>(std::min<uint64_t>(rows, pixelBytes));
    Put32(&info[kInfoColoursUsed], colours);
    Put32(&info[kInfoImageSize], imageSize);
    // A shorter colour table than allocated moves the rows up behind it.
    const uint32_t offset = headers + 4 * colours;
    if (offset < pixelsAt) std::memmove(file.data() + offset, file.data() + pixelsAt, imageSize);
    file.resize(offset + static_cast<size_t>(imageSize));
    file[0] = 'B';
    file[1] = 'M';
    Put32(&file[2], static_cast<uint32_t>(file.size()));
    Put32(&file[10], offset);
    std::memcpy(&file[kBmpFileHeaderSize], info.data(), kBmpInfoHeaderSize + 4 * colours);
    return file;
}
