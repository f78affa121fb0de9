// Looks at the desktop's top-level windows from outside the server: their state, the
// foreground window, the icon of a program; and opens a crowd of windows for as long as a
// test needs them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kCrowdClass[] = "TavrixCrowdWindow";
constexpr UINT_PTR kDeadlineTimer = 1;
constexpr int kMaxTitle = 1024;

// The title as hex bytes, so that blanks and other characters come through exactly.
void PrintTitleHex(HWND window) {
    char title[kMaxTitle] = {};
    const int length = GetWindowTextA(window, title, kMaxTitle);
    for (int i = 0; i < length; ++i) std::printf("%02x", static_cast<unsigned char>(title[i]));
    std::printf("\n");
}

// "class:NAME" or "title:TEXT" names the first top-level window that matches.
HWND FindByName(const char* name) {
    if (std::strncmp(name, "class:", 6) == 0) return FindWindowA(name + 6, nullptr);
    if (std::strncmp(name, "title:", 6) == 0) return FindWindowA(nullptr, name + 6);
    return nullptr;
}

// handle, iconic or normal, foreground or background, then the title in hex.
int PrintState(int argc, char** argv) {
    if (argc < 3) return 2;
    HWND window = FindByName(argv[2]);
    if (!window) {
        std::printf("missing\n");
        return 0;
    }
    std::printf("%llu %s %s ", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
                IsIconic(window) ? "iconic" : "normal",
                GetForegroundWindow() == window ? "foreground" : "background");
    PrintTitleHex(window);
    return 0;
}

int Minimize(int argc, char** argv) {
    if (argc < 3) return 2;
    HWND window = FindByName(argv[2]);
    if (!window) return 3;
    ShowWindow(window, SW_MINIMIZE);
    return PrintState(argc, argv);
}

// Asks the window to close, as a user would.
int Close(int argc, char** argv) {
    if (argc < 3) return 2;
    HWND window = FindByName(argv[2]);
    std::printf("%s\n", window && PostMessageA(window, WM_CLOSE, 0, 0) ? "closing" : "missing");
    return 0;
}

int PrintForeground(int, char**) {
    HWND window = GetForegroundWindow();
    std::printf("%llu ", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    PrintTitleHex(window);
    return 0;
}

struct ClassCount {
    const char* className;
    int count;
};

BOOL CALLBACK CountOfClass(HWND window, LPARAM data) {
    auto* count = reinterpret_cast<ClassCount*>(data);
    char name[256] = {};
    GetClassNameA(window, name, sizeof(name));
    if (IsWindowVisible(window) && std::strcmp(name, count->className) == 0) ++count->count;
    return TRUE;
}

// Visible top-level windows of a class.
int PrintCount(int argc, char** argv) {
    if (argc < 3) return 2;
    ClassCount count{argv[2], 0};
    EnumWindows(CountOfClass, reinterpret_cast<LPARAM>(&count));
    std::printf("%d\n", count.count);
    return 0;
}

// The first icon of a program as the system makes it: width, height, planes, bits per pixel
// of its colour bitmap.
int PrintIcon(int argc, char** argv) {
    if (argc < 3) return 2;
    // Looked up at run time, so that the probe links only what every probe links.
    using ExtractIconFn = HICON(WINAPI*)(HINSTANCE, LPCSTR, UINT);
    HMODULE shell = LoadLibraryA("shell32.dll");
    auto extract = reinterpret_cast<ExtractIconFn>(
        reinterpret_cast<void*>(GetProcAddress(shell, "ExtractIconA")));
    HICON icon = extract ? extract(GetModuleHandleA(nullptr), argv[2], 0) : nullptr;
    if (shell) FreeLibrary(shell);
    if (reinterpret_cast<UINT_PTR>(icon) <= 1) {
        std::printf("none\n");
        return 0;
    }
    ICONINFO info = {};
    BITMAP bitmap = {};
    const bool read = GetIconInfo(icon, &info) && info.hbmColor &&
                      GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap) != 0;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    if (!read) {
        std::printf("unreadable\n");
        return 0;
    }
    std::printf("%ld %ld %u %u\n", static_cast<long>(bitmap.bmWidth),
                static_cast<long>(bitmap.bmHeight), static_cast<unsigned>(bitmap.bmPlanes),
                static_cast<unsigned>(bitmap.bmBitsPixel));
    return 0;
}

LRESULT CALLBACK CrowdProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kDeadlineTimer) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// count windows titled "Crowd 1", "Crowd 2", ..., each with a child window, until the
// lifetime in seconds has passed or the probe is stopped.
int Crowd(int argc, char** argv) {
    if (argc < 4) return 2;
    const int count = std::atoi(argv[2]);
    const int lifetime = std::atoi(argv[3]);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CrowdProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kCrowdClass;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    if (!RegisterClassA(&windowClass)) return 3;
    HWND first = nullptr;
    for (int i = 1; i <= count; ++i) {
        const std::string title = "Crowd " + std::to_string(i);
        HWND window = CreateWindowExA(0, kCrowdClass, title.c_str(), WS_OVERLAPPEDWINDOW,
                                      10 + i % 50 * 4, 10 + i % 40 * 4, 200, 120, nullptr, nullptr,
                                      windowClass.hInstance, nullptr);
        if (!window) return 4;
        CreateWindowExA(0, "STATIC", "child", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, window, nullptr,
                        windowClass.hInstance, nullptr);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        if (!first) first = window;
    }
    SetTimer(first, kDeadlineTimer, static_cast<UINT>(lifetime) * 1000, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

struct Verb {
    const char* name;
    int (*run)(int, char**);
};

const Verb kVerbs[] = {
    {"state", PrintState}, {"minimize", Minimize}, {"foreground", PrintForeground},
    {"count", PrintCount}, {"icon", PrintIcon},    {"crowd", Crowd},
    {"close", Close},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    for (const Verb& verb : kVerbs) {
        if (std::strcmp(argv[1], verb.name) == 0) return verb.run(argc, argv);
    }
    return 2;
}
