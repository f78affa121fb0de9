#pragma once
#include "platform/WindowSystem.h"

// USER32, GDI, the shell and the process status API for the window list, icons and window
// actions. Every handle it obtains is released before the call that obtained it returns.
class Win32WindowSystem : public IWindowSystem {
public:
    WindowHandle WindowAt(ScreenPoint point) override;
    bool IsEmbedded(WindowHandle window, bool* readable) override;
    bool IsMinimizeOrCloseBox(WindowHandle window, ScreenPoint point) override;
    bool GetScreenRect(ScreenRect* rect) override;
    bool GetWindowRect(WindowHandle window, ScreenRect* rect) override;
    void MoveWindow(WindowHandle window, const ScreenRect& rect) override;
    void EnumWindows(const std::function<bool(WindowHandle)>& visit) override;
    WindowHandle GetParent(WindowHandle window) override;
    bool IsWindowVisible(WindowHandle window) override;
    std::string GetWindowTextA(WindowHandle window) override;
    bool HasChildWindow(WindowHandle window) override;
    uint32_t GetWindowThreadProcessId(WindowHandle window) override;
    bool GetProcessImagePath(uint32_t processId, std::string* path) override;
    WindowHandle GetForegroundWindow() override;
    bool IsIconic(WindowHandle window) override;
    void RestoreWindow(WindowHandle window) override;
    void SetForegroundWindow(WindowHandle window) override;
    void PostCloseMessage(WindowHandle window) override;
    void ShellExecuteOpen(WindowHandle owner, const std::string& file) override;
    bool WithFileIcon(const std::string& path,
                      const std::function<void(IDeviceBitmap&)>& use) override;
    void ShowMessageBox(const std::string& text) override;
};
