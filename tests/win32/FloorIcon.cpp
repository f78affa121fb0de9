// The floor for icons: on "438:<key>" it takes the first icon of one program, reads its
// colour bitmap as 32-bit pixels of at most 32 x 32, releases everything, and sends
// "439:<key>:<path>:<length>" and a BMP file in one block.
//   TavrixFloorIcon.exe <port> <lifetime seconds> <program path>
#include <cstring>
#include <string>

#include "FloorServer.h"
// After windows.h, which it needs.
#include <shellapi.h>

namespace {

constexpr LONG kMaxSide = 32;
constexpr WORD kBitsPerPixel = 32;
constexpr size_t kMaxPixelBytes = kMaxSide * kMaxSide * kBitsPerPixel / 8;

const char* g_program = "";

// The BMP file of the colour bitmap, or nothing when it can't be read.
std::string ReadBitmap(HBITMAP colour) {
    BITMAP bitmap = {};
    if (!colour || !GetObjectA(colour, sizeof(bitmap), &bitmap)) return {};
    if (bitmap.bmWidth <= 0 || bitmap.bmWidth > kMaxSide || bitmap.bmHeight <= 0 ||
        bitmap.bmHeight > kMaxSide) {
        return {};
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bitmap.bmWidth;
    info.bmiHeader.biHeight = bitmap.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = kBitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    unsigned char pixels[kMaxPixelBytes];
    HDC screen = GetDC(nullptr);
    const int lines = GetDIBits(screen, colour, 0, static_cast<UINT>(bitmap.bmHeight), pixels,
                                &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != bitmap.bmHeight) return {};
    const size_t pixelBytes =
        static_cast<size_t>(bitmap.bmWidth) * static_cast<size_t>(bitmap.bmHeight) * 4;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixelBytes);
    info.bmiHeader.biSizeImage = static_cast<DWORD>(pixelBytes);
    std::string bmp(reinterpret_cast<const char*>(&file), sizeof(file));
    bmp.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader));
    bmp.append(reinterpret_cast<const char*>(pixels), pixelBytes);
    return bmp;
}

std::string ReadIcon() {
    HICON icon = ExtractIconA(GetModuleHandleA(nullptr), g_program, 0);
    if (reinterpret_cast<UINT_PTR>(icon) <= 1) return {};  // 1: the file is no program
    ICONINFO parts = {};
    std::string bmp;
    if (GetIconInfo(icon, &parts)) bmp = ReadBitmap(parts.hbmColor);
    if (parts.hbmColor) DeleteObject(parts.hbmColor);
    if (parts.hbmMask) DeleteObject(parts.hbmMask);
    DestroyIcon(icon);
    return bmp;
}

void HandleLine(FloorServer& server, std::string_view line) {
    if (line.substr(0, 4) != "438:") return;
    const std::string bmp = ReadIcon();
    if (bmp.empty()) return;
    std::string message = "439:";
    message.append(line.substr(4));
    message += ':';
    message += g_program;
    message += ':' + std::to_string(bmp.size()) + '\n';
    server.Send(message + bmp);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    g_program = argv[3];
    return RunFloor(argc, argv, HandleLine);
}
