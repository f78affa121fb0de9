#pragma once

// Xlib's own name for a connection. The platform headers come before any X header in every
// file: X defines None, which NamedKey also names.
typedef struct _XDisplay Display;
// One connection to the X server, opened from $DISPLAY and closed with its owner. X errors
// on the connections of this program don't end it: a call that waits for its reply reports
// the failure in its own return value, and requests sent without a reply fail harmlessly.
class X11Display {
public:
    X11Display();
    ~X11Display();
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    Display* get() const { return m_display; }
    explicit operator bool() const { return m_display != nullptr; }
    // The default screen's root window.
    unsigned long Root() const;

private:
    Display* m_display;
};
