// A small program the end-to-end tests run beside the server to look at the desktop from
// outside: it prints what it reads and exits, or, as a watched window, prints every button
// and wheel message that reaches it until it is closed or its time runs out.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kWatchClass[] = "TavrixProbeWatch";
constexpr UINT_PTR kDeadlineTimer = 1;
constexpr int kMaxText = 64 * 1024;

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

int PrintRect(int argc, char** argv) {
    if (argc < 3) return 2;
    HWND window = FindWindowA(nullptr, argv[2]);
    RECT r = {};
    if (!window || !GetWindowRect(window, &r)) {
        std::printf("missing\n");
        return 0;
    }
    std::printf("%ld %ld %ld %ld\n", static_cast<long>(r.left), static_cast<long>(r.top),
                static_cast<long>(r.right), static_cast<long>(r.bottom));
    return 0;
}

// The text of the first edit control of the top-level window of a class, as hex bytes, so
// that line ends and tabs come through exactly.
int PrintEditText(int argc, char** argv) {
    if (argc < 3) return 2;
    HWND top = FindWindowA(argv[2], nullptr);
    HWND edit = top ? FindWindowExA(top, nullptr, "Edit", nullptr) : nullptr;
    if (!edit) {
        std::printf("missing\n");
        return 0;
    }
    static char text[kMaxText];
    const LRESULT length = SendMessageA(edit, WM_GETTEXT, kMaxText, reinterpret_cast<LPARAM>(text));
    std::printf("text ");
    for (LRESULT i = 0; i < length && i < kMaxText; ++i)
        std::printf("%02x", static_cast<unsigned char>(text[i]));
    std::printf("\n");
    return 0;
}

// Brings a window of a class to the front and gives its edit control the focus.
int Activate(int argc, char** argv) {
    if (argc < 3) return 2;
    HWND top = FindWindowA(argv[2], nullptr);
    if (!top) {
        std::printf("missing\n");
        return 0;
    }
    SetForegroundWindow(top);
    std::printf("%s\n", GetForegroundWindow() == top ? "foreground" : "background");
    return 0;
}

void Report(const char* what, HWND window, WPARAM wParam, LPARAM lParam) {
    const bool child = (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) != 0;
    std::printf("%s %s %d %d %d\n", what, child ? "child" : "main",
                static_cast<int>(static_cast<short>(HIWORD(wParam))),
                static_cast<int>(static_cast<short>(LOWORD(lParam))),
                static_cast<int>(static_cast<short>(HIWORD(lParam))));
    std::fflush(stdout);
}

struct MessageName {
    UINT message;
    const char* name;
};
constexpr MessageName kWatched[] = {
    {WM_LBUTTONDOWN, "down-left"},     {WM_LBUTTONUP, "up-left"},
    {WM_RBUTTONDOWN, "down-right"},    {WM_RBUTTONUP, "up-right"},
    {WM_MBUTTONDOWN, "down-middle"},   {WM_MBUTTONUP, "up-middle"},
    {WM_LBUTTONDBLCLK, "down-left"},   {WM_RBUTTONDBLCLK, "down-right"},
    {WM_MBUTTONDBLCLK, "down-middle"}, {WM_MOUSEWHEEL, "wheel"},
};

LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageName& watched : kWatched) {
        if (watched.message == message) {
            Report(watched.name, window, wParam, lParam);
            return 0;
        }
    }
    if (message == WM_TIMER && wParam == kDeadlineTimer) DestroyWindow(window);
    if (message == WM_DESTROY && !(GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD))
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

// watch TITLE X Y W H SECONDS: a top-level window with a child in its lower half, both
// reporting the button and wheel messages they receive.
int Watch(int argc, char** argv) {
    if (argc < 8) return 2;
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WatchProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWatchClass;
    if (!RegisterClassA(&windowClass)) return 2;
    const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
    const int width = std::atoi(argv[5]), height = std::atoi(argv[6]);
    HWND main = CreateWindowExA(0, kWatchClass, argv[2], WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                                width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!main) return 2;
    RECT client = {};
    GetClientRect(main, &client);
    HWND child = CreateWindowExA(0, kWatchClass, "child", WS_CHILD | WS_VISIBLE, 0,
                                 client.bottom / 2, client.right, client.bottom / 2, main, nullptr,
                                 windowClass.hInstance, nullptr);
    if (!child) return 2;
    SetTimer(main, kDeadlineTimer, static_cast<UINT>(std::atoi(argv[7])) * 1000u, nullptr);
    POINT childOrigin = {0, 0};
    ClientToScreen(child, &childOrigin);
    std::printf("ready %ld %ld\n", static_cast<long>(childOrigin.x),
                static_cast<long>(childOrigin.y));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

// What the keyboard layout answers for each character given.
int PrintKeyScans(int argc, char** argv) {
    for (int i = 2; i < argc; ++i)
        std::printf("%d %04x\n", std::atoi(argv[i]),
                    static_cast<unsigned>(static_cast<unsigned short>(
                        VkKeyScanA(static_cast<char>(std::atoi(argv[i]))))));
    return 0;
}

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
};
constexpr Command kCommands[] = {
    {"cursor", [](int, char**) { return PrintCursor(); }},
    {"setcursor", SetCursor},
    {"findtitle", FindTitle},
    {"rect", PrintRect},
    {"edittext", PrintEditText},
    {"activate", Activate},
    {"watch", Watch},
    {"keyscan", PrintKeyScans},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc, argv);
    }
    return 2;
}
