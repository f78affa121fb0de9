// The floor for the window list: on "656" it enumerates the top-level windows, keeps the
// visible unowned ones with a title, reads each owning process's image path once, and sends
// one line "124:<foreground index>:<title>:<title>...". Titles go raw: no encoding, no order.
//   TavrixFloorWindowList.exe <port> <lifetime seconds>
#include <cstring>
#include <set>
#include <string>

#include "FloorServer.h"
// After windows.h, which it needs.
#include <psapi.h>

namespace {

constexpr int kMaxTitle = 512;
constexpr DWORD kMaxPath = 500;

struct Listing {
    HWND foreground = nullptr;
    int count = 0;
    int foregroundIndex = -1;
    std::string titles;
    std::set<DWORD> processes;
};

void ReadImagePath(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return;
    char path[kMaxPath];
    GetModuleFileNameExA(process, nullptr, path, kMaxPath);
    CloseHandle(process);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
    auto& listing = *reinterpret_cast<Listing*>(data);
    if (GetParent(window) || !IsWindowVisible(window)) return TRUE;
    char title[kMaxTitle];
    const int length = GetWindowTextA(window, title, kMaxTitle);
    if (length <= 0 || std::strcmp(title, "Program Manager") == 0) return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (listing.processes.insert(processId).second) ReadImagePath(processId);
    if (window == listing.foreground) listing.foregroundIndex = listing.count;
    ++listing.count;
    listing.titles += ':';
    listing.titles.append(title, static_cast<size_t>(length));
    return TRUE;
}

void HandleLine(FloorServer& server, std::string_view line) {
    if (line != "656") return;
    Listing listing;
    listing.foreground = GetForegroundWindow();
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&listing));
    const int index = listing.foregroundIndex < 0 ? listing.count : listing.foregroundIndex;
    server.Send("124:" + std::to_string(index) + listing.titles + "\n");
}

}  // namespace

int main(int argc, char** argv) {
    return RunFloor(argc, argv, HandleLine);
}
