#include "platform/wayland/WaylandSession.h"

#include <glib-unix.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "virtual-keyboard-unstable-v1-client.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"
#include "wlr-virtual-pointer-unstable-v1-client.h"
#include "xdg-output-unstable-v1-client.h"

namespace {

// The highest versions of each global this code speaks.
constexpr uint32_t kSeatVersion = 5;
constexpr uint32_t kOutputVersion = 2;
constexpr uint32_t kPointerManagerVersion = 2;
// Version 3 adds the parent event, which the window list has no use for.
constexpr uint32_t kToplevelManagerVersion = 2;
// Version 2 has every event this code reads.
constexpr uint32_t kXdgOutputManagerVersion = 2;
// How long a flush waits for the compositor to make room, in steps: 5 s in all.
constexpr int kFlushWaitMs = 100;
constexpr int kFlushWaits = 50;
// A keymap larger than this is not a keyboard layout.
constexpr uint32_t kMaxKeymapBytes = 4u << 20;

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered,
        uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

}  // namespace

struct WaylandSessionListeners {
    static void OutputGeometry(void* data, wl_output* output, int32_t x, int32_t y, int32_t,
                               int32_t, int32_t, const char*, const char*, int32_t transform) {
        auto* session = static_cast<CWaylandSession*>(data);
        const std::lock_guard<std::mutex> lock(session->m_outputsLock);
        for (auto& known : session->m_outputs) {
            if (known.output != output) continue;
            known.x = x;
            known.y = y;
            // 90 and 270 degrees, flipped or not, are the odd transforms.
            known.sideways = (transform & 1) != 0;
        }
    }
    template <typename Change>
    static void ChangeLogical(void* data, zxdg_output_v1* xdgOutput, Change change) {
        auto* session = static_cast<CWaylandSession*>(data);
        const std::lock_guard<std::mutex> lock(session->m_outputsLock);
        for (auto& known : session->m_outputs) {
            if (known.xdgOutput == xdgOutput) change(known);
        }
    }
    static void LogicalPosition(void* data, zxdg_output_v1* xdgOutput, int32_t x, int32_t y) {
        ChangeLogical(data, xdgOutput, [x, y](CWaylandSession::Output& known) {
            known.logicalX = x;
            known.logicalY = y;
        });
    }
    static void LogicalSize(void* data, zxdg_output_v1* xdgOutput, int32_t width, int32_t height) {
        ChangeLogical(data, xdgOutput, [width, height](CWaylandSession::Output& known) {
            known.logicalWidth = width;
            known.logicalHeight = height;
            known.logical = width > 0 && height > 0;
        });
    }
    static void LogicalDone(void*, zxdg_output_v1*) {}
    static void LogicalText(void*, zxdg_output_v1*, const char*) {}
    static void OutputMode(void* data, wl_output* output, uint32_t flags, int32_t width,
                           int32_t height, int32_t) {
        if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
        auto* session = static_cast<CWaylandSession*>(data);
        const std::lock_guard<std::mutex> lock(session->m_outputsLock);
        for (auto& known : session->m_outputs) {
            if (known.output != output) continue;
            known.width = width;
            known.height = height;
        }
    }
    static void OutputDone(void*, wl_output*) {}
    static void OutputText(void*, wl_output*, const char*) {}
    static void OutputScale(void* data, wl_output* output, int32_t factor) {
        auto* session = static_cast<CWaylandSession*>(data);
        const std::lock_guard<std::mutex> lock(session->m_outputsLock);
        for (auto& known : session->m_outputs) {
            if (known.output == output && factor > 0) known.scale = factor;
        }
    }
    static void SeatCapabilities(void* data, wl_seat*, uint32_t capabilities) {
        static_cast<CWaylandSession*>(data)->m_seatCapabilities = capabilities;
    }
    static void SeatName(void*, wl_seat*, const char*) {}

    static void KeyboardKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd,
                               uint32_t size) {
        auto* session = static_cast<CWaylandSession*>(data);
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0 && size <= kMaxKeymapBytes) {
            void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED) {
                const char* text = static_cast<const char*>(map);
                session->m_seatKeymap.assign(text, strnlen(text, size));
                munmap(map, size);
            }
        }
        close(fd);
    }
    static void KeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
    static void KeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
    static void KeyboardKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void KeyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t,
                                  uint32_t) {}
    static void KeyboardRepeat(void*, wl_keyboard*, int32_t, int32_t) {}
};

namespace {

const wl_output_listener kOutputListener = {
    WaylandSessionListeners::OutputGeometry, WaylandSessionListeners::OutputMode,
    WaylandSessionListeners::OutputDone,     WaylandSessionListeners::OutputScale,
    WaylandSessionListeners::OutputText,     WaylandSessionListeners::OutputText,
};
const zxdg_output_v1_listener kXdgOutputListener = {
    WaylandSessionListeners::LogicalPosition, WaylandSessionListeners::LogicalSize,
    WaylandSessionListeners::LogicalDone,     WaylandSessionListeners::LogicalText,
    WaylandSessionListeners::LogicalText,
};
const wl_seat_listener kSeatListener = {
    WaylandSessionListeners::SeatCapabilities,
    WaylandSessionListeners::SeatName,
};
const wl_keyboard_listener kKeyboardListener = {
    WaylandSessionListeners::KeyboardKeymap,    WaylandSessionListeners::KeyboardEnter,
    WaylandSessionListeners::KeyboardLeave,     WaylandSessionListeners::KeyboardKey,
    WaylandSessionListeners::KeyboardModifiers, WaylandSessionListeners::KeyboardRepeat,
};

}  // namespace

CWaylandSession::CWaylandSession() {
    m_display = wl_display_connect(nullptr);
    if (!m_display) return;
    m_registry = wl_display_get_registry(m_display);
    static const wl_registry_listener listener = {OnGlobal, OnGlobalRemove};
    wl_registry_add_listener(m_registry, &listener, this);
    // The globals, then what the seat and the outputs say about themselves.
    if (!Roundtrip() || !Roundtrip()) {
        wl_registry_destroy(m_registry);
        wl_display_disconnect(m_display);
        m_registry = nullptr;
        m_display = nullptr;
        return;
    }
    ReadSeatKeymap();
    m_source = g_unix_fd_add(wl_display_get_fd(m_display), G_IO_IN, OnReadable, this);
}

CWaylandSession::~CWaylandSession() {
    if (!m_display) return;
    if (m_source != 0) g_source_remove(m_source);
    if (m_failure != 0) g_source_remove(m_failure);
    for (const Output& output : m_outputs) {
        if (output.xdgOutput) zxdg_output_v1_destroy(output.xdgOutput);
        wl_output_destroy(output.output);
    }
    if (m_xdgOutputManager) zxdg_output_manager_v1_destroy(m_xdgOutputManager);
    if (m_pointerManager) zwlr_virtual_pointer_manager_v1_destroy(m_pointerManager);
    if (m_keyboardManager) zwp_virtual_keyboard_manager_v1_destroy(m_keyboardManager);
    if (m_seat) wl_seat_destroy(m_seat);
    wl_registry_destroy(m_registry);
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

void CWaylandSession::OnGlobal(void* data, wl_registry* registry, uint32_t name,
                               const char* interface, uint32_t version) {
    auto* self = static_cast<CWaylandSession*>(data);
    const std::string kind = interface;
    if (kind == wl_seat_interface.name && !self->m_seat) {
        self->m_seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, kSeatVersion);
        wl_seat_add_listener(self->m_seat, &kSeatListener, self);
    } else if (kind == wl_output_interface.name) {
        Output output;
        output.name = name;
        output.output =
            Bind<wl_output>(registry, name, &wl_output_interface, version, kOutputVersion);
        wl_output_add_listener(output.output, &kOutputListener, self);
        const std::lock_guard<std::mutex> lock(self->m_outputsLock);
        self->m_outputs.push_back(output);
        self->WatchLogicalBox(self->m_outputs.back());
    } else if (kind == zxdg_output_manager_v1_interface.name && !self->m_xdgOutputManager) {
        self->m_xdgOutputManager = Bind<zxdg_output_manager_v1>(
            registry, name, &zxdg_output_manager_v1_interface, version, kXdgOutputManagerVersion);
        // The outputs announced before it.
        const std::lock_guard<std::mutex> lock(self->m_outputsLock);
        for (Output& known : self->m_outputs) self->WatchLogicalBox(known);
    } else if (kind == zwlr_virtual_pointer_manager_v1_interface.name && !self->m_pointerManager) {
        self->m_pointerManagerVersion = std::min(version, kPointerManagerVersion);
        self->m_pointerManager = Bind<zwlr_virtual_pointer_manager_v1>(
            registry, name, &zwlr_virtual_pointer_manager_v1_interface, version,
            kPointerManagerVersion);
    } else if (kind == zwp_virtual_keyboard_manager_v1_interface.name && !self->m_keyboardManager) {
        self->m_keyboardManager = Bind<zwp_virtual_keyboard_manager_v1>(
            registry, name, &zwp_virtual_keyboard_manager_v1_interface, version, 1);
    } else if (kind == zwlr_foreign_toplevel_manager_v1_interface.name &&
               self->m_toplevelGlobal == 0) {
        self->m_toplevelGlobal = name;
        self->m_toplevelVersion = version;
    }
}

void CWaylandSession::OnGlobalRemove(void* data, wl_registry*, uint32_t name) {
    auto* self = static_cast<CWaylandSession*>(data);
    const std::lock_guard<std::mutex> lock(self->m_outputsLock);
    const auto gone = std::find_if(self->m_outputs.begin(), self->m_outputs.end(),
                                   [name](const Output& output) { return output.name == name; });
    if (gone == self->m_outputs.end()) return;
    if (gone->xdgOutput) zxdg_output_v1_destroy(gone->xdgOutput);
    wl_output_destroy(gone->output);
    self->m_outputs.erase(gone);
}

void CWaylandSession::ReadSeatKeymap() {
    if (!m_seat || !(m_seatCapabilities & WL_SEAT_CAPABILITY_KEYBOARD)) return;
    wl_keyboard* keyboard = wl_seat_get_keyboard(m_seat);
    wl_keyboard_add_listener(keyboard, &kKeyboardListener, this);
    Roundtrip();
    if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
        wl_keyboard_release(keyboard);
    } else {
        wl_keyboard_destroy(keyboard);
    }
}

void CWaylandSession::WatchLogicalBox(Output& output) {
    if (!m_xdgOutputManager || output.xdgOutput) return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputManager, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, this);
}

zwlr_foreign_toplevel_manager_v1* CWaylandSession::BindToplevelManager() {
    if (m_toplevelGlobal == 0) return nullptr;
    return Bind<zwlr_foreign_toplevel_manager_v1>(m_registry, m_toplevelGlobal,
                                                  &zwlr_foreign_toplevel_manager_v1_interface,
                                                  m_toplevelVersion, kToplevelManagerVersion);
}

ScreenRect CWaylandSession::Extent() const {
    const std::lock_guard<std::mutex> lock(m_outputsLock);
    ScreenRect extent;
    bool any = false;
    for (const Output& output : m_outputs) {
        ScreenRect box{output.logicalX, output.logicalY, output.logicalX + output.logicalWidth,
                       output.logicalY + output.logicalHeight};
        if (!output.logical) {
            if (output.width <= 0 || output.height <= 0) continue;
            const int across = (output.sideways ? output.height : output.width) / output.scale;
            const int down = (output.sideways ? output.width : output.height) / output.scale;
            box = ScreenRect{output.x, output.y, output.x + across, output.y + down};
        }
        if (!any) {
            extent = box;
            any = true;
            continue;
        }
        extent.left = std::min(extent.left, box.left);
        extent.top = std::min(extent.top, box.top);
        extent.right = std::max(extent.right, box.right);
        extent.bottom = std::max(extent.bottom, box.bottom);
    }
    return extent;
}

bool CWaylandSession::Flush() {
    if (!m_display) return false;
    // The compositor reads at its own pace. When the socket is full, wait for room: what
    // stays queued fills libwayland's own buffer, and a request that finds that full ends
    // the connection. A compositor that let the last wait pass is not waited for again until
    // it reads.
    const int waits = m_stalled ? 0 : kFlushWaits;
    for (int wait = 0;; ++wait) {
        if (wl_display_get_error(m_display) != 0) break;
        if (wl_display_flush(m_display) >= 0) {
            m_stalled = false;
            return true;
        }
        if (errno != EAGAIN) break;
        if (wait >= waits) {
            m_stalled = true;
            return false;
        }
        pollfd room{wl_display_get_fd(m_display), POLLOUT, 0};
        poll(&room, 1, kFlushWaitMs);
    }
    // The main loop, which nothing wakes for a compositor that stopped reading, is told.
    if (!m_failed.exchange(true)) m_failure = g_idle_add(OnFailed, this);
    return false;
}

gboolean CWaylandSession::OnFailed(gpointer data) {
    auto* self = static_cast<CWaylandSession*>(data);
    self->m_failure = 0;
    if (self->m_source != 0) g_source_remove(self->m_source);
    self->m_source = 0;
    self->Lose();
    return G_SOURCE_REMOVE;
}

void CWaylandSession::Lose() {
    if (m_lostTold) return;
    m_lostTold = true;
    if (m_onLost) m_onLost();
}

bool CWaylandSession::Roundtrip() {
    return m_display && wl_display_roundtrip(m_display) >= 0;
}

gboolean CWaylandSession::OnReadable(gint, GIOCondition condition, gpointer data) {
    auto* self = static_cast<CWaylandSession*>(data);
    const bool failed =
        (condition & (G_IO_ERR | G_IO_HUP)) != 0 || wl_display_dispatch(self->m_display) < 0;
    if (!failed) {
        wl_display_flush(self->m_display);
        return G_SOURCE_CONTINUE;
    }
    self->m_source = 0;
    self->Lose();
    return G_SOURCE_REMOVE;
}
