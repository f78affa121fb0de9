// Looks at the server's windows from outside, as the end-to-end tests need: reads and sets
// the text of a control, reads a check box, clicks, posts messages, opens the tray menu,
// lists the controls' places.
// Windows are found by their exact title. Prints what it reads; exit code 3 when the window
// or control is missing, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kMissing = 3;
constexpr int kUsage = 2;

struct Arguments {
    int count;
    char** values;
    const char* At(int index) const { return index < count ? values[index] : nullptr; }
};

HWND Control(const char* title, const char* id) {
    HWND window = FindWindowA(nullptr, title);
    if (!window || !id) return nullptr;
    return GetDlgItem(window, std::atoi(id));
}

int PrintText(const Arguments& a) {
    HWND control = Control(a.At(2), a.At(3));
    if (!control) return kMissing;
    char text[1024] = {};
    SendMessageA(control, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    text[sizeof(text) - 1] = '\0';
    std::printf("%s\n", text);
    return 0;
}

int SetText(const Arguments& a) {
    HWND control = Control(a.At(2), a.At(3));
    if (!control || !a.At(4)) return kMissing;
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.At(4)));
    return 0;
}

int PrintChecked(const Arguments& a) {
    HWND control = Control(a.At(2), a.At(3));
    if (!control) return kMissing;
    std::printf("%d\n", SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    return 0;
}

// Posted, so that a modal dialog the click opens doesn't hold the probe.
int Click(const Arguments& a) {
    HWND control = Control(a.At(2), a.At(3));
    if (!control) return kMissing;
    return PostMessageA(control, BM_CLICK, 0, 0) ? 0 : 1;
}

int PrintVisible(const Arguments& a) {
    HWND window = a.At(2) ? FindWindowA(nullptr, a.At(2)) : nullptr;
    std::printf("%s\n", !window ? "missing" : IsWindowVisible(window) ? "visible" : "hidden");
    return 0;
}

int Post(const Arguments& a) {
    HWND window = a.At(2) ? FindWindowA(nullptr, a.At(2)) : nullptr;
    if (!window || !a.At(5)) return window ? kUsage : kMissing;
    const auto message = static_cast<UINT>(std::strtoul(a.At(3), nullptr, 0));
    const auto wParam = static_cast<WPARAM>(std::strtoull(a.At(4), nullptr, 0));
    const auto lParam = static_cast<LPARAM>(std::strtoll(a.At(5), nullptr, 0));
    return PostMessageA(window, message, wParam, lParam) ? 0 : 1;
}

HWND OpenPopupMenu(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        HWND menuWindow = FindWindowA("#32768", nullptr);
        if (menuWindow && IsWindowVisible(menuWindow)) return menuWindow;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

// Right-clicks the tray icon of the window and waits for its menu; prints the menu's height
// and the height of one item, then types the given mnemonic into the menu, or Esc.
// Starting a program closes an open menu, so this must be the program that opens it.
int TrayMenu(const Arguments& a) {
    HWND window = a.At(2) ? FindWindowA(nullptr, a.At(2)) : nullptr;
    if (!window) return kMissing;
    constexpr UINT kTrayNotify = 1026;
    constexpr WPARAM kTrayId = 128;
    PostMessageA(window, kTrayNotify, kTrayId, WM_RBUTTONUP);
    HWND menuWindow = OpenPopupMenu(5000);
    if (!menuWindow) return kMissing;
    // Another process's menu can't be read item by item; its height tells the item count.
    RECT client = {};
    GetClientRect(menuWindow, &client);
    std::printf("height %ld item %d\n", static_cast<long>(client.bottom - client.top),
                GetSystemMetrics(SM_CYMENU));
    if (a.At(3)) {
        PostMessageA(menuWindow, WM_CHAR, static_cast<WPARAM>(a.At(3)[0]), 0);
    } else {
        PostMessageA(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    return 0;
}

// One line a child control: id, visible (1 or 0), its rectangle in the dialog's client
// coordinates, the width its text takes in its own font (0 for an edit or no text), its
// style in hexadecimal and its class.
int PrintRects(const Arguments& a) {
    HWND window = a.At(2) ? FindWindowA(nullptr, a.At(2)) : nullptr;
    if (!window) return kMissing;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        char className[64] = {};
        GetClassNameA(child, className, sizeof(className));
        char text[256] = {};
        GetWindowTextA(child, text, sizeof(text));
        SIZE extent = {};
        const bool measured = std::strcmp(className, "Edit") != 0 && text[0] != '\0';
        if (measured) {
            HDC dc = GetDC(child);
            const auto font = reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0));
            HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
            GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &extent);
            SelectObject(dc, old);
            ReleaseDC(child, dc);
        }
        std::printf("%d %d %ld %ld %ld %ld %ld %lx %s\n", GetDlgCtrlID(child),
                    IsWindowVisible(child) ? 1 : 0, static_cast<long>(rect.left),
                    static_cast<long>(rect.top), static_cast<long>(rect.right),
                    static_cast<long>(rect.bottom), static_cast<long>(measured ? extent.cx : 0),
                    static_cast<unsigned long>(GetWindowLongA(child, GWL_STYLE)), className);
    }
    return 0;
}

struct Command {
    const char* name;
    int (*run)(const Arguments&);
};

const Command kCommands[] = {
    {"text", &PrintText},    {"settext", &SetText},      {"checked", &PrintChecked},
    {"click", &Click},       {"visible", &PrintVisible}, {"post", &Post},
    {"traymenu", &TrayMenu}, {"rects", &PrintRects},
};

}  // namespace

int main(int argc, char** argv) {
    const Arguments arguments{argc, argv};
    if (argc < 2) return kUsage;
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(arguments);
    }
    return kUsage;
}
