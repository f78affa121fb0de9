#include "app/linux/RouteChoice.h"

namespace {

constexpr char kXWaylandOnly[] =
    "the device reaches XWayland windows only, and the pointer and keys only while one of "
    "them has the focus";
constexpr char kNoDrag[] =
    "dragging a window does nothing: Wayland lets no program move another's window";

RouteChoice X11Only(const SessionFacts& facts) {
    RouteChoice choice;
    if (facts.x11Display.empty()) {
        choice.failure = facts.waylandDisplay.empty()
                             ? "DISPLAY is not set, nor WAYLAND_DISPLAY: tavrix-server needs a "
                               "desktop session to drive"
                             : "can't connect to the Wayland display \"" + facts.waylandDisplay +
                                   "\", and DISPLAY is not set";
        return choice;
    }
    if (!facts.x11Connected) {
        choice.failure = "can't open the X display \"" + facts.x11Display + "\"";
        if (!facts.waylandDisplay.empty())
            choice.failure +=
                " nor connect to the Wayland display \"" + facts.waylandDisplay + "\"";
        return choice;
    }
    choice.input = InputRoute::X11;
    choice.windows = WindowRoute::X11;
    if (!facts.waylandDisplay.empty())
        choice.notes.push_back("can't connect to the Wayland display \"" + facts.waylandDisplay +
                               "\": " + kXWaylandOnly);
    return choice;
}

}  // namespace

RouteChoice ChooseRoute(const SessionFacts& facts) {
    if (facts.waylandDisplay.empty() || !facts.waylandConnected) return X11Only(facts);
    RouteChoice choice;
    if (facts.virtualPointer && facts.virtualKeyboard) {
        choice.input = InputRoute::Wlroots;
        choice.notes.push_back(
            "Wayland session, wlroots route: the pointer and the keys through the "
            "compositor's virtual pointer and keyboard");
    } else if (facts.portal) {
        choice.input = InputRoute::Portal;
        choice.notes.push_back(
            "Wayland session, portal route: the pointer and the keys through the desktop "
            "portal's remote desktop, which asks on this screen once for permission; the "
            "pointer moves from where the server last put it, since the portal doesn't say "
            "where it is");
    } else if (facts.x11Connected) {
        choice.input = InputRoute::X11;
        choice.notes.push_back(
            std::string("this Wayland desktop offers neither virtual input nor the desktop "
                        "portal's remote desktop: ") +
            kXWaylandOnly);
    } else {
        choice.notes.push_back(
            "this Wayland desktop offers neither virtual input nor the desktop portal's "
            "remote desktop, and there is no X display: the device's pointer and keys do "
            "nothing");
    }
    if (facts.foreignToplevels) {
        choice.windows = WindowRoute::Toplevels;
        choice.notes.push_back(std::string("the window list from the compositor's toplevels; ") +
                               kNoDrag);
    } else if (facts.x11Connected) {
        choice.windows = WindowRoute::X11;
        if (choice.input != InputRoute::X11)
            choice.notes.push_back("the window list shows XWayland windows only");
    } else {
        choice.notes.push_back(
            "no window list: the compositor offers no toplevel list and there is no X display");
    }
    return choice;
}
