#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Geometry.h"

// What GetObjectA tells of a device-dependent bitmap.
struct BitmapDescription {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 0;
    uint16_t bitsPerPixel = 0;
};

// The colour bitmap of an icon, read through the screen's device context.
class IDeviceBitmap {
public:
    virtual ~IDeviceBitmap() = default;
    // GetObjectA; false when the bitmap's description can't be read (no colour bitmap).
    virtual bool GetObjectA(BitmapDescription* description) = 0;
    // GetDIBits from line 0 with DIB_RGB_COLORS. info is a BITMAPINFO block (the 40-byte
    // header, then the colour table) of infoSize bytes; pixels holds pixelSize bytes, enough
    // for the rows that the header asks for. Returns the lines copied, 0 on failure.
    virtual int GetDIBits(uint32_t lines, uint8_t* info, size_t infoSize, uint8_t* pixels,
                          size_t pixelSize) = 0;
};

// The desktop's top-level windows, their processes, and the shell, as the window list, the
// icons and the window actions use them. GUI thread only.
class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;

    // The window at a point of the screen; 0 when none.
    virtual WindowHandle WindowAt(ScreenPoint point) = 0;
    // Whether the window is embedded in its parent (a child that is not a pop-up); false
    // with readable false when its style can't be read.
    virtual bool IsEmbedded(WindowHandle window, bool* readable) = 0;
    // Whether the point lies on the window's minimize or close box.
    virtual bool IsMinimizeOrCloseBox(WindowHandle window, ScreenPoint point) = 0;
    virtual bool GetScreenRect(ScreenRect* rect) = 0;
    virtual bool GetWindowRect(WindowHandle window, ScreenRect* rect) = 0;
    virtual void MoveWindow(WindowHandle window, const ScreenRect& rect) = 0;

    // EnumWindows: front to back in Z order, for as long as visit returns true.
    virtual void EnumWindows(const std::function<bool(WindowHandle)>& visit) = 0;
    virtual WindowHandle GetParent(WindowHandle window) = 0;
    virtual bool IsWindowVisible(WindowHandle window) = 0;
    // The whole title (the ANSI name: the plain one is a macro); empty when it can't be read.
    virtual std::string GetWindowTextA(WindowHandle window) = 0;
    // GetWindow with GW_CHILD gives a window.
    virtual bool HasChildWindow(WindowHandle window) = 0;
    virtual uint32_t GetWindowThreadProcessId(WindowHandle window) = 0;
    // OpenProcess and GetModuleFileNameExA (at most 499 bytes); false when it can't be read.
    virtual bool GetProcessImagePath(uint32_t processId, std::string* path) = 0;

    virtual WindowHandle GetForegroundWindow() = 0;
    virtual bool IsIconic(WindowHandle window) = 0;
    virtual void RestoreWindow(WindowHandle window) = 0;  // ShowWindow with SW_RESTORE
    virtual void SetForegroundWindow(WindowHandle window) = 0;
    virtual void PostCloseMessage(WindowHandle window) = 0;  // WM_CLOSE, both parameters 0
    // ShellExecuteA with the verb "open", no parameters or folder, SW_SHOW.
    virtual void ShellExecuteOpen(WindowHandle owner, const std::string& file) = 0;

    // ExtractIconA(path, 0); when the file yields an icon, hands its colour bitmap (from
    // GetIconInfo) and the screen's device context to use, and releases them all before it
    // returns. False when there is no icon.
    virtual bool WithFileIcon(const std::string& path,
                              const std::function<void(IDeviceBitmap&)>& use) = 0;
    // A message box with an OK button on the server's desktop.
    virtual void ShowMessageBox(const std::string& text) = 0;
};
