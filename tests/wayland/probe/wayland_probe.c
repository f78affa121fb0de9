/* A Wayland client for the end-to-end tests: opens toplevels and logs, one line each on
 * standard output, what the compositor sends them.
 *   tavrix-wayland-probe window TITLE APP_ID   one window that logs its input
 *   tavrix-wayland-probe crowd N               N quiet windows, "Crowd 1" to "Crowd N"
 * Lines: "ready"; "enter X Y", "motion X Y" (surface coordinates), "button CODE 1|0",
 * "discrete AXIS STEPS", "key KEYSYM-NAME 1|0 HEX-UTF8" (what the received keymap and
 * modifiers make of the key), "close". It ends on its toplevel's close or when standard
 * input closes. */
#define _GNU_SOURCE
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "xdg-shell-client-protocol.h"

#define MAX_WINDOWS 256

struct window {
    struct wl_surface* surface;
    struct xdg_surface* xdg;
    struct xdg_toplevel* toplevel;
    struct wl_buffer* buffer;
    int configured;
};

static struct wl_compositor* compositor;
static struct wl_shm* shm;
static struct xdg_wm_base* wm_base;
static struct wl_seat* seat;
static struct xkb_context* xkb;
static struct xkb_keymap* keymap;
static struct xkb_state* state;
static struct window windows[MAX_WINDOWS];
static int window_count;
static int closed;
static int width = 640, height = 480;

static struct wl_buffer* white_buffer(int w, int h) {
    const int stride = w * 4;
    const size_t size = (size_t)stride * (size_t)h;
    const int fd = memfd_create("probe", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, (off_t)size) != 0) exit(2);
    void* data = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) exit(2);
    memset(data, 0xff, size);
    munmap(data, size);
    struct wl_shm_pool* pool = wl_shm_create_pool(shm, fd, (int32_t)size);
    struct wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool, 0, w, h, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

static void wm_ping(void* data, struct xdg_wm_base* base, uint32_t serial) {
    (void)data;
    xdg_wm_base_pong(base, serial);
}
static const struct xdg_wm_base_listener wm_listener = {wm_ping};

static void xdg_configure(void* data, struct xdg_surface* xdg, uint32_t serial) {
    struct window* window = data;
    xdg_surface_ack_configure(xdg, serial);
    if (window->buffer) wl_buffer_destroy(window->buffer);
    window->buffer = white_buffer(width, height);
    wl_surface_attach(window->surface, window->buffer, 0, 0);
    wl_surface_damage(window->surface, 0, 0, width, height);
    wl_surface_commit(window->surface);
    window->configured = 1;
}
static const struct xdg_surface_listener xdg_listener = {xdg_configure};

static void top_configure(void* data, struct xdg_toplevel* top, int32_t w, int32_t h,
                          struct wl_array* states) {
    (void)data, (void)top, (void)states;
    if (w > 0 && h > 0) width = w, height = h;
}
static void top_close(void* data, struct xdg_toplevel* top) {
    (void)data, (void)top;
    printf("close\n");
    closed = 1;
}
static void top_bounds(void* data, struct xdg_toplevel* top, int32_t w, int32_t h) {
    (void)data, (void)top, (void)w, (void)h;
}
static void top_capabilities(void* data, struct xdg_toplevel* top, struct wl_array* caps) {
    (void)data, (void)top, (void)caps;
}
static const struct xdg_toplevel_listener top_listener = {top_configure, top_close, top_bounds,
                                                          top_capabilities};

static void p_enter(void* d, struct wl_pointer* p, uint32_t s, struct wl_surface* f,
                    wl_fixed_t x, wl_fixed_t y) {
    (void)d, (void)p, (void)s, (void)f;
    printf("enter %d %d\n", wl_fixed_to_int(x), wl_fixed_to_int(y));
}
static void p_leave(void* d, struct wl_pointer* p, uint32_t s, struct wl_surface* f) {
    (void)d, (void)p, (void)s, (void)f;
}
static void p_motion(void* d, struct wl_pointer* p, uint32_t t, wl_fixed_t x, wl_fixed_t y) {
    (void)d, (void)p, (void)t;
    printf("motion %d %d\n", wl_fixed_to_int(x), wl_fixed_to_int(y));
}
static void p_button(void* d, struct wl_pointer* p, uint32_t s, uint32_t t, uint32_t b,
                     uint32_t st) {
    (void)d, (void)p, (void)s, (void)t;
    printf("button %u %u\n", b, st);
}
static void p_axis(void* d, struct wl_pointer* p, uint32_t t, uint32_t a, wl_fixed_t v) {
    (void)d, (void)p, (void)t, (void)a, (void)v;
}
static void p_frame(void* d, struct wl_pointer* p) { (void)d, (void)p; }
static void p_source(void* d, struct wl_pointer* p, uint32_t s) { (void)d, (void)p, (void)s; }
static void p_stop(void* d, struct wl_pointer* p, uint32_t t, uint32_t a) {
    (void)d, (void)p, (void)t, (void)a;
}
static void p_discrete(void* d, struct wl_pointer* p, uint32_t a, int32_t n) {
    (void)d, (void)p;
    printf("discrete %u %d\n", a, n);
}
static void p_value120(void* d, struct wl_pointer* p, uint32_t a, int32_t v) {
    (void)d, (void)p, (void)a, (void)v;
}
static const struct wl_pointer_listener pointer_listener = {
    p_enter, p_leave, p_motion, p_button, p_axis, p_frame, p_source, p_stop, p_discrete,
    p_value120};

static void k_keymap(void* d, struct wl_keyboard* k, uint32_t format, int32_t fd, uint32_t size) {
    (void)d, (void)k;
    char* text = mmap(NULL, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || text == MAP_FAILED) return;
    struct xkb_keymap* next = xkb_keymap_new_from_buffer(xkb, text, strnlen(text, size),
                                                         XKB_KEYMAP_FORMAT_TEXT_V1, 0);
    munmap(text, size);
    if (!next) return;
    if (state) xkb_state_unref(state);
    if (keymap) xkb_keymap_unref(keymap);
    keymap = next;
    state = xkb_state_new(keymap);
}
static void k_enter(void* d, struct wl_keyboard* k, uint32_t s, struct wl_surface* f,
                    struct wl_array* keys) {
    (void)d, (void)k, (void)s, (void)f, (void)keys;
    printf("focus\n");
}
static void k_leave(void* d, struct wl_keyboard* k, uint32_t s, struct wl_surface* f) {
    (void)d, (void)k, (void)s, (void)f;
}
static void k_key(void* d, struct wl_keyboard* k, uint32_t s, uint32_t t, uint32_t key,
                  uint32_t st) {
    (void)d, (void)k, (void)s, (void)t;
    if (!state) return;
    const xkb_keycode_t code = key + 8;
    char name[64] = "none";
    xkb_keysym_get_name(xkb_state_key_get_one_sym(state, code), name, sizeof name);
    char text[64] = "";
    xkb_state_key_get_utf8(state, code, text, sizeof text);
    printf("key %s %u ", name, st);
    for (const char* c = text; *c; ++c) printf("%02x", (unsigned char)*c);
    printf("%s\n", text[0] ? "" : "-");
}
static void k_modifiers(void* d, struct wl_keyboard* k, uint32_t s, uint32_t dep, uint32_t lat,
                        uint32_t lock, uint32_t group) {
    (void)d, (void)k, (void)s;
    if (state) xkb_state_update_mask(state, dep, lat, lock, 0, 0, group);
}
static void k_repeat(void* d, struct wl_keyboard* k, int32_t r, int32_t delay) {
    (void)d, (void)k, (void)r, (void)delay;
}
static const struct wl_keyboard_listener keyboard_listener = {k_keymap, k_enter,     k_leave,
                                                              k_key,    k_modifiers, k_repeat};

static struct wl_pointer* pointer;
static struct wl_keyboard* keyboard;
static int log_input;

static void seat_caps(void* d, struct wl_seat* s, uint32_t caps) {
    (void)d;
    if (!log_input) return;
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && !pointer) {
        pointer = wl_seat_get_pointer(s);
        wl_pointer_add_listener(pointer, &pointer_listener, NULL);
    }
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !keyboard) {
        keyboard = wl_seat_get_keyboard(s);
        wl_keyboard_add_listener(keyboard, &keyboard_listener, NULL);
    }
}
static void seat_name(void* d, struct wl_seat* s, const char* n) { (void)d, (void)s, (void)n; }
static const struct wl_seat_listener seat_listener = {seat_caps, seat_name};

static void global(void* d, struct wl_registry* r, uint32_t name, const char* iface, uint32_t v) {
    (void)d;
    if (!strcmp(iface, wl_compositor_interface.name))
        compositor = wl_registry_bind(r, name, &wl_compositor_interface, 4);
    else if (!strcmp(iface, wl_shm_interface.name))
        shm = wl_registry_bind(r, name, &wl_shm_interface, 1);
    else if (!strcmp(iface, xdg_wm_base_interface.name))
        wm_base = wl_registry_bind(r, name, &xdg_wm_base_interface, 1);
    else if (!strcmp(iface, wl_seat_interface.name) && !seat) {
        seat = wl_registry_bind(r, name, &wl_seat_interface, v < 5 ? v : 5);
        wl_seat_add_listener(seat, &seat_listener, NULL);
    }
}
static void global_remove(void* d, struct wl_registry* r, uint32_t name) {
    (void)d, (void)r, (void)name;
}
static const struct wl_registry_listener registry_listener = {global, global_remove};

static void open_window(const char* title, const char* app_id) {
    struct window* window = &windows[window_count++];
    window->surface = wl_compositor_create_surface(compositor);
    window->xdg = xdg_wm_base_get_xdg_surface(wm_base, window->surface);
    xdg_surface_add_listener(window->xdg, &xdg_listener, window);
    window->toplevel = xdg_surface_get_toplevel(window->xdg);
    xdg_toplevel_add_listener(window->toplevel, &top_listener, window);
    xdg_toplevel_set_title(window->toplevel, title);
    xdg_toplevel_set_app_id(window->toplevel, app_id);
    wl_surface_commit(window->surface);
}

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IOLBF, 0);
    const int crowd = argc == 3 && !strcmp(argv[1], "crowd");
    if (!(argc == 4 && !strcmp(argv[1], "window")) && !crowd) {
        fprintf(stderr, "usage: %s window TITLE APP_ID | crowd N\n", argv[0]);
        return 2;
    }
    log_input = !crowd;
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) return 1;
    xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!compositor || !shm || !wm_base) return 1;
    xdg_wm_base_add_listener(wm_base, &wm_listener, NULL);
    if (crowd) {
        const int count = atoi(argv[2]);
        for (int i = 1; i <= count && i <= MAX_WINDOWS; ++i) {
            char title[32];
            snprintf(title, sizeof title, "Crowd %d", i);
            open_window(title, "tavrix.crowd");
        }
    } else {
        open_window(argv[2], argv[3]);
    }
    int ready = 0;
    struct pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {0, POLLIN, 0}};
    while (!closed) {
        if (!ready) {
            int all = 1;
            for (int i = 0; i < window_count; ++i) all &= windows[i].configured;
            if (all) {
                ready = 1;
                printf("ready\n");
            }
        }
        wl_display_flush(display);
        if (poll(fds, 2, -1) < 0) break;
        if (fds[1].revents) break; /* standard input closed: the test is done with it */
        if (fds[0].revents & POLLIN) {
            if (wl_display_dispatch(display) < 0) break;
        } else if (fds[0].revents) {
            break;
        }
    }
    wl_display_disconnect(display);
    return 0;
}
