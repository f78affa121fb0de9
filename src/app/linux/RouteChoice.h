#pragma once
#include <string>
#include <vector>

// What start-up learned of the desktop session.
struct SessionFacts {
    // $WAYLAND_DISPLAY and $DISPLAY; empty when unset.
    std::string waylandDisplay;
    std::string x11Display;
    bool waylandConnected = false;
    // The wlroots virtual input globals and the foreign toplevel list.
    bool virtualPointer = false;
    bool virtualKeyboard = false;
    bool foreignToplevels = false;
    // The desktop portal offers RemoteDesktop. Asked only when the compositor has no virtual
    // input of its own.
    bool portal = false;
    // The X display (XWayland's under Wayland) accepts a connection.
    bool x11Connected = false;
};

enum class InputRoute { None, X11, Wlroots, Portal };
enum class WindowRoute { None, X11, Toplevels };

struct RouteChoice {
    InputRoute input = InputRoute::None;
    WindowRoute windows = WindowRoute::None;
    // Said at start: the route, and what it can't do.
    std::vector<std::string> notes;
    // Why nothing can be served; empty when something can.
    std::string failure;
};

// Wayland's own ways first, X (XWayland under Wayland) for what they can't do.
RouteChoice ChooseRoute(const SessionFacts& facts);
