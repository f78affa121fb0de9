// Looks at the server's windows from outside, as the end-to-end tests need: reads and sets
// the text of a control, reads a check box, clicks, posts messages, reads an open popup menu.
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

// The items of the popup menu that is open now, one a line; then the menu is closed.
int PrintMenu(const Arguments&) {
    HWND menuWindow = FindWindowA("#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow)) return kMissing;
    auto menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    const int count = menu ? GetMenuItemCount(menu) : -1;
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
        std::printf("%u %s\n", GetMenuItemID(menu, i), text);
    }
    PostMessageA(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    return count < 0 ? kMissing : 0;
}

struct Command {
    const char* name;
    int (*run)(const Arguments&);
};

const Command kCommands[] = {
    {"text", &PrintText}, {"settext", &SetText},      {"checked", &PrintChecked},
    {"click", &Click},    {"visible", &PrintVisible}, {"post", &Post},
    {"menu", &PrintMenu},
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
