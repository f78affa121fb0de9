/* The probe X client of the native end-to-end tests. "window" opens a window that logs the
 * key and button events it gets and carries the EWMH properties the server reads; the other
 * commands read or change the desktop from outside the server. Every command ends by itself
 * or on SIGTERM. */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#define ICON_SIZE 32
/* A window waits this long for the window manager to take it. */
#define MANAGE_TIMEOUT_MS 10000
#define REMAP_INTERVAL_MS 1000

static volatile sig_atomic_t g_stop = 0;

static void on_signal(int number) {
    (void)number;
    g_stop = 1;
}

static int ignore_errors(Display* display, XErrorEvent* event) {
    (void)display;
    (void)event;
    return 0;
}

static Display* open_display(void) {
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "probe: no display\n");
        exit(2);
    }
    XSetErrorHandler(ignore_errors);
    return display;
}

static Atom atom(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

/* Format-32 items of a property, at most max; the count read. */
static unsigned long read_longs(Display* display, Window window, const char* name, Atom type,
                                unsigned long* out, unsigned long max) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = NULL;
    if (XGetWindowProperty(display, window, atom(display, name), 0, (long)max, False, type, &actual,
                           &format, &count, &after, &data) != Success) {
        return 0;
    }
    if (!data || actual != type || format != 32) count = 0;
    if (count > max) count = max;
    for (unsigned long i = 0; i < count; ++i) out[i] = ((unsigned long*)data)[i];
    if (data) XFree(data);
    return count;
}

static void print_hex(FILE* out, const unsigned char* bytes, size_t length) {
    if (length == 0) fputc('-', out);
    for (size_t i = 0; i < length; ++i) fprintf(out, "%02x", bytes[i]);
}

static long now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

/* ---- the logging window ---- */

struct options {
    const char* title;
    int x, y, width, height;
    const char* log;
    const char* type;
    const char* machine;
    long pid;
    int icon; /* 0: none, 1: 16, 32 and 48, 64: one entry of 64 */
    int skip_taskbar;
    int no_delete;
    Window transient_for;
};

/* The icon's known pattern at 32 by 32: opaque red on the left half, opaque blue on the
 * right one, a green top row, and a transparent bottom row. */
static unsigned long pattern_pixel(int x, int y) {
    if (y == ICON_SIZE - 1) return 0x00000000ul;
    if (y == 0) return 0xFF00FF00ul;
    return x < ICON_SIZE / 2 ? 0xFFFF0000ul : 0xFF0000FFul;
}

static unsigned long* append_entry(unsigned long* at, int size, int scale) {
    *at++ = (unsigned long)size;
    *at++ = (unsigned long)size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            /* Sizes other than 32 and 64 are a plain grey, never the one to pick. */
            *at++ = scale ? pattern_pixel(x / scale, y / scale) : 0xFF808080ul;
        }
    }
    return at;
}

static void set_icon(Display* display, Window window, int kind) {
    static unsigned long values[2 * 3 + 16 * 16 + 32 * 32 + 64 * 64];
    unsigned long* end = values;
    if (kind == 64) {
        end = append_entry(end, 64, 2);
    } else {
        end = append_entry(end, 16, 0);
        end = append_entry(end, ICON_SIZE, 1);
        end = append_entry(end, 48, 0);
    }
    XChangeProperty(display, window, atom(display, "_NET_WM_ICON"), XA_CARDINAL, 32,
                    PropModeReplace, (unsigned char*)values, (int)(end - values));
}

static void set_properties(Display* display, Window window, const struct options* o) {
    Atom utf8 = atom(display, "UTF8_STRING");
    XChangeProperty(display, window, atom(display, "_NET_WM_NAME"), utf8, 8, PropModeReplace,
                    (const unsigned char*)o->title, (int)strlen(o->title));
    XStoreName(display, window, "probe");
    char host[256] = "";
    gethostname(host, sizeof(host) - 1);
    const char* machine = o->machine ? o->machine : host;
    XChangeProperty(display, window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    (const unsigned char*)machine, (int)strlen(machine));
    long pid = o->pid ? o->pid : (long)getpid();
    XChangeProperty(display, window, atom(display, "_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    (unsigned char*)&pid, 1);
    XSizeHints hints;
    memset(&hints, 0, sizeof(hints));
    hints.flags = USPosition | USSize;
    hints.x = o->x;
    hints.y = o->y;
    hints.width = o->width;
    hints.height = o->height;
    XSetWMNormalHints(display, window, &hints);
    if (!o->no_delete) {
        Atom protocols = atom(display, "WM_DELETE_WINDOW");
        XSetWMProtocols(display, window, &protocols, 1);
    }
    if (o->type) {
        char name[64];
        snprintf(name, sizeof(name), "_NET_WM_WINDOW_TYPE_%s", o->type);
        Atom type = atom(display, name);
        XChangeProperty(display, window, atom(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32,
                        PropModeReplace, (unsigned char*)&type, 1);
    }
    if (o->skip_taskbar) {
        Atom state = atom(display, "_NET_WM_STATE_SKIP_TASKBAR");
        XChangeProperty(display, window, atom(display, "_NET_WM_STATE"), XA_ATOM, 32,
                        PropModeReplace, (unsigned char*)&state, 1);
    }
    if (o->transient_for) XSetTransientForHint(display, window, o->transient_for);
    if (o->icon) set_icon(display, window, o->icon);
}

static const char* button_name(unsigned int button) {
    static char number[16];
    snprintf(number, sizeof(number), "%u", button);
    return number;
}

static void log_key(FILE* log, XIC ic, XKeyEvent* event) {
    char text[64];
    KeySym keysym = NoSymbol;
    int length = 0;
    if (event->type == KeyPress) {
        Status status = 0;
        length = ic ? Xutf8LookupString(ic, event, text, sizeof(text), &keysym, &status)
                    : XLookupString(event, text, sizeof(text), &keysym, NULL);
        if (length < 0 || length > (int)sizeof(text)) length = 0;
    } else {
        XLookupString(event, text, sizeof(text), &keysym, NULL);
        length = 0;
    }
    const char* name = keysym != NoSymbol ? XKeysymToString(keysym) : NULL;
    fprintf(log, "%s %u %s ", event->type == KeyPress ? "keydown" : "keyup", event->keycode,
            name ? name : "NoSymbol");
    print_hex(log, (const unsigned char*)text, (size_t)length);
    fputc('\n', log);
}

/* Waits for the window manager to take the window (it gives it WM_STATE). A map request
 * that comes while the window manager is still starting can go unanswered, so an unmanaged
 * window is withdrawn and mapped again now and then. */
static int wait_managed(Display* display, Window window) {
    long start = now_ms();
    long next_map = start + REMAP_INTERVAL_MS;
    Atom wm_state = atom(display, "WM_STATE");
    while (now_ms() < start + MANAGE_TIMEOUT_MS && !g_stop) {
        unsigned long state[2];
        if (read_longs(display, window, "WM_STATE", wm_state, state, 2) > 0) return 1;
        if (now_ms() >= next_map) {
            XWithdrawWindow(display, window, DefaultScreen(display));
            XMapWindow(display, window);
            XSync(display, False);
            next_map = now_ms() + REMAP_INTERVAL_MS;
        }
        struct timespec pause = {0, 5 * 1000000L};
        nanosleep(&pause, NULL);
    }
    return 0;
}

static int run_window(const struct options* o) {
    Display* display = open_display();
    FILE* log = stdout;
    if (o->log) {
        log = fopen(o->log, "a");
        if (!log) {
            perror(o->log);
            return 2;
        }
    }
    setvbuf(log, NULL, _IOLBF, 0);
    int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), o->x, o->y,
                                        (unsigned)o->width, (unsigned)o->height, 0,
                                        BlackPixel(display, screen), WhitePixel(display, screen));
    set_properties(display, window, o);
    XSelectInput(display, window,
                 KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                     StructureNotifyMask | FocusChangeMask);
    XIM im = XOpenIM(display, NULL, NULL, NULL);
    XIC ic = im ? XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                            window, XNFocusWindow, window, NULL)
                : NULL;
    XMapWindow(display, window);
    XSync(display, False);
    if (!wait_managed(display, window)) {
        fprintf(stderr, "probe: the window manager did not take the window\n");
        return 3;
    }
    printf("ready %lu\n", window);
    fflush(stdout);
    Atom protocols = atom(display, "WM_PROTOCOLS");
    Atom delete_window = atom(display, "WM_DELETE_WINDOW");
    struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
    while (!g_stop) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (XFilterEvent(&event, None)) continue;
            switch (event.type) {
                case KeyPress:
                case KeyRelease:
                    log_key(log, ic, &event.xkey);
                    break;
                case ButtonPress:
                case ButtonRelease:
                    fprintf(log, "%s %s %d %d %d %d\n", event.type == ButtonPress ? "down" : "up",
                            button_name(event.xbutton.button), event.xbutton.x, event.xbutton.y,
                            event.xbutton.x_root, event.xbutton.y_root);
                    break;
                case MappingNotify:
                    XRefreshKeyboardMapping(&event.xmapping);
                    break;
                case FocusIn:
                    fprintf(log, "focus in\n");
                    break;
                case ClientMessage:
                    if (event.xclient.message_type == protocols &&
                        (Atom)event.xclient.data.l[0] == delete_window) {
                        fprintf(log, "close\n");
                        g_stop = 1;
                    }
                    break;
                default:
                    break;
            }
        }
        if (!g_stop) poll(&fd, 1, 200);
    }
    if (ic) XDestroyIC(ic);
    if (im) XCloseIM(im);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    if (log != stdout) fclose(log);
    return 0;
}

/* Many small windows "Crowd 1" to "Crowd N" in one process, for the timing of lists; says
 * "ready" once the window manager has taken them all. */
static int run_crowd(int count) {
    Display* display = open_display();
    int screen = DefaultScreen(display);
    Window* windows = calloc((size_t)count, sizeof(Window));
    if (!windows) return 2;
    for (int i = 0; i < count; ++i) {
        char title[32];
        snprintf(title, sizeof(title), "Crowd %d", i + 1);
        struct options o;
        memset(&o, 0, sizeof(o));
        o.title = title;
        o.x = (i % 8) * 120;
        o.y = (i / 8 % 16) * 40;
        o.width = 100;
        o.height = 20;
        windows[i] = XCreateSimpleWindow(display, RootWindow(display, screen), o.x, o.y,
                                         (unsigned)o.width, (unsigned)o.height, 0,
                                         BlackPixel(display, screen), WhitePixel(display, screen));
        set_properties(display, windows[i], &o);
        XMapWindow(display, windows[i]);
    }
    XSync(display, False);
    for (int i = 0; i < count; ++i) {
        if (!wait_managed(display, windows[i])) {
            fprintf(stderr, "probe: the window manager did not take window %d\n", i + 1);
            return 3;
        }
    }
    printf("ready\n");
    fflush(stdout);
    while (!g_stop) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
        }
        struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 200);
    }
    free(windows);
    XCloseDisplay(display);
    return 0;
}

/* ---- reading the desktop ---- */

static int print_pointer(void) {
    Display* display = open_display();
    Window root = None, child = None;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
    printf("%d %d\n", x, y);
    XCloseDisplay(display);
    return 0;
}

static const char* type_name(Display* display, Window window) {
    static char name[64];
    unsigned long type = 0;
    if (read_longs(display, window, "_NET_WM_WINDOW_TYPE", XA_ATOM, &type, 1) == 0) return "NORMAL";
    char* full = XGetAtomName(display, (Atom)type);
    const char* prefix = "_NET_WM_WINDOW_TYPE_";
    snprintf(name, sizeof(name), "%s",
             full && strncmp(full, prefix, strlen(prefix)) == 0 ? full + strlen(prefix) : "?");
    if (full) XFree(full);
    return name;
}

static int has_state(Display* display, Window window, const char* state) {
    unsigned long states[32];
    unsigned long count = read_longs(display, window, "_NET_WM_STATE", XA_ATOM, states, 32);
    Atom wanted = atom(display, state);
    for (unsigned long i = 0; i < count; ++i) {
        if (states[i] == wanted) return 1;
    }
    return 0;
}

/* One line a window: its id and what the window list filters on. */
static void print_window(Display* display, Window window) {
    unsigned long wm_state = 0;
    read_longs(display, window, "WM_STATE", atom(display, "WM_STATE"), &wm_state, 1);
    Window owner = None;
    XGetTransientForHint(display, window, &owner);
    unsigned long extents[4] = {0, 0, 0, 0};
    read_longs(display, window, "_NET_FRAME_EXTENTS", XA_CARDINAL, extents, 4);
    XWindowAttributes attributes;
    memset(&attributes, 0, sizeof(attributes));
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    printf(
        "%lu type=%s skip=%d transient=%d wmstate=%lu hidden=%d frame=%ld,%ld,%ld,%ld "
        "name=",
        window, type_name(display, window),
        has_state(display, window, "_NET_WM_STATE_SKIP_TASKBAR"), owner != None, wm_state,
        has_state(display, window, "_NET_WM_STATE_HIDDEN"), x - (long)extents[0],
        y - (long)extents[2], attributes.width + (long)extents[0] + (long)extents[1],
        attributes.height + (long)extents[2] + (long)extents[3]);
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* name = NULL;
    XGetWindowProperty(display, window, atom(display, "_NET_WM_NAME"), 0, 1024, False,
                       atom(display, "UTF8_STRING"), &actual, &format, &count, &after, &name);
    print_hex(stdout, name, name && format == 8 ? count : 0);
    if (name) XFree(name);
    putchar('\n');
}

static int print_clients(void) {
    Display* display = open_display();
    unsigned long clients[1024];
    unsigned long count = read_longs(display, DefaultRootWindow(display),
                                     "_NET_CLIENT_LIST_STACKING", XA_WINDOW, clients, 1024);
    for (unsigned long i = 0; i < count; ++i) print_window(display, clients[i]);
    XCloseDisplay(display);
    return 0;
}

static int print_active(void) {
    Display* display = open_display();
    unsigned long active = 0;
    read_longs(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW, &active, 1);
    printf("%lu\n", active);
    XCloseDisplay(display);
    return 0;
}

static int print_state(Window window) {
    Display* display = open_display();
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        printf("missing\n");
    } else {
        print_window(display, window);
    }
    XCloseDisplay(display);
    return 0;
}

/* The keysyms of every key code that has any, one key code a line. */
static int print_keymap(void) {
    Display* display = open_display();
    int min_code = 0, max_code = 0, width = 0;
    XDisplayKeycodes(display, &min_code, &max_code);
    KeySym* map = XGetKeyboardMapping(display, (KeyCode)min_code, max_code - min_code + 1, &width);
    for (int code = min_code; map && code <= max_code; ++code) {
        const KeySym* syms = map + (code - min_code) * width;
        int any = 0;
        for (int i = 0; i < width; ++i) any |= syms[i] != NoSymbol;
        if (!any) continue;
        printf("%d", code);
        for (int i = 0; i < width; ++i) printf(" 0x%lx", syms[i]);
        putchar('\n');
    }
    if (map) XFree(map);
    XCloseDisplay(display);
    return 0;
}

/* Gives a key code the keysyms named, in the core protocol's columns. */
static int set_key(int code, int count, char** names) {
    Display* display = open_display();
    KeySym syms[8];
    if (count < 1 || count > 8) return 2;
    for (int i = 0; i < count; ++i) syms[i] = XStringToKeysym(names[i]);
    XChangeKeyboardMapping(display, code, count, syms, 1);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}

static void send_to_root(Display* display, Window window, const char* message, long l0, long l1) {
    XEvent event;
    memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom(display, message);
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

static int change_window(const char* command, Window window) {
    Display* display = open_display();
    if (strcmp(command, "iconify") == 0) {
        XIconifyWindow(display, window, DefaultScreen(display));
    } else {
        send_to_root(display, window, "_NET_ACTIVE_WINDOW", 2, CurrentTime);
    }
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}

static int usage(void) {
    fprintf(
        stderr,
        "usage: probe window TITLE [--geometry WxH+X+Y] [--log FILE] [--type TYPE]\n"
        "                    [--skip-taskbar] [--transient-for ID] [--no-delete]\n"
        "                    [--icon 1|64] [--pid N] [--machine NAME]\n"
        "       probe pointer | clients | active | keymap | state ID | iconify ID | activate ID\n"
        "       probe setkey CODE KEYSYM... | crowd N\n");
    return 2;
}

static int parse_window(int argc, char** argv) {
    struct options o;
    memset(&o, 0, sizeof(o));
    o.title = argv[2];
    o.x = 100;
    o.y = 100;
    o.width = 300;
    o.height = 200;
    for (int i = 3; i < argc; ++i) {
        const char* option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(option, "--skip-taskbar") == 0) {
            o.skip_taskbar = 1;
            continue;
        }
        if (strcmp(option, "--no-delete") == 0) {
            o.no_delete = 1;
            continue;
        }
        if (!value) return usage();
        ++i;
        if (strcmp(option, "--geometry") == 0) {
            if (sscanf(value, "%dx%d+%d+%d", &o.width, &o.height, &o.x, &o.y) != 4) return usage();
        } else if (strcmp(option, "--log") == 0) {
            o.log = value;
        } else if (strcmp(option, "--type") == 0) {
            o.type = value;
        } else if (strcmp(option, "--transient-for") == 0) {
            o.transient_for = strtoul(value, NULL, 0);
        } else if (strcmp(option, "--icon") == 0) {
            o.icon = atoi(value);
        } else if (strcmp(option, "--pid") == 0) {
            o.pid = atol(value);
        } else if (strcmp(option, "--machine") == 0) {
            o.machine = value;
        } else {
            return usage();
        }
    }
    return run_window(&o);
}

int main(int argc, char** argv) {
    /* Key text comes out as UTF-8 whatever the caller's locale. */
    if (!setlocale(LC_ALL, "C.UTF-8")) setlocale(LC_ALL, "");
    XSetLocaleModifiers("@im=none");
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = on_signal;
    sigaction(SIGTERM, &action, NULL);
    sigaction(SIGINT, &action, NULL);
    if (argc >= 3 && strcmp(argv[1], "window") == 0) return parse_window(argc, argv);
    if (argc == 3 && strcmp(argv[1], "crowd") == 0) return run_crowd(atoi(argv[2]));
    if (argc == 2 && strcmp(argv[1], "pointer") == 0) return print_pointer();
    if (argc == 2 && strcmp(argv[1], "clients") == 0) return print_clients();
    if (argc == 2 && strcmp(argv[1], "active") == 0) return print_active();
    if (argc == 2 && strcmp(argv[1], "keymap") == 0) return print_keymap();
    if (argc >= 4 && strcmp(argv[1], "setkey") == 0)
        return set_key(atoi(argv[2]), argc - 3, argv + 3);
    if (argc == 3 && strcmp(argv[1], "state") == 0) return print_state(strtoul(argv[2], NULL, 0));
    if (argc == 3 && (strcmp(argv[1], "iconify") == 0 || strcmp(argv[1], "activate") == 0))
        return change_window(argv[1], strtoul(argv[2], NULL, 0));
    return usage();
}
