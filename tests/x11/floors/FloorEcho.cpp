// The floor for pointer traffic: per move line one relative XTest motion, flushed at once,
// the least the platform allows for a relative move; it answers the password line at once.
//   tavrix-floor-echo <port> <lifetime seconds>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "FloorServer.h"

namespace {

constexpr char kAccepted[] = "1500\n";
constexpr size_t kMaxMoveLine = 64;
// Far beyond any screen, and well inside an int.
constexpr double kMaxOffset = 1e6;

Display* g_display = nullptr;

bool StartsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

// "2:dx:dy", each offset truncated toward zero.
void MovePointer(std::string_view line) {
    char text[kMaxMoveLine];
    if (line.size() >= sizeof(text)) return;
    std::memcpy(text, line.data(), line.size());
    text[line.size()] = '\0';
    char* end = nullptr;
    const double dx = std::strtod(text + 2, &end);
    if (*end != ':') return;
    const double dy = std::strtod(end + 1, nullptr);
    if (!(std::fabs(dx) < kMaxOffset && std::fabs(dy) < kMaxOffset)) return;
    XTestFakeRelativeMotionEvent(g_display, static_cast<int>(dx), static_cast<int>(dy),
                                 CurrentTime);
    XFlush(g_display);
}

void HandleLine(FloorServer& server, std::string_view line) {
    if (StartsWith(line, "2:")) {
        MovePointer(line);
    } else if (StartsWith(line, "3000:") || line == "3000") {
        server.Send(kAccepted, sizeof(kAccepted) - 1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    g_display = XOpenDisplay(nullptr);
    if (!g_display) return 3;
    FloorServer server(HandleLine);
    // Whatever the X server sends unasked (mapping changes) is taken and dropped.
    server.Watch(ConnectionNumber(g_display), [] {
        while (XPending(g_display) > 0) {
            XEvent event;
            XNextEvent(g_display, &event);
        }
    });
    const int result = RunFloor(argc, argv, server);
    XCloseDisplay(g_display);
    return result;
}
