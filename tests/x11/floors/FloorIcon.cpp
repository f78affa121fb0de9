// The floor for icons: on "438:<key>" it reads one window's _NET_WM_ICON, takes the entry the
// server takes, scales it to 32 x 32 as the server does, and sends "439:<key>:<path>:<length>"
// and a 32-bit BMP file in one block.
//   tavrix-floor-icon <port> <lifetime seconds> <window id> <program path>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "XcbFloor.h"

namespace {

constexpr size_t kSide = 32;
constexpr uint32_t kMaxIconLongs = 1 << 20;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kPixelBytes = kSide * kSide * 4;

xcb_connection_t* g_connection = nullptr;
xcb_window_t g_window = 0;
xcb_atom_t g_icon = 0;
const char* g_program = "";

struct Entry {
    size_t width = 0;
    size_t height = 0;
    const uint32_t* pixels = nullptr;
};

bool Fits(const Entry& e) {
    return e.width >= kSide && e.height >= kSide;
}

// The smallest entry at least 32 square, else the largest.
bool Better(const Entry& candidate, const Entry& best) {
    if (!best.pixels) return true;
    if (Fits(candidate) != Fits(best)) return Fits(candidate);
    const size_t area = candidate.width * candidate.height;
    const size_t bestArea = best.width * best.height;
    return Fits(candidate) ? area < bestArea : area > bestArea;
}

// Box average weighted by opacity, the server's way down to 32 x 32.
void Scale(const Entry& entry, uint32_t* out) {
    for (size_t y = 0; y < kSide; ++y) {
        const size_t top = y * entry.height / kSide;
        const size_t bottom = std::max(top + 1, (y + 1) * entry.height / kSide);
        for (size_t x = 0; x < kSide; ++x) {
            const size_t left = x * entry.width / kSide;
            const size_t right = std::max(left + 1, (x + 1) * entry.width / kSide);
            uint64_t alpha = 0, red = 0, green = 0, blue = 0;
            for (size_t sy = top; sy < bottom; ++sy) {
                for (size_t sx = left; sx < right; ++sx) {
                    const uint32_t pixel = entry.pixels[sy * entry.width + sx];
                    const uint32_t a = pixel >> 24;
                    alpha += a;
                    red += a * ((pixel >> 16) & 0xFF);
                    green += a * ((pixel >> 8) & 0xFF);
                    blue += a * (pixel & 0xFF);
                }
            }
            const uint64_t count = (bottom - top) * (right - left);
            out[y * kSide + x] =
                alpha == 0 ? 0
                           : static_cast<uint32_t>((alpha / count) << 24 | (red / alpha) << 16 |
                                                   (green / alpha) << 8 | (blue / alpha));
        }
    }
}

void Put32(std::string& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

// The BMP file of the window's icon, or nothing when it has none.
std::string ReadIcon() {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        g_connection,
        xcb_get_property(g_connection, 0, g_window, g_icon, XCB_ATOM_CARDINAL, 0, kMaxIconLongs),
        nullptr);
    if (!reply) return {};
    const size_t count = reply->type == XCB_ATOM_CARDINAL && reply->format == 32
                             ? static_cast<size_t>(xcb_get_property_value_length(reply)) / 4
                             : 0;
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply));
    Entry best;
    for (size_t at = 0; count - at >= 2;) {
        const Entry entry{values[at], values[at + 1], values + at + 2};
        if (entry.width == 0 || entry.height == 0 || entry.width > count || entry.height > count ||
            entry.width * entry.height > count - at - 2) {
            break;
        }
        if (Better(entry, best)) best = entry;
        at += 2 + entry.width * entry.height;
    }
    uint32_t pixels[kSide * kSide];
    if (best.width == kSide && best.height == kSide) {
        std::memcpy(pixels, best.pixels, sizeof(pixels));
    } else if (best.pixels) {
        Scale(best, pixels);
    }
    free(reply);
    // A blank icon is no icon, to the server as well.
    if (!best.pixels || std::none_of(pixels, pixels + kSide * kSide,
                                     [](uint32_t argb) { return argb >> 24 != 0; })) {
        return {};
    }
    std::string bmp(kFileHeaderSize + kInfoHeaderSize + kPixelBytes, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    Put32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    Put32(bmp, 10, kFileHeaderSize + kInfoHeaderSize);
    Put32(bmp, kFileHeaderSize, kInfoHeaderSize);
    Put32(bmp, kFileHeaderSize + 4, kSide);
    Put32(bmp, kFileHeaderSize + 8, kSide);
    Put32(bmp, kFileHeaderSize + 12, 1 | 32 << 16);  // one plane, 32 bits per pixel
    Put32(bmp, kFileHeaderSize + 20, kPixelBytes);
    // Bottom row first, each pixel as blue, green, red, alpha: ARGB in little-endian order.
    char* row = &bmp[kFileHeaderSize + kInfoHeaderSize];
    for (size_t y = kSide; y-- > 0; row += kSide * 4) {
        std::memcpy(row, pixels + y * kSide, kSide * 4);
    }
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
    message += bmp;
    server.Send(message);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) return 2;
    g_window = static_cast<xcb_window_t>(std::strtoul(argv[3], nullptr, 0));
    g_program = argv[4];
    g_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(g_connection)) return 3;
    const char name[] = "_NET_WM_ICON";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        g_connection, xcb_intern_atom(g_connection, 0, sizeof(name) - 1, name), nullptr);
    if (!atom) return 3;
    g_icon = atom->atom;
    free(atom);
    FloorServer server(HandleLine);
    return RunXcbFloor(argc, argv, server, g_connection);
}
