// The floor for the window list: on "656" it asks the X server, in two batches of requests
// each fully in flight before any reply is read, for the stacking list and the active window,
// then for every client's type, state, owner, title, WM_STATE, machine and process id. It
// keeps the windows the server keeps, reads each local process's program path once, and
// sends "124:<foreground index>:<key>:<key>..." with the keys in the server's text encoding
// and byte order.
//   tavrix-floor-list <port> <lifetime seconds>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "XcbFloor.h"

namespace {

enum AtomName {
    kClientListStacking,
    kActiveWindow,
    kWindowType,
    kTypeDock,
    kTypeDesktop,
    kState,
    kStateSkipTaskbar,
    kName,
    kUtf8String,
    kWmState,
    kPid,
    kAtomCount,
};

const char* const kAtomNames[kAtomCount] = {
    "_NET_CLIENT_LIST_STACKING",
    "_NET_ACTIVE_WINDOW",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_STATE",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "WM_STATE",
    "_NET_WM_PID",
};

// The server's own bounds on what it reads, in 32-bit units.
constexpr uint32_t kMaxListItems = 4096;
constexpr uint32_t kMaxTitleLongs = 1024;
// The device's text fields hold at most this many UTF-16 units with the terminator.
constexpr size_t kUnitLimit = 400;
constexpr size_t kPathSize = 500;
constexpr uint32_t kNormalState = 1;
constexpr uint32_t kIconicState = 3;

// Per window, the requests in the order they are sent.
enum Part { kType, kStates, kOwner, kTitle, kWmStateOf, kMachine, kPidOf, kParts };

xcb_connection_t* g_connection = nullptr;
xcb_window_t g_root = 0;
xcb_atom_t g_atoms[kAtomCount] = {};
std::string g_hostName;

using Reply = xcb_get_property_reply_t*;

xcb_get_property_cookie_t Ask(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                              uint32_t longs) {
    return xcb_get_property(g_connection, 0, window, property, type, 0, longs);
}

// The reply when it has the type and format asked for; null otherwise (freed here).
Reply Take(xcb_get_property_cookie_t cookie, xcb_atom_t type, uint8_t format) {
    Reply reply = xcb_get_property_reply(g_connection, cookie, nullptr);
    if (reply && (reply->type != type || reply->format != format)) {
        free(reply);
        return nullptr;
    }
    return reply;
}

const uint32_t* Longs(Reply reply, size_t* count) {
    *count = reply ? static_cast<size_t>(xcb_get_property_value_length(reply)) / 4 : 0;
    return reply ? static_cast<const uint32_t*>(xcb_get_property_value(reply)) : nullptr;
}

bool Contains(Reply reply, xcb_atom_t a, xcb_atom_t b) {
    size_t count = 0;
    const uint32_t* items = Longs(reply, &count);
    for (size_t i = 0; i < count; ++i) {
        if (items[i] == a || items[i] == b) return true;
    }
    return false;
}

std::string Text(Reply reply) {
    if (!reply) return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply)),
                       static_cast<size_t>(xcb_get_property_value_length(reply)));
}

std::string ShortHostName(const std::string& name) {
    return name.substr(0, name.find('.'));
}

// Code points of the Windows-1252 range 0x80-0x9F; the rest of the code page is Latin-1.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The unit the server's Windows-1252 round trip leaves of a code point: itself, or '?'.
char16_t Unit(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char16_t>(c);
    return std::find(kHigh, kHigh + 32, c) != kHigh + 32 ? static_cast<char16_t>(c) : u'?';
}

// UTF-8 to those units; a byte that starts no well-formed sequence is one '?'.
std::u16string Units(const std::string& text) {
    std::u16string units;
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        size_t length = lead < 0x80             ? 1
                        : (lead & 0xE0) == 0xC0 ? 2
                        : (lead & 0xF0) == 0xE0 ? 3
                        : (lead & 0xF8) == 0xF0 ? 4
                                                : 0;
        char32_t value = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t i = 1; i < length; ++i) {
            const auto next = at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
            if ((next & 0xC0) != 0x80) length = 0;
            value = value << 6 | (next & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (length == 0 || value < least[length] || value > 0x10FFFF ||
            (value >= 0xD800 && value <= 0xDFFF)) {
            units.push_back(u'?');
            ++at;
            continue;
        }
        units.push_back(Unit(value));
        at += length;
    }
    return units;
}

constexpr char kEmptyKey[] = "-1|-2";

// "-1|-2" and "|low|high" per unit; a text too long for the field encodes as empty.
std::string Key(const std::u16string& units) {
    std::string key = kEmptyKey;
    if (units.size() >= kUnitLimit) return key;
    for (const char16_t unit : units) {
        key += '|';
        key += std::to_string(unit & 0xFF);
        key += '|';
        key += std::to_string(unit >> 8);
    }
    return key;
}

std::u16string WithNumber(std::u16string units, int n) {
    for (const char c : " (" + std::to_string(n) + ")") units.push_back(static_cast<char16_t>(c));
    return units;
}

// The title's key, numbered " (2)", " (3)"... when taken; false when no key is free.
bool FreeKey(const std::map<std::string, xcb_window_t>& keys, const std::string& title,
             std::string* key) {
    const std::u16string units = Units(title.substr(0, title.find('\0')));
    *key = Key(units);
    for (int number = 2; keys.count(*key); ++number) {
        // A repeated title too long to encode never gets a key of its own.
        if (*key == kEmptyKey) return false;
        *key = Key(WithNumber(units, number));
    }
    return true;
}

void ReadProgramPath(uint32_t pid) {
    char path[kPathSize];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    if (readlink(link.c_str(), path, sizeof(path) - 1) < 0) return;
}

void HandleLine(FloorServer& server, std::string_view line) {
    if (line != "656") return;
    const xcb_atom_t window = XCB_ATOM_WINDOW;
    const auto stackingCookie = Ask(g_root, g_atoms[kClientListStacking], window, kMaxListItems);
    const auto activeCookie = Ask(g_root, g_atoms[kActiveWindow], window, 1);
    Reply stacking = Take(stackingCookie, window, 32);
    size_t count = 0;
    const uint32_t* clients = Longs(stacking, &count);
    // Every window's requests are sent before the first reply is read.
    struct Asked {
        xcb_atom_t property, type;
        uint8_t format;
        uint32_t longs;
    };
    const Asked asked[kParts] = {
        {g_atoms[kWindowType], XCB_ATOM_ATOM, 32, kMaxListItems},
        {g_atoms[kState], XCB_ATOM_ATOM, 32, kMaxListItems},
        {XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1},
        {g_atoms[kName], g_atoms[kUtf8String], 8, kMaxTitleLongs},
        {g_atoms[kWmState], g_atoms[kWmState], 32, 2},
        {XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8, kMaxTitleLongs},
        {g_atoms[kPid], XCB_ATOM_CARDINAL, 32, 1},
    };
    std::vector<xcb_get_property_cookie_t> cookies(count * kParts);
    for (size_t i = 0; i < count; ++i) {
        for (int part = 0; part < kParts; ++part) {
            cookies[i * kParts + part] =
                Ask(clients[i], asked[part].property, asked[part].type, asked[part].longs);
        }
    }
    Reply activeReply = Take(activeCookie, window, 32);
    size_t activeCount = 0;
    const uint32_t* activeItems = Longs(activeReply, &activeCount);
    const xcb_window_t active = activeCount ? activeItems[0] : 0;
    free(activeReply);

    std::map<std::string, xcb_window_t> keys;
    std::set<uint32_t> processes;
    // The stacking list runs from the bottom up; the server numbers repeated titles from
    // the top down.
    std::vector<Reply> replies(kParts);
    for (size_t n = count; n-- > 0;) {
        for (int part = 0; part < kParts; ++part) {
            replies[part] = Take(cookies[n * kParts + part], asked[part].type, asked[part].format);
        }
        size_t ownerCount = 0;
        const uint32_t* owner = Longs(replies[kOwner], &ownerCount);
        size_t stateCount = 0;
        const uint32_t* wmState = Longs(replies[kWmStateOf], &stateCount);
        const uint32_t state = stateCount ? wmState[0] : 0;
        const std::string title = Text(replies[kTitle]);
        std::string key;
        if (!Contains(replies[kType], g_atoms[kTypeDock], g_atoms[kTypeDesktop]) &&
            !Contains(replies[kStates], g_atoms[kStateSkipTaskbar], g_atoms[kStateSkipTaskbar]) &&
            !(ownerCount && owner[0]) && (state == kNormalState || state == kIconicState) &&
            !title.empty() && title != "Program Manager" && FreeKey(keys, title, &key)) {
            keys.emplace(key, clients[n]);
            const std::string machine = Text(replies[kMachine]);
            size_t pidCount = 0;
            const uint32_t* pid = Longs(replies[kPidOf], &pidCount);
            if ((machine == g_hostName || ShortHostName(machine) == ShortHostName(g_hostName)) &&
                pidCount && pid[0] && processes.insert(pid[0]).second) {
                ReadProgramPath(pid[0]);
            }
        }
        for (Reply reply : replies) free(reply);
    }
    free(stacking);
    size_t index = keys.size();
    size_t position = 0;
    std::string keyText;
    for (const auto& entry : keys) {
        if (entry.second == active && index == keys.size()) index = position;
        ++position;
        keyText += ':';
        keyText += entry.first;
    }
    server.Send("124:" + std::to_string(index) + keyText + "\n");
}

}  // namespace

int main(int argc, char** argv) {
    int screen = 0;
    g_connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(g_connection)) return 3;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(g_connection));
    for (int i = 0; i < screen; ++i) xcb_screen_next(&screens);
    g_root = screens.data->root;
    // Atoms once, as the server interns them once.
    xcb_intern_atom_cookie_t cookies[kAtomCount];
    for (int i = 0; i < kAtomCount; ++i) {
        cookies[i] = xcb_intern_atom(g_connection, 0, static_cast<uint16_t>(strlen(kAtomNames[i])),
                                     kAtomNames[i]);
    }
    for (int i = 0; i < kAtomCount; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(g_connection, cookies[i], nullptr);
        if (!reply) return 3;
        g_atoms[i] = reply->atom;
        free(reply);
    }
    char host[256] = {};
    if (gethostname(host, sizeof(host) - 1) == 0) g_hostName = host;
    FloorServer server(HandleLine);
    return RunXcbFloor(argc, argv, server, g_connection);
}
