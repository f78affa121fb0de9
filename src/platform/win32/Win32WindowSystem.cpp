#include "platform/win32/Win32WindowSystem.h"

#include <windows.h>
// The shell and process status headers need the types of windows.h.
#include <psapi.h>
#include <shellapi.h>

#include <vector>

#include "platform/win32/Win32Handles.h"

namespace {

// GetModuleFileNameExA reads the other process's memory; QueryFullProcessImageNameA needs
// only the limited query right, which is granted for more processes and reveals less.
constexpr DWORD kQueryAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
constexpr DWORD kImagePathSize = 500;

class Win32DeviceBitmap : public IDeviceBitmap {
public:
    Win32DeviceBitmap(HDC dc, HBITMAP bitmap) : m_dc(dc), m_bitmap(bitmap) {}

    bool GetObjectA(BitmapDescription* description) override {
        BITMAP bitmap = {};
        if (!m_bitmap || ::GetObjectA(m_bitmap, sizeof(bitmap), &bitmap) == 0) return false;
        description->width = bitmap.bmWidth;
        description->height = bitmap.bmHeight;
        description->planes = bitmap.bmPlanes;
        description->bitsPerPixel = bitmap.bmBitsPixel;
        return true;
    }

    int GetDIBits(uint32_t lines, uint8_t* info, size_t infoSize, uint8_t* pixels,
                  size_t) override {
        if (!m_dc || infoSize < sizeof(BITMAPINFOHEADER)) return 0;
        return ::GetDIBits(m_dc, m_bitmap, 0, lines, pixels, reinterpret_cast<BITMAPINFO*>(info),
                           DIB_RGB_COLORS);
    }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM visit) {
    const auto& callback = *reinterpret_cast<const std::function<bool(WindowHandle)>*>(visit);
    return callback(FromHwnd(window)) ? TRUE : FALSE;
}

// ExtractIconA answers 1, which is no icon to destroy, for a file that is no program,
// library or icon file.
HICON ExtractFirstIcon(const std::string& path) {
    HICON icon = ExtractIconA(GetModuleHandleA(nullptr), path.c_str(), 0);
    return reinterpret_cast<uintptr_t>(icon) > 1 ? icon : nullptr;
}

}  // namespace

WindowHandle Win32WindowSystem::WindowAt(ScreenPoint point) {
    return FromHwnd(WindowFromPoint(POINT{point.x, point.y}));
}

bool Win32WindowSystem::IsEmbedded(WindowHandle window, bool* readable) {
    WINDOWINFO info = {};
    info.cbSize = sizeof(info);
    *readable = GetWindowInfo(ToHwnd(window), &info) != FALSE;
    if (!*readable) return false;
    return (info.dwStyle & WS_CHILD) != 0 && (info.dwStyle & WS_POPUP) == 0;
}

bool Win32WindowSystem::IsMinimizeOrCloseBox(WindowHandle window, ScreenPoint point) {
    const LPARAM packed =
        static_cast<LPARAM>(static_cast<DWORD>(static_cast<WORD>(point.x)) |
                            (static_cast<DWORD>(static_cast<WORD>(point.y)) << 16));
    const LRESULT hit = SendMessageA(ToHwnd(window), WM_NCHITTEST, 0, packed);
    return hit == HTMINBUTTON || hit == HTCLOSE;
}

bool Win32WindowSystem::GetScreenRect(ScreenRect* rect) {
    return GetWindowRect(FromHwnd(GetDesktopWindow()), rect);
}

bool Win32WindowSystem::GetWindowRect(WindowHandle window, ScreenRect* rect) {
    RECT r = {};
    if (!::GetWindowRect(ToHwnd(window), &r)) return false;
    *rect = ScreenRect{r.left, r.top, r.right, r.bottom};
    return true;
}

void Win32WindowSystem::MoveWindow(WindowHandle window, const ScreenRect& rect) {
    ::MoveWindow(ToHwnd(window), rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, TRUE);
}

void Win32WindowSystem::EnumWindows(const std::function<bool(WindowHandle)>& visit) {
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&visit));
}

WindowHandle Win32WindowSystem::GetParent(WindowHandle window) {
    return FromHwnd(::GetParent(ToHwnd(window)));
}

bool Win32WindowSystem::IsWindowVisible(WindowHandle window) {
    return ::IsWindowVisible(ToHwnd(window)) != FALSE;
}

std::string Win32WindowSystem::GetWindowTextA(WindowHandle window) {
    const int length = GetWindowTextLengthA(ToHwnd(window));
    if (length <= 0) return {};
    std::vector<char> text(static_cast<size_t>(length) + 1);
    const int copied = ::GetWindowTextA(ToHwnd(window), text.data(), length + 1);
    return std::string(text.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

bool Win32WindowSystem::HasChildWindow(WindowHandle window) {
    return GetWindow(ToHwnd(window), GW_CHILD) != nullptr;
}

uint32_t Win32WindowSystem::GetWindowThreadProcessId(WindowHandle window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(ToHwnd(window), &processId);
    return processId;
}

bool Win32WindowSystem::GetProcessImagePath(uint32_t processId, std::string* path) {
    char buffer[kImagePathSize] = {};
    ProcessHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    DWORD size = kImagePathSize;
    if (process && QueryFullProcessImageNameA(process.get(), 0, buffer, &size) && size > 0) {
        path->assign(buffer, size);
        return true;
    }
    process.reset(OpenProcess(kQueryAccess, FALSE, processId));
    if (!process.get()) return false;
    const DWORD length = GetModuleFileNameExA(process.get(), nullptr, buffer, kImagePathSize);
    if (length == 0) return false;
    path->assign(buffer, length < kImagePathSize ? length : kImagePathSize - 1);
    return true;
}

WindowHandle Win32WindowSystem::GetForegroundWindow() {
    return FromHwnd(::GetForegroundWindow());
}

bool Win32WindowSystem::IsIconic(WindowHandle window) {
    return ::IsIconic(ToHwnd(window)) != FALSE;
}

void Win32WindowSystem::RestoreWindow(WindowHandle window) {
    ShowWindow(ToHwnd(window), SW_RESTORE);
}

void Win32WindowSystem::SetForegroundWindow(WindowHandle window) {
    ::SetForegroundWindow(ToHwnd(window));
}

void Win32WindowSystem::PostCloseMessage(WindowHandle window) {
    PostMessageA(ToHwnd(window), WM_CLOSE, 0, 0);
}

void Win32WindowSystem::ShellExecuteOpen(WindowHandle owner, const std::string& file) {
    ShellExecuteA(ToHwnd(owner), "open", file.c_str(), nullptr, nullptr, SW_SHOW);
}

bool Win32WindowSystem::WithFileIcon(const std::string& path,
                                     const std::function<void(IDeviceBitmap&)>& use) {
    const IconHandle icon(ExtractFirstIcon(path));
    if (!icon) return false;
    const ScreenDcHandle screen(GetDC(nullptr));
    ICONINFO info = {};
    if (!GetIconInfo(icon.get(), &info)) info = ICONINFO{};
    // GetIconInfo creates both bitmaps for the caller.
    const BitmapHandle colourBitmap(info.hbmColor);
    const BitmapHandle maskBitmap(info.hbmMask);
    Win32DeviceBitmap colour(screen.get(), colourBitmap.get());
    use(colour);
    return true;
}

void Win32WindowSystem::ShowMessageBox(const std::string& text) {
    MessageBoxA(GetActiveWindow(), text.c_str(), ApplicationName().c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}
