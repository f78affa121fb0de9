// A small program the end-to-end tests run beside the server to look at the desktop from
// outside: it prints what it reads and exits.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int PrintCursor() {
    POINT point = {};
    if (!GetCursorPos(&point)) return 2;
    std::printf("%ld %ld\n", static_cast<long>(point.x), static_cast<long>(point.y));
    return 0;
}

int SetCursor(int argc, char** argv) {
    if (argc < 4) return 2;
    return SetCursorPos(std::atoi(argv[2]), std::atoi(argv[3])) ? PrintCursor() : 2;
}

int FindTitle(int argc, char** argv) {
    if (argc < 3) return 2;
    HWND window = FindWindowA(nullptr, argv[2]);
    std::printf("%s\n", window ? "found" : "missing");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    if (std::strcmp(argv[1], "cursor") == 0) return PrintCursor();
    if (std::strcmp(argv[1], "setcursor") == 0) return SetCursor(argc, argv);
    if (std::strcmp(argv[1], "findtitle") == 0) return FindTitle(argc, argv);
    return 2;
}
