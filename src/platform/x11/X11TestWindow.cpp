#include "platform/x11/X11TestWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <glib-unix.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr char kTitle[] = "TestWnd - Server";
constexpr unsigned int kWidth = 400;
constexpr unsigned int kHeight = 300;
// How long the window manager may take to tell the frame it will draw.
constexpr auto kExtentsWait = std::chrono::milliseconds(200);
constexpr auto kExtentsPoll = std::chrono::milliseconds(2);

// Left, right, top and bottom of the frame the window manager will draw around the window;
// none when it doesn't say in time.
std::vector<long> FrameExtents(Display* display, Window root, Window window) {
    const Atom extents = XInternAtom(display, "_NET_FRAME_EXTENTS", False);
    XEvent request = {};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
    request.xclient.format = 32;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    const auto deadline = std::chrono::steady_clock::now() + kExtentsWait;
    std::vector<long> values;
    while (values.empty() && std::chrono::steady_clock::now() < deadline) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, extents, 0, 4, False, XA_CARDINAL, &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 32 && count == 4) {
            const auto* items = reinterpret_cast<const long*>(data);
            values.assign(items, items + count);
        }
        if (data) XFree(data);
        if (values.empty()) std::this_thread::sleep_for(kExtentsPoll);
    }
    return values;
}

}  // namespace

X11TestWindow::X11TestWindow(X11TestWindowFactory& owner, int x, int y) : m_owner(owner) {
    if (!owner.Connect()) return;
    const X11Display& connection = *owner.m_display;
    Display* display = connection.get();
    const int screen = DefaultScreen(display);
    m_window = XCreateSimpleWindow(display, connection.Root(), x, y, kWidth, kHeight, 0,
                                   BlackPixel(display, screen), BlackPixel(display, screen));
    if (m_window == None) return;
    owner.m_windows.push_back(this);
    XStoreName(display, m_window, kTitle);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, m_window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(kTitle),
                    static_cast<int>(std::strlen(kTitle)));
    // Owned by this process on this host, as the window list reads windows.
    char host[256] = {};
    if (gethostname(host, sizeof(host) - 1) == 0) {
        XChangeProperty(display, m_window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(host),
                        static_cast<int>(std::strlen(host)));
    }
    const long pid = getpid();
    XChangeProperty(display, m_window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    // As on Windows the size is the frame's: the window takes what the frame leaves.
    const std::vector<long> frame = FrameExtents(display, connection.Root(), m_window);
    const long width = frame.empty() ? kWidth : kWidth - frame[0] - frame[1];
    const long height = frame.empty() ? kHeight : kHeight - frame[2] - frame[3];
    if (width > 0 && height > 0) {
        XResizeWindow(display, m_window, static_cast<unsigned int>(width),
                      static_cast<unsigned int>(height));
    }
    // The place is the caller's, not the window manager's choice: the frame's corner.
    XSizeHints hints = {};
    hints.flags = USPosition | USSize | PWinGravity;
    hints.x = x;
    hints.y = y;
    hints.width = static_cast<int>(width > 0 ? width : kWidth);
    hints.height = static_cast<int>(height > 0 ? height : kHeight);
    hints.win_gravity = NorthWestGravity;
    XSetWMNormalHints(display, m_window, &hints);
    Atom deleteWindow = owner.m_deleteWindow;
    XSetWMProtocols(display, m_window, &deleteWindow, 1);
    XMapWindow(display, m_window);
    XFlush(display);
}

X11TestWindow::~X11TestWindow() {
    if (m_window == None) return;
    Close();
    // The round trip may have read events of the other windows past the main loop's poll.
    m_owner.HandleEvents();
}

void X11TestWindow::Close() {
    Display* display = m_owner.m_display->get();
    XDestroyWindow(display, m_window);
    XSync(display, False);
    m_window = None;
    auto& windows = m_owner.m_windows;
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

X11TestWindowFactory::~X11TestWindowFactory() {
    if (m_source != 0) g_source_remove(m_source);
}

bool X11TestWindowFactory::Connect() {
    if (m_display) return true;
    auto display = std::make_unique<X11Display>();
    if (!*display) return false;
    m_display = std::move(display);
    m_deleteWindow = XInternAtom(m_display->get(), "WM_DELETE_WINDOW", False);
    m_source = g_unix_fd_add(ConnectionNumber(m_display->get()), G_IO_IN,
                             &X11TestWindowFactory::OnEvents, this);
    return true;
}

gboolean X11TestWindowFactory::OnEvents(gint, GIOCondition, gpointer self) {
    static_cast<X11TestWindowFactory*>(self)->HandleEvents();
    return G_SOURCE_CONTINUE;
}

void X11TestWindowFactory::HandleEvents() {
    Display* display = m_display->get();
    while (XPending(display) > 0) {
        XEvent event = {};
        XNextEvent(display, &event);
        if (event.type != ClientMessage ||
            static_cast<Atom>(event.xclient.data.l[0]) != m_deleteWindow) {
            continue;
        }
        for (X11TestWindow* window : m_windows) {
            if (window->m_window != event.xclient.window) continue;
            window->Close();
            break;
        }
    }
}

std::unique_ptr<ITestWindow> X11TestWindowFactory::Create(int x, int y) {
    auto window = std::make_unique<X11TestWindow>(*this, x, y);
    if (!window->Valid()) return nullptr;
    // Reading the frame's extents may have read events past the main loop's poll.
    HandleEvents();
    return window;
}
