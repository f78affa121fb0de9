#pragma once
#include <glib.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Geometry.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_output;
struct wl_keyboard;
struct zwlr_virtual_pointer_manager_v1;
struct zwp_virtual_keyboard_manager_v1;
struct zwlr_foreign_toplevel_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

// One connection to the Wayland compositor ($WAYLAND_DISPLAY): the globals this server uses,
// the outputs' extent and the seat's keymap, with the compositor's events read from the GLib
// main loop. Requests may come from any thread (libwayland locks the connection); each
// sender flushes.
class CWaylandSession {
public:
    CWaylandSession();
    ~CWaylandSession();
    CWaylandSession(const CWaylandSession&) = delete;
    CWaylandSession& operator=(const CWaylandSession&) = delete;

    bool Connected() const { return m_display != nullptr; }
    wl_display* Display() const { return m_display; }
    wl_seat* Seat() const { return m_seat; }
    zwlr_virtual_pointer_manager_v1* PointerManager() const { return m_pointerManager; }
    zwp_virtual_keyboard_manager_v1* KeyboardManager() const { return m_keyboardManager; }
    bool HasToplevelManager() const { return m_toplevelGlobal != 0; }
    // Binds the foreign toplevel list: the compositor announces every open toplevel right
    // away, so the caller adds its listener before the next dispatch. Null when not offered.
    zwlr_foreign_toplevel_manager_v1* BindToplevelManager();
    // The virtual pointer manager's version: 2 can tie a pointer to an output.
    uint32_t PointerManagerVersion() const { return m_pointerManagerVersion; }

    // The bounding box of the outputs in the compositor's layout (logical pixels, as
    // xdg-output tells them, else each mode over its scale); empty before any output told
    // its size. Any thread.
    ScreenRect Extent() const;
    // The text of the keymap the seat's keyboard announced at start; empty when the seat has
    // no keyboard (a headless compositor).
    const std::string& SeatKeymap() const { return m_seatKeymap; }

    // Sends what is queued, waiting a while for a compositor slow to read; false when it
    // could not all go. A compositor that stopped reading is waited for once, not at every
    // request; one whose connection failed is reported lost. Any thread.
    bool Flush();
    // Waits for the compositor to answer everything sent so far (start-up only).
    bool Roundtrip();

    // Called from the main loop when the connection is lost.
    void OnLost(std::function<void()> lost) { m_onLost = std::move(lost); }

    struct Output {
        wl_output* output = nullptr;
        zxdg_output_v1* xdgOutput = nullptr;
        uint32_t name = 0;
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        int scale = 1;
        // Turned a quarter or three: the mode's width is the layout's height.
        bool sideways = false;
        // The layout's own box, where xdg-output told it (a fractional scale included).
        bool logical = false;
        int logicalX = 0;
        int logicalY = 0;
        int logicalWidth = 0;
        int logicalHeight = 0;
    };

private:
    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version);
    static void OnGlobalRemove(void* data, wl_registry* registry, uint32_t name);
    static gboolean OnReadable(gint fd, GIOCondition condition, gpointer data);
    static gboolean OnFailed(gpointer data);
    // Tells m_onLost, once.
    void Lose();
    void ReadSeatKeymap();
    // Asks xdg-output for the output's logical box; with m_outputsLock held.
    void WatchLogicalBox(Output& output);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwlr_virtual_pointer_manager_v1* m_pointerManager = nullptr;
    uint32_t m_pointerManagerVersion = 0;
    zwp_virtual_keyboard_manager_v1* m_keyboardManager = nullptr;
    zxdg_output_manager_v1* m_xdgOutputManager = nullptr;
    uint32_t m_toplevelGlobal = 0;
    uint32_t m_toplevelVersion = 0;
    // Written by the main loop's listeners, read by Extent from any thread.
    mutable std::mutex m_outputsLock;
    std::vector<Output> m_outputs;
    // The last flush found no room in time.
    std::atomic<bool> m_stalled{false};
    // A flush found the connection failed; the main loop is told once.
    std::atomic<bool> m_failed{false};
    guint m_failure = 0;
    bool m_lostTold = false;
    uint32_t m_seatCapabilities = 0;
    std::string m_seatKeymap;
    guint m_source = 0;
    std::function<void()> m_onLost;

    friend struct WaylandSessionListeners;
};
