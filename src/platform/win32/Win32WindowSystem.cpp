#include "platform/win32/Win32WindowSystem.h"

#include <windows.h>
// The shell and process status headers need the types of windows.h.
#include <psapi.h>
#include <shellapi.h>

#include <vector>

namespace {

// The full access mask of the systems the program was written for; newer ones grant it too.
constexpr DWORD kProcessFullAccess = 0x1F0FFF;
constexpr DWORD kImagePathSize = 500;

HWND ToHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

WindowHandle FromHwnd(HWND window) {
    return reinterpret_cast<WindowHandle>(window);
}

class ProcessHandle {
public:
    explicit ProcessHandle(DWORD processId)
        : m_handle(OpenProcess(kProcessFullAccess, FALSE, processId)) {}
    ~ProcessHandle() {
        if (m_handle) CloseHandle(m_handle);
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

class ScreenDc {
public:
    ScreenDc() : m_dc(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (m_dc) ReleaseDC(nullptr, m_dc);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return m_dc; }

private:
    HDC m_dc;
};

class IconHandle {
public:
    explicit IconHandle(HICON icon) : m_icon(icon) {}
    ~IconHandle() {
        if (m_icon) DestroyIcon(m_icon);
    }
    IconHandle(const IconHandle&) = delete;
    IconHandle& operator=(const IconHandle&) = delete;
    HICON get() const { return m_icon; }

private:
    HICON m_icon;
};

// The colour and mask bitmaps that GetIconInfo creates for the caller.
class IconBitmaps {
public:
    explicit IconBitmaps(HICON icon) {
        if (!GetIconInfo(icon, &m_info)) m_info = ICONINFO{};
    }
    ~IconBitmaps() {
        if (m_info.hbmColor) DeleteObject(m_info.hbmColor);
        if (m_info.hbmMask) DeleteObject(m_info.hbmMask);
    }
    IconBitmaps(const IconBitmaps&) = delete;
    IconBitmaps& operator=(const IconBitmaps&) = delete;
    HBITMAP colour() const { return m_info.hbmColor; }

private:
    ICONINFO m_info = {};
};

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

std::string ModuleBaseName() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string file(path, length < MAX_PATH ? length : 0);
    const size_t start = file.find_last_of("\\/") + 1;
    return file.substr(start, file.find_last_of('.') - start);
}

}  // namespace

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
    const ProcessHandle process(processId);
    if (!process.get()) return false;
    char buffer[kImagePathSize] = {};
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
    if (!icon.get()) return false;
    const ScreenDc screen;
    const IconBitmaps bitmaps(icon.get());
    Win32DeviceBitmap colour(screen.get(), bitmaps.colour());
    use(colour);
    return true;
}

void Win32WindowSystem::ShowMessageBox(const std::string& text) {
    MessageBoxA(GetActiveWindow(), text.c_str(), ModuleBaseName().c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}
