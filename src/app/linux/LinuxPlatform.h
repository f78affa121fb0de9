#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/linux/RouteChoice.h"
#include "platform/PlatformServices.h"
#include "platform/common/PacedSound.h"
#include "platform/x11/X11DnsSd.h"
#include "platform/x11/X11FileDialogs.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11PointerDevice.h"
#include "platform/x11/X11Services.h"
#include "platform/x11/X11Sockets.h"
#include "platform/x11/X11TestWindow.h"
#include "platform/x11/X11Timers.h"
#include "platform/x11/X11WindowSystem.h"

class CWaylandSession;
class CWaylandPointer;
class CWaylandKeyboard;
class CWaylandWindowSystem;
class CPortalSession;
class CPortalPointer;
class CPortalKeyboard;
class CWaylandKeymap;

// Where the desktop portal's restore token is kept, beside the settings.
constexpr char kPortalTokenFileName[] = "TavrixPortalToken.txt";

// The services of this desktop session, picked once at start: under Wayland the
// compositor's own ways where it has them, X (XWayland's) for the rest. The GLib-based
// services (sockets, timers, DNS-SD, sound, dialogs) serve every session alike.
class CLinuxPlatform {
public:
    // say gets what the session's route tells later (the portal's answer), one line each.
    explicit CLinuxPlatform(std::function<void(const std::string&)> say);
    ~CLinuxPlatform();
    CLinuxPlatform(const CLinuxPlatform&) = delete;
    CLinuxPlatform& operator=(const CLinuxPlatform&) = delete;

    const RouteChoice& Route() const { return m_route; }
    PlatformServices Services();
    // Called from the main loop when the Wayland compositor closes the connection: the
    // session is over.
    void OnSessionLost(std::function<void()> lost);

    // The code page comes first: the keyboards convert text through it.
    X11AnsiCodePage codePage;
    X11SocketFactory sockets;
    X11Clock clock;
    X11Sound systemSound;
    CPacedSound sound{systemSound, clock};
    X11Timers timers;
    X11DnsSd dnsSd;
    X11SystemInfo system;
    X11FileSystem files;
    X11FileDialogs fileDialogs;

private:
    X11PointerDevice m_x11Pointer;
    X11Keyboard m_x11Keyboard{codePage};
    X11TestWindowFactory m_testWindows;
    X11WindowSystem m_x11Windows;
    std::unique_ptr<CWaylandSession> m_wayland;
    std::unique_ptr<CWaylandPointer> m_waylandPointer;
    std::unique_ptr<CWaylandKeyboard> m_waylandKeyboard;
    std::unique_ptr<CWaylandWindowSystem> m_waylandWindows;
    std::unique_ptr<CPortalSession> m_portal;
    std::unique_ptr<CPortalPointer> m_portalPointer;
    // The seat keyboard's layout, where the compositor tells it: what the portal can type.
    std::unique_ptr<CWaylandKeymap> m_portalLayout;
    std::unique_ptr<CPortalKeyboard> m_portalKeyboard;
    RouteChoice m_route;
    IPointerDevice* m_pointer = nullptr;
    IKeyboard* m_keyboard = nullptr;
    IWindowSystem* m_windows = nullptr;
};
