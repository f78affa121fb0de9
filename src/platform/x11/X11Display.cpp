#include "platform/x11/X11Display.h"

#include <X11/Xlib.h>

#include <mutex>
#include <set>

namespace {

// The handler is process-wide: it knows which connections are ours, and hands errors on
// any other (a toolkit's) to the handler that was there before it.
std::mutex g_displaysLock;
std::set<Display*> g_ownDisplays;
XErrorHandler g_previousHandler = nullptr;

int IgnoreOwnErrors(Display* display, XErrorEvent* event) {
    XErrorHandler previous = nullptr;
    {
        const std::lock_guard<std::mutex> lock(g_displaysLock);
        if (g_ownDisplays.count(display) != 0) return 0;
        previous = g_previousHandler;
    }
    return previous ? previous(display, event) : 0;
}

void InstallHandlerOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The glide worker talks to X on a thread of its own.
        XInitThreads();
        const XErrorHandler previous = XSetErrorHandler(IgnoreOwnErrors);
        const std::lock_guard<std::mutex> lock(g_displaysLock);
        g_previousHandler = previous;
    });
}

}  // namespace

X11Display::X11Display() {
    InstallHandlerOnce();
    m_display = XOpenDisplay(nullptr);
    if (!m_display) return;
    const std::lock_guard<std::mutex> lock(g_displaysLock);
    g_ownDisplays.insert(m_display);
}

unsigned long X11Display::Root() const {
    return DefaultRootWindow(m_display);
}

X11Display::~X11Display() {
    if (!m_display) return;
    XCloseDisplay(m_display);
    const std::lock_guard<std::mutex> lock(g_displaysLock);
    g_ownDisplays.erase(m_display);
}
