#include "platform/x11/X11WindowSystem.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "platform/common/IconBitmap.h"
#include "platform/common/Windows1252.h"

enum X11WindowSystem::AtomName : size_t {
    kClientListStacking,
    kClientList,
    kWindowType,
    kTypeDock,
    kTypeDesktop,
    kState,
    kStateSkipTaskbar,
    kStateHidden,
    kName,
    kUtf8String,
    kPid,
    kWmState,
    kActiveWindow,
    kCloseWindow,
    kMoveResizeWindow,
    kFrameExtents,
    kIcon,
    kWmProtocols,
    kWmDeleteWindow,
    kAtomCount,
};

namespace {

const char* const kAtomNames[] = {
    "_NET_CLIENT_LIST_STACKING",
    "_NET_CLIENT_LIST",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_STATE",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_HIDDEN",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "_NET_WM_PID",
    "WM_STATE",
    "_NET_ACTIVE_WINDOW",
    "_NET_CLOSE_WINDOW",
    "_NET_MOVERESIZE_WINDOW",
    "_NET_FRAME_EXTENTS",
    "_NET_WM_ICON",
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
};

// Bounds on what a property may hand us: lists of windows, atoms and titles stay far below;
// an icon property holds several sizes up to a few hundred pixels square.
constexpr long kMaxListItems = 4096;
constexpr long kMaxTitleBytes = 4096;
constexpr long kMaxIconItems = 1 << 20;
constexpr size_t kImagePathSize = 500;
// Levels of windows between a frame and its client worth searching, and windows in all.
constexpr int kMaxClientDepth = 8;
constexpr size_t kMaxClientSearch = 1024;

// EWMH: requests coming from a pager or task bar, which the window manager obeys at once.
constexpr long kSourcePager = 2;
// _NET_MOVERESIZE_WINDOW: x and y given, placed as the client's own corner.
constexpr long kMoveClientCorner = StaticGravity | 1L << 8 | 1L << 9 | kSourcePager << 12;
// How long a move may take the window manager before the drag goes on without it.
constexpr auto kMoveWait = std::chrono::milliseconds(20);
constexpr auto kMovePoll = std::chrono::milliseconds(1);

constexpr long kWithdrawnState = 0;
constexpr long kNormalState = 1;
constexpr long kIconicState = 3;

constexpr char kMessageBoxProgram[] = "zenity";

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0) return {};
    return name;
}

bool ReadLink(const std::string& link, std::string* target) {
    char buffer[kImagePathSize] = {};
    const ssize_t length = readlink(link.c_str(), buffer, kImagePathSize - 1);
    if (length <= 0) return false;
    target->assign(buffer, static_cast<size_t>(length));
    return true;
}

bool IsExecutableFile(const std::string& path) {
    struct stat status = {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// Starts a program with its arguments, without a shell, and without waiting for it; GLib
// reaps it. False when it can't be started.
bool Spawn(std::vector<std::string> arguments, bool searchPath) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    GError* error = nullptr;
    const GSpawnFlags flags = searchPath ? G_SPAWN_SEARCH_PATH : G_SPAWN_DEFAULT;
    if (g_spawn_async(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, nullptr, &error)) {
        return true;
    }
    std::fprintf(stderr, "%s: %s\n", arguments[0].c_str(), error ? error->message : "not started");
    if (error) g_error_free(error);
    return false;
}

// The reply's value when it came with the type (any when 0) and format asked for; false
// when the window is gone. present tells whether the property was there in that form.
template <typename Take>
bool TakeReply(xcb_connection_t* connection, xcb_get_property_cookie_t cookie, uint32_t type,
               uint8_t format, bool* present, Take take) {
    xcb_generic_error_t* error = nullptr;
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, &error), &std::free);
    std::free(error);
    if (!reply) return false;
    *present = reply->format == format && reply->type != XCB_ATOM_NONE &&
               (type == XCB_GET_PROPERTY_TYPE_ANY || reply->type == type);
    if (*present) {
        take(xcb_get_property_value(reply.get()),
             static_cast<size_t>(xcb_get_property_value_length(reply.get())), reply->type);
    }
    return true;
}

std::vector<uint32_t> Items(const void* value, size_t bytes) {
    const auto* items = static_cast<const uint32_t*>(value);
    return std::vector<uint32_t>(items, items + bytes / sizeof(uint32_t));
}

std::string ProgramName() {
    std::string path;
    if (!ReadLink("/proc/self/exe", &path)) return "tavrix-server";
    return path.substr(path.rfind('/') + 1);
}

}  // namespace

X11WindowSystem::X11WindowSystem() : m_atoms(kAtomCount, None), m_hostName(HostName()) {
    static_assert(sizeof(kAtomNames) / sizeof(kAtomNames[0]) == kAtomCount, "one name an atom");
    if (!m_display) return;
    XInternAtoms(m_display.get(), const_cast<char**>(kAtomNames), kAtomCount, False,
                 m_atoms.data());
}

// Hands the property's items to take when it has the type and format asked for: format 32
// as one long an item, whatever the width of long, format 8 as bytes.
bool X11WindowSystem::ReadProperty(
    XId window, XId property, XId type, int format, long maxLongs,
    const std::function<void(const unsigned char*, unsigned long)>& take) const {
    if (!m_display || window == None) return false;
    ::Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(m_display.get(), window, property, 0, maxLongs, False, type, &actualType,
                           &actualFormat, &count, &after, &raw) != Success) {
        return false;
    }
    const std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (!data || actualType != type || actualFormat != format) return false;
    take(data.get(), count);
    return true;
}

std::vector<unsigned long> X11WindowSystem::CardinalProperty(XId window, XId property, XId type,
                                                             long maxItems) const {
    std::vector<unsigned long> values;
    ReadProperty(window, property, type, 32, maxItems,
                 [&values](const unsigned char* data, unsigned long count) {
                     const auto* items = reinterpret_cast<const unsigned long*>(data);
                     values.assign(items, items + count);
                 });
    return values;
}

bool X11WindowSystem::TextProperty(XId window, XId property, XId type, std::string* text) const {
    return ReadProperty(window, property, type, 8, kMaxTitleBytes / 4,
                        [text](const unsigned char* data, unsigned long count) {
                            text->assign(reinterpret_cast<const char*>(data), count);
                        });
}

bool X11WindowSystem::HasState(XId window, XId state) const {
    const std::vector<unsigned long> states =
        CardinalProperty(window, AtomOf(kState), XA_ATOM, kMaxListItems);
    return std::find(states.begin(), states.end(), state) != states.end();
}

// The ICCCM state the window manager gives a client; withdrawn when it has none.
long X11WindowSystem::WmState(XId window) const {
    const std::vector<unsigned long> state =
        CardinalProperty(window, AtomOf(kWmState), AtomOf(kWmState), 2);
    return state.empty() ? kWithdrawnState : static_cast<long>(state[0]);
}

bool X11WindowSystem::Listed(XId window) const {
    const std::vector<unsigned long> types =
        CardinalProperty(window, AtomOf(kWindowType), XA_ATOM, kMaxListItems);
    for (const unsigned long type : types) {
        if (type == AtomOf(kTypeDock) || type == AtomOf(kTypeDesktop)) return false;
    }
    return !HasState(window, AtomOf(kStateSkipTaskbar));
}

// Every property the registry's rules ask about, for every window, with all requests sent
// before the first reply is read: one wait for the X server instead of several a window.
std::map<X11WindowSystem::XId, WindowFacts> X11WindowSystem::FetchFacts(
    const std::vector<unsigned long>& windows) const {
    std::map<XId, WindowFacts> facts;
    if (!m_display) return facts;
    xcb_connection_t* connection = XGetXCBConnection(m_display.get());
    enum Asked {
        kAskTypes,
        kAskStates,
        kAskTransient,
        kAskUtf8Name,
        kAskLegacyName,
        kAskWmState,
        kAskMachine,
        kAskPid
    };
    struct Ask {
        uint32_t property;
        uint32_t type;
        uint32_t longs;
    };
    const Ask asks[] = {
        {static_cast<uint32_t>(AtomOf(kWindowType)), XCB_ATOM_ATOM, kMaxListItems},
        {static_cast<uint32_t>(AtomOf(kState)), XCB_ATOM_ATOM, kMaxListItems},
        {XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1},
        {static_cast<uint32_t>(AtomOf(kName)), static_cast<uint32_t>(AtomOf(kUtf8String)),
         kMaxTitleBytes / 4},
        {XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kMaxTitleBytes / 4},
        {static_cast<uint32_t>(AtomOf(kWmState)), static_cast<uint32_t>(AtomOf(kWmState)), 2},
        {XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, kMaxTitleBytes / 4},
        {static_cast<uint32_t>(AtomOf(kPid)), XCB_ATOM_CARDINAL, 1},
    };
    constexpr size_t kAsks = sizeof(asks) / sizeof(asks[0]);
    std::vector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(windows.size() * kAsks);
    for (const unsigned long window : windows) {
        for (const Ask& ask : asks) {
            cookies.push_back(xcb_get_property(connection, 0, static_cast<xcb_window_t>(window),
                                               ask.property, ask.type, 0, ask.longs));
        }
    }
    for (size_t w = 0; w < windows.size(); ++w) {
        WindowFacts& fact = facts[windows[w]];
        bool exists = true;
        bool ignored = false;
        // Every reply is read, so that none is left waiting in the connection.
        for (size_t a = 0; a < kAsks; ++a) {
            const xcb_get_property_cookie_t cookie = cookies[w * kAsks + a];
            const uint32_t type = asks[a].type;
            bool read = false;
            switch (static_cast<Asked>(a)) {
                case kAskTypes:
                    read = TakeReply(
                        connection, cookie, type, 32, &ignored,
                        [&](const void* v, size_t n, uint32_t) { fact.types = Items(v, n); });
                    break;
                case kAskStates:
                    read = TakeReply(
                        connection, cookie, type, 32, &ignored,
                        [&](const void* v, size_t n, uint32_t) { fact.states = Items(v, n); });
                    break;
                case kAskTransient:
                    read = TakeReply(connection, cookie, type, 32, &fact.hasTransientFor,
                                     [&](const void* v, size_t n, uint32_t) {
                                         const auto items = Items(v, n);
                                         fact.transientFor = items.empty() ? 0 : items[0];
                                     });
                    break;
                case kAskUtf8Name:
                    read = TakeReply(connection, cookie, type, 8, &fact.hasUtf8Name,
                                     [&](const void* v, size_t n, uint32_t) {
                                         fact.utf8Name.assign(static_cast<const char*>(v), n);
                                     });
                    break;
                case kAskLegacyName:
                    // Of any type: it names the encoding.
                    read = TakeReply(connection, cookie, type, 8, &fact.hasLegacyName,
                                     [&](const void* v, size_t n, uint32_t encoding) {
                                         fact.legacyName.assign(static_cast<const char*>(v), n);
                                         fact.legacyNameEncoding = encoding;
                                         fact.legacyNameFormat = 8;
                                     });
                    break;
                case kAskWmState:
                    read = TakeReply(connection, cookie, type, 32, &fact.hasWmState,
                                     [&](const void* v, size_t n, uint32_t) {
                                         const auto items = Items(v, n);
                                         fact.hasWmState = !items.empty();
                                         fact.wmState = items.empty() ? 0 : items[0];
                                     });
                    break;
                case kAskMachine:
                    read = TakeReply(connection, cookie, type, 8, &fact.hasClientMachine,
                                     [&](const void* v, size_t n, uint32_t) {
                                         fact.clientMachine.assign(static_cast<const char*>(v), n);
                                     });
                    break;
                case kAskPid:
                    read = TakeReply(connection, cookie, type, 32, &fact.hasPid,
                                     [&](const void* v, size_t n, uint32_t) {
                                         const auto items = Items(v, n);
                                         fact.hasPid = !items.empty();
                                         fact.pid = items.empty() ? 0 : items[0];
                                     });
                    break;
            }
            exists = exists && read;
        }
        fact.exists = exists;
    }
    return facts;
}

// A title in WM_NAME's own encoding (Latin-1, compound text, UTF-8), as Xlib converts it.
std::string X11WindowSystem::LegacyTitle(const WindowFacts& facts) const {
    if (!m_display || facts.legacyNameFormat != 8) return {};
    XTextProperty name = {};
    name.value = reinterpret_cast<unsigned char*>(const_cast<char*>(facts.legacyName.data()));
    name.encoding = facts.legacyNameEncoding;
    name.format = 8;
    name.nitems = facts.legacyName.size();
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(m_display.get(), &name, &list, &count) < Success || !list)
        return {};
    std::string utf8;
    for (int i = 0; i < count; ++i) utf8 += list[i];
    XFreeStringList(list);
    return utf8;
}

const WindowAnswers* X11WindowSystem::Snapshot(WindowHandle window) const {
    if (!m_inEnumeration) return nullptr;
    const auto found = m_snapshot.find(window);
    return found == m_snapshot.end() ? nullptr : &found->second;
}

void X11WindowSystem::SendToRoot(XId window, XId message, long data0, long data1, long data2,
                                 long data3, long data4) {
    if (!m_display) return;
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = message;
    event.xclient.format = 32;
    event.xclient.data.l[0] = data0;
    event.xclient.data.l[1] = data1;
    event.xclient.data.l[2] = data2;
    event.xclient.data.l[3] = data3;
    event.xclient.data.l[4] = data4;
    XSendEvent(m_display.get(), m_display.Root(), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(m_display.get());
}

WindowHandle X11WindowSystem::WindowAt(ScreenPoint point) {
    if (!m_display) return 0;
    Display* display = m_display.get();
    const Window root = m_display.Root();
    int x = 0;
    int y = 0;
    Window top = None;
    if (!XTranslateCoordinates(display, root, root, point.x, point.y, &x, &y, &top) ||
        top == None) {
        return 0;
    }
    // The frame under the point holds the client somewhere below it: breadth first, bounded.
    std::vector<Window> level{top};
    size_t searched = 0;
    for (int depth = 0; depth < kMaxClientDepth && !level.empty(); ++depth) {
        std::vector<Window> next;
        for (const Window window : level) {
            if (WmState(window) != kWithdrawnState) return window;
            if (++searched > kMaxClientSearch) return 0;
            Window treeRoot = None;
            Window parent = None;
            Window* raw = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(display, window, &treeRoot, &parent, &raw, &count)) continue;
            const std::unique_ptr<Window, XFreeDeleter> children(raw);
            if (children) next.insert(next.end(), children.get(), children.get() + count);
        }
        level.swap(next);
    }
    return 0;
}

bool X11WindowSystem::IsEmbedded(WindowHandle window, bool* readable) {
    XWindowAttributes attributes = {};
    *readable = m_display && XGetWindowAttributes(m_display.get(), window, &attributes) != 0;
    return false;
}

bool X11WindowSystem::IsMinimizeOrCloseBox(WindowHandle, ScreenPoint) {
    return false;
}

bool X11WindowSystem::GetScreenRect(ScreenRect* rect) {
    if (!m_display) return false;
    const int screen = DefaultScreen(m_display.get());
    *rect = ScreenRect{0, 0, DisplayWidth(m_display.get(), screen),
                       DisplayHeight(m_display.get(), screen)};
    return true;
}

bool X11WindowSystem::GetWindowRect(WindowHandle window, ScreenRect* rect) {
    if (!m_display) return false;
    XWindowAttributes attributes = {};
    int x = 0;
    int y = 0;
    Window child = None;
    if (!XGetWindowAttributes(m_display.get(), window, &attributes) ||
        !XTranslateCoordinates(m_display.get(), window, m_display.Root(), 0, 0, &x, &y, &child)) {
        return false;
    }
    // Left, right, top, bottom; none without a frame.
    std::vector<unsigned long> extents =
        CardinalProperty(window, AtomOf(kFrameExtents), XA_CARDINAL, 4);
    extents.resize(4, 0);
    const auto extent = [&extents](size_t i) { return static_cast<int>(extents[i]); };
    *rect = ScreenRect{x - extent(0), y - extent(2), x + attributes.width + extent(1),
                       y + attributes.height + extent(3)};
    return true;
}

void X11WindowSystem::MoveWindow(WindowHandle window, const ScreenRect& rect) {
    ScreenRect before;
    if (!GetWindowRect(window, &before)) return;
    std::vector<unsigned long> extents =
        CardinalProperty(window, AtomOf(kFrameExtents), XA_CARDINAL, 4);
    extents.resize(4, 0);
    SendToRoot(window, AtomOf(kMoveResizeWindow), kMoveClientCorner,
               rect.left + static_cast<long>(extents[0]), rect.top + static_cast<long>(extents[2]),
               0, 0);
    // The window manager moves the frame on its own time; the next step of a drag reads
    // the place back, so it waits a little for the move to show.
    const auto deadline = std::chrono::steady_clock::now() + kMoveWait;
    ScreenRect now = before;
    while (std::chrono::steady_clock::now() < deadline && GetWindowRect(window, &now) &&
           now.left == before.left && now.top == before.top) {
        std::this_thread::sleep_for(kMovePoll);
    }
}

void X11WindowSystem::EnumWindows(const std::function<bool(WindowHandle)>& visit) {
    m_windowsOfProcess.clear();
    m_processesOfProgram.clear();
    const Window root = m_display ? m_display.Root() : None;
    std::vector<unsigned long> clients =
        CardinalProperty(root, AtomOf(kClientListStacking), XA_WINDOW, kMaxListItems);
    if (clients.empty()) {
        clients = CardinalProperty(root, AtomOf(kClientList), XA_WINDOW, kMaxListItems);
    }
    WindowFactsAtoms atoms;
    atoms.typeDock = static_cast<uint32_t>(AtomOf(kTypeDock));
    atoms.typeDesktop = static_cast<uint32_t>(AtomOf(kTypeDesktop));
    atoms.stateSkipTaskbar = static_cast<uint32_t>(AtomOf(kStateSkipTaskbar));
    atoms.stateHidden = static_cast<uint32_t>(AtomOf(kStateHidden));
    m_snapshot.clear();
    for (const auto& fact : FetchFacts(clients)) {
        m_snapshot[fact.first] =
            AnswerFromFacts(fact.second, atoms, m_hostName,
                            [this](const WindowFacts& facts) { return LegacyTitle(facts); });
    }
    // The registry's questions about these windows are answered from the snapshot while it
    // visits them.
    m_inEnumeration = true;
    // The stacking list runs from the bottom up; a window gone meanwhile is passed over.
    for (auto client = clients.rbegin(); client != clients.rend(); ++client) {
        const WindowAnswers& answers = m_snapshot[*client];
        if (!answers.exists || !answers.listed) continue;
        if (!visit(*client)) break;
    }
    m_inEnumeration = false;
    m_snapshot.clear();
}

WindowHandle X11WindowSystem::GetParent(WindowHandle window) {
    if (const WindowAnswers* answers = Snapshot(window)) return answers->parent;
    Window owner = None;
    if (!m_display || !XGetTransientForHint(m_display.get(), window, &owner)) return 0;
    return owner;
}

bool X11WindowSystem::IsWindowVisible(WindowHandle window) {
    if (const WindowAnswers* answers = Snapshot(window)) return answers->visible;
    const long state = WmState(window);
    return state == kNormalState || state == kIconicState;
}

std::string X11WindowSystem::GetWindowTextA(WindowHandle window) {
    if (const WindowAnswers* answers = Snapshot(window)) return answers->title;
    std::string utf8;
    if (TextProperty(window, AtomOf(kName), AtomOf(kUtf8String), &utf8)) {
        return Utf8ToWindows1252(utf8);
    }
    // Older clients name their window in WM_NAME, in whichever encoding they chose.
    XTextProperty name = {};
    if (!m_display || !XGetWMName(m_display.get(), window, &name)) return {};
    const std::unique_ptr<unsigned char, XFreeDeleter> value(name.value);
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(m_display.get(), &name, &list, &count) < Success || !list) {
        return {};
    }
    for (int i = 0; i < count; ++i) utf8 += list[i];
    XFreeStringList(list);
    return Utf8ToWindows1252(utf8);
}

bool X11WindowSystem::HasChildWindow(WindowHandle window) {
    if (const WindowAnswers* answers = Snapshot(window)) return answers->exists;
    XWindowAttributes attributes = {};
    return m_display && XGetWindowAttributes(m_display.get(), window, &attributes) != 0;
}

uint32_t X11WindowSystem::GetWindowThreadProcessId(WindowHandle window) {
    if (const WindowAnswers* answers = Snapshot(window)) {
        if (answers->processId != 0) m_windowsOfProcess[answers->processId].push_back(window);
        return answers->processId;
    }
    std::string machine;
    if (!TextProperty(window, XA_WM_CLIENT_MACHINE, XA_STRING, &machine)) return 0;
    // A process id means something only on the host that made the window.
    if (machine != m_hostName && ShortHostName(machine) != ShortHostName(m_hostName)) return 0;
    const std::vector<unsigned long> pid = CardinalProperty(window, AtomOf(kPid), XA_CARDINAL, 1);
    if (pid.empty() || pid[0] == 0 || pid[0] > UINT32_MAX) return 0;
    const auto processId = static_cast<uint32_t>(pid[0]);
    m_windowsOfProcess[processId].push_back(window);
    return processId;
}

bool X11WindowSystem::GetProcessImagePath(uint32_t processId, std::string* path) {
    std::string target;
    if (processId == 0 || !ReadLink("/proc/" + std::to_string(processId) + "/exe", &target)) {
        return false;
    }
    *path = Utf8ToWindows1252(target);
    m_processesOfProgram[*path].push_back(processId);
    return true;
}

WindowHandle X11WindowSystem::GetForegroundWindow() {
    const std::vector<unsigned long> active =
        CardinalProperty(m_display ? m_display.Root() : None, AtomOf(kActiveWindow), XA_WINDOW, 1);
    return active.empty() ? 0 : active[0];
}

bool X11WindowSystem::IsIconic(WindowHandle window) {
    if (const WindowAnswers* answers = Snapshot(window)) return answers->iconic;
    return WmState(window) == kIconicState || HasState(window, AtomOf(kStateHidden));
}

// The window manager restores a minimized window that it is asked to activate.
void X11WindowSystem::RestoreWindow(WindowHandle window) {
    SetForegroundWindow(window);
}

void X11WindowSystem::SetForegroundWindow(WindowHandle window) {
    SendToRoot(window, AtomOf(kActiveWindow), kSourcePager, CurrentTime, None, 0, 0);
}

void X11WindowSystem::PostCloseMessage(WindowHandle window) {
    if (!m_display) return;
    ::Atom* raw = nullptr;
    int count = 0;
    if (!XGetWMProtocols(m_display.get(), window, &raw, &count)) return;
    const std::unique_ptr<::Atom, XFreeDeleter> protocols(raw);
    if (std::find(raw, raw + count, AtomOf(kWmDeleteWindow)) == raw + count) return;
    SendToRoot(window, AtomOf(kCloseWindow), CurrentTime, kSourcePager, 0, 0, 0);
}

void X11WindowSystem::ShellExecuteOpen(WindowHandle, const std::string& file) {
    const std::string path = Windows1252ToUtf8(file);
    // Never a URL, a relative name looked up somewhere, or an option for xdg-open.
    struct stat status = {};
    if (path.empty() || path[0] != '/' || stat(path.c_str(), &status) != 0 ||
        !S_ISREG(status.st_mode))
        return;
    if (IsExecutableFile(path)) {
        Spawn({path}, false);
    } else {
        Spawn({"xdg-open", path}, true);
    }
}

bool X11WindowSystem::WithFileIcon(const std::string& path,
                                   const std::function<void(IDeviceBitmap&)>& use) {
    const auto processes = m_processesOfProgram.find(path);
    if (processes == m_processesOfProgram.end()) return false;
    std::vector<uint32_t> pixels;
    for (const uint32_t process : processes->second) {
        for (const XId window : m_windowsOfProcess[process]) {
            const std::vector<unsigned long> icon =
                CardinalProperty(window, AtomOf(kIcon), XA_CARDINAL, kMaxIconItems);
            pixels = IconPixels(icon.data(), icon.size());
            // A window manager may hand out a blank icon to windows that have none.
            if (!IsBlank(pixels)) break;
        }
        if (!IsBlank(pixels)) break;
    }
    if (IsBlank(pixels)) return false;
    CArgbIconBitmap bitmap(std::move(pixels));
    use(bitmap);
    return true;
}

void X11WindowSystem::ShowMessageBox(const std::string& text) {
    const std::string message = Windows1252ToUtf8(text);
    std::fprintf(stderr, "%s\n", message.c_str());
    // On the user's desktop without holding up the device's commands.
    Spawn({kMessageBoxProgram, "--warning", "--no-markup", "--title=" + ProgramName(),
           "--text=" + message},
          true);
}
