// The floor for pointer traffic: per move line it reads the pointer and sets it again, the
// least the platform allows for a relative move, and it answers the password line at once.
//   TavrixFloorEcho.exe <port> <lifetime seconds>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "FloorServer.h"

namespace {

constexpr char kAccepted[] = "1500\n";
constexpr size_t kMaxMoveLine = 64;
// Far beyond any screen, and well inside an int.
constexpr double kMaxOffset = 1e6;

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
    POINT point;
    if (GetCursorPos(&point))
        SetCursorPos(point.x + static_cast<int>(dx), point.y + static_cast<int>(dy));
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
    return RunFloor(argc, argv, HandleLine);
}
