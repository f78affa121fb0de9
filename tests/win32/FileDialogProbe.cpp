// Works the server's file dialogs, message boxes and test window from outside, as the
// end-to-end tests need. Windows are found by their exact title, waiting up to the given
// number of milliseconds. Prints what it finds; exit code 3 when a window is missing, 2 on
// bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMissing = 3;
constexpr int kUsage = 2;
constexpr DWORD kPollMs = 20;
// The file name box of the explorer-style dialogs: a combo box, or an edit in older ones.
constexpr int kFileNameCombo = 0x47c;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1
constexpr int kMessageBoxText = 0xffff;

struct Arguments {
    int count;
    char** values;
    const char* At(int index) const { return index < count ? values[index] : nullptr; }
    DWORD Ms(int index) const { return At(index) ? std::strtoul(At(index), nullptr, 10) : 0; }
};

HWND WaitForWindow(const char* title, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(nullptr, title);
        if (window && IsWindowVisible(window)) return window;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(kPollMs);
    }
}

void PostCommand(HWND window, int id) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// wait TITLE MS: "found" once the window shows.
int Wait(const Arguments& a) {
    if (!a.At(2)) return kUsage;
    if (!WaitForWindow(a.At(2), a.Ms(3))) return kMissing;
    std::printf("found\n");
    return 0;
}

// gone TITLE MS: "gone" once no window has the title.
int Gone(const Arguments& a) {
    if (!a.At(2)) return kUsage;
    const DWORD start = GetTickCount();
    while (FindWindowA(nullptr, a.At(2))) {
        if (GetTickCount() - start >= a.Ms(3)) return kMissing;
        Sleep(kPollMs);
    }
    std::printf("gone\n");
    return 0;
}

// choose TITLE PATH MS: types the path into the file name box and confirms.
int Choose(const Arguments& a) {
    if (!a.At(2) || !a.At(3)) return kUsage;
    HWND dialog = WaitForWindow(a.At(2), a.Ms(4));
    if (!dialog) return kMissing;
    HWND name = GetDlgItem(dialog, kFileNameCombo);
    if (!name) name = GetDlgItem(dialog, kFileNameEdit);
    if (!name) return kMissing;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.At(3)));
    PostCommand(dialog, IDOK);
    std::printf("chosen\n");
    return 0;
}

// cancel TITLE MS: presses the dialog's Cancel button.
int Cancel(const Arguments& a) {
    if (!a.At(2)) return kUsage;
    HWND dialog = WaitForWindow(a.At(2), a.Ms(3));
    if (!dialog) return kMissing;
    PostCommand(dialog, IDCANCEL);
    std::printf("cancelled\n");
    return 0;
}

// window TITLE MS: "left top width height style exstyle" of the window.
int Window(const Arguments& a) {
    if (!a.At(2)) return kUsage;
    HWND window = WaitForWindow(a.At(2), a.Ms(3));
    if (!window) return kMissing;
    RECT rect = {};
    GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld %lx %lx\n", static_cast<long>(rect.left),
                static_cast<long>(rect.top), static_cast<long>(rect.right - rect.left),
                static_cast<long>(rect.bottom - rect.top),
                static_cast<unsigned long>(GetWindowLongPtrA(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
    return 0;
}

// message TITLE MS: prints the message box's text and presses its OK button.
int Message(const Arguments& a) {
    if (!a.At(2)) return kUsage;
    HWND box = WaitForWindow(a.At(2), a.Ms(3));
    if (!box) return kMissing;
    char text[1024] = {};
    HWND label = GetDlgItem(box, kMessageBoxText);
    if (label) SendMessageA(label, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    text[sizeof(text) - 1] = '\0';
    std::printf("%s\n", text);
    PostCommand(box, IDOK);
    return 0;
}

// command TITLE ID: posts the click of control ID to the window, hidden controls included.
int Command(const Arguments& a) {
    if (!a.At(2) || !a.At(3)) return kUsage;
    HWND window = FindWindowA(nullptr, a.At(2));
    if (!window) return kMissing;
    PostCommand(window, std::atoi(a.At(3)));
    return 0;
}

// track COUNT MS: prints "ms x y" for every change of the pointer, until COUNT changes were
// seen or MS passed; sampled every millisecond.
int Track(const Arguments& a) {
    const DWORD wanted = a.Ms(2);
    const DWORD start = GetTickCount();
    POINT last = {};
    GetCursorPos(&last);
    std::printf("0 %ld %ld\n", static_cast<long>(last.x), static_cast<long>(last.y));
    std::fflush(stdout);
    for (DWORD seen = 0; seen < wanted && GetTickCount() - start < a.Ms(3);) {
        POINT now = {};
        GetCursorPos(&now);
        if (now.x != last.x || now.y != last.y) {
            ++seen;
            std::printf("%lu %ld %ld\n", static_cast<unsigned long>(GetTickCount() - start),
                        static_cast<long>(now.x), static_cast<long>(now.y));
            last = now;
        }
        Sleep(1);
    }
    return 0;
}

struct Verb {
    const char* name;
    int (*run)(const Arguments&);
};
constexpr Verb kVerbs[] = {{"wait", Wait},       {"gone", Gone},     {"choose", Choose},
                           {"cancel", Cancel},   {"window", Window}, {"message", Message},
                           {"command", Command}, {"track", Track}};

}  // namespace

int main(int argc, char** argv) {
    const Arguments arguments{argc, argv};
    if (!arguments.At(1)) return kUsage;
    for (const Verb& verb : kVerbs) {
        if (std::strcmp(verb.name, argv[1]) == 0) return verb.run(arguments);
    }
    return kUsage;
}
