#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11WindowFacts.h"

// The application windows as the window manager lists them (EWMH), their processes, and
// the actions on them, on a connection of its own; GUI thread only. A window is named by
// its client window, the one that carries WM_STATE. Text goes to the core in Windows-1252.
class X11WindowSystem : public IWindowSystem {
public:
    X11WindowSystem();

    WindowHandle WindowAt(ScreenPoint point) override;
    // Client windows are never embedded; readable tells whether the window still exists.
    bool IsEmbedded(WindowHandle window, bool* readable) override;
    // The server has no window with boxes of its own.
    bool IsMinimizeOrCloseBox(WindowHandle window, ScreenPoint point) override;
    bool GetScreenRect(ScreenRect* rect) override;
    // The frame's rectangle: the client's with the frame extents around it.
    bool GetWindowRect(WindowHandle window, ScreenRect* rect) override;
    void MoveWindow(WindowHandle window, const ScreenRect& rect) override;
    // _NET_CLIENT_LIST_STACKING from the top, without docks, desktops and windows kept out
    // of the task bar.
    void EnumWindows(const std::function<bool(WindowHandle)>& visit) override;
    // The window it is transient for; 0 for none.
    WindowHandle GetParent(WindowHandle window) override;
    // Normal or minimized, as WM_STATE says.
    bool IsWindowVisible(WindowHandle window) override;
    std::string GetWindowTextA(WindowHandle window) override;
    // The window manager keeps helper windows out of its list already, so every client
    // window counts as a real one.
    bool HasChildWindow(WindowHandle window) override;
    // _NET_WM_PID when WM_CLIENT_MACHINE is this host; 0 otherwise.
    uint32_t GetWindowThreadProcessId(WindowHandle window) override;
    // /proc/PID/exe.
    bool GetProcessImagePath(uint32_t processId, std::string* path) override;
    WindowHandle GetForegroundWindow() override;
    bool IsIconic(WindowHandle window) override;
    void RestoreWindow(WindowHandle window) override;
    void SetForegroundWindow(WindowHandle window) override;
    // _NET_CLOSE_WINDOW, for windows that take WM_DELETE_WINDOW only: for others the
    // window manager would kill the client.
    void PostCloseMessage(WindowHandle window) override;
    // Runs an executable file itself, opens any other with xdg-open; no shell in between.
    void ShellExecuteOpen(WindowHandle owner, const std::string& file) override;
    // The _NET_WM_ICON of the program's front-most window (as listed last) that has one
    // that shows, scaled to 32 by 32.
    bool WithFileIcon(const std::string& path,
                      const std::function<void(IDeviceBitmap&)>& use) override;
    void ShowMessageBox(const std::string& text) override;

private:
    enum AtomName : size_t;

    // X's ids of windows and atoms.
    using XId = unsigned long;

    XId AtomOf(AtomName name) const { return m_atoms[name]; }
    bool ReadProperty(XId window, XId property, XId type, int format, long maxLongs,
                      const std::function<void(const unsigned char*, unsigned long)>& take) const;
    std::vector<unsigned long> CardinalProperty(XId window, XId property, XId type,
                                                long maxItems) const;
    bool TextProperty(XId window, XId property, XId type, std::string* text) const;
    bool HasState(XId window, XId state) const;
    long WmState(XId window) const;
    bool Listed(XId window) const;
    void SendToRoot(XId window, XId message, long data0, long data1, long data2, long data3,
                    long data4);
    std::map<XId, WindowFacts> FetchFacts(const std::vector<unsigned long>& windows) const;
    std::string LegacyTitle(const WindowFacts& facts) const;
    // The snapshot's answers for the window while an enumeration visits; null otherwise.
    const WindowAnswers* Snapshot(WindowHandle window) const;

    X11Display m_display;
    std::vector<XId> m_atoms;
    std::string m_hostName;
    // From the last listing: the windows of each process asked about, front to back, and
    // the processes of each program.
    std::map<uint32_t, std::vector<XId>> m_windowsOfProcess;
    std::map<std::string, std::vector<uint32_t>> m_processesOfProgram;
    // The windows of the enumeration under way.
    std::map<XId, WindowAnswers> m_snapshot;
    bool m_inEnumeration = false;
};
