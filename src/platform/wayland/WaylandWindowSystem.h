#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

class CWaylandSession;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// The application windows as the compositor's foreign toplevel list (wlroots) tells them:
// title, app_id, and whether each is activated or minimized. A window's "process" is the
// window itself and its program the application's desktop file, whose icon the device gets.
// Wayland gives no positions and lets no client move another's window: the drag does
// nothing. Launching a path and message boxes go through the fallback (X11's, which needs no
// display for them). GUI thread only.
class CWaylandWindowSystem : public IWindowSystem {
public:
    CWaylandWindowSystem(CWaylandSession& session, IWindowSystem& fallback);
    ~CWaylandWindowSystem() override;
    CWaylandWindowSystem(const CWaylandWindowSystem&) = delete;
    CWaylandWindowSystem& operator=(const CWaylandWindowSystem&) = delete;

    WindowHandle WindowAt(ScreenPoint) override { return 0; }
    bool IsEmbedded(WindowHandle window, bool* readable) override;
    bool IsMinimizeOrCloseBox(WindowHandle, ScreenPoint) override { return false; }
    bool GetScreenRect(ScreenRect* rect) override;
    bool GetWindowRect(WindowHandle, ScreenRect*) override { return false; }
    void MoveWindow(WindowHandle, const ScreenRect&) override {}
    // The most recently activated first, then the newest.
    void EnumWindows(const std::function<bool(WindowHandle)>& visit) override;
    WindowHandle GetParent(WindowHandle) override { return 0; }
    bool IsWindowVisible(WindowHandle window) override;
    std::string GetWindowTextA(WindowHandle window) override;
    bool HasChildWindow(WindowHandle window) override;
    uint32_t GetWindowThreadProcessId(WindowHandle window) override;
    // The window's desktop file.
    bool GetProcessImagePath(uint32_t processId, std::string* path) override;
    WindowHandle GetForegroundWindow() override;
    bool IsIconic(WindowHandle window) override;
    void RestoreWindow(WindowHandle window) override;
    void SetForegroundWindow(WindowHandle window) override;
    void PostCloseMessage(WindowHandle window) override;
    // A desktop file starts its application; any other path goes to the fallback.
    void ShellExecuteOpen(WindowHandle owner, const std::string& file) override;
    bool WithFileIcon(const std::string& path,
                      const std::function<void(IDeviceBitmap&)>& use) override;
    void ShowMessageBox(const std::string& text) override;

    struct Toplevel {
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        // As the last done event left them (UTF-8), and what came since.
        std::string title;
        std::string appId;
        bool activated = false;
        bool minimized = false;
        std::string pendingTitle;
        std::string pendingAppId;
        bool pendingActivated = false;
        bool pendingMinimized = false;
        bool announced = false;
        // When it was last activated and when it came, on one counter.
        uint64_t activatedAt = 0;
        uint64_t createdAt = 0;
        // The desktop file found for appId; looked up once per app_id.
        std::string desktopFile;
        bool lookedUp = false;
        CWaylandWindowSystem* owner = nullptr;
    };

private:
    Toplevel* Find(WindowHandle window);
    const std::string& DesktopFileOf(Toplevel& toplevel);

    friend struct WaylandToplevelListeners;

    CWaylandSession& m_session;
    IWindowSystem& m_fallback;
    zwlr_foreign_toplevel_manager_v1* m_manager = nullptr;
    // Keyed by handle number: 1, 2, ... in the order the toplevels came.
    std::map<WindowHandle, Toplevel> m_toplevels;
    WindowHandle m_nextHandle = 1;
    // Icons by desktop file: an application's icon doesn't change while it runs, and reading
    // and scaling it again for every request would cost more than the rest of the answer.
    std::map<std::string, std::vector<uint32_t>> m_icons;
    uint64_t m_clock = 0;
};
