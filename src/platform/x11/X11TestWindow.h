#pragma once
#include <glib.h>

#include <memory>

#include "platform/TestWindow.h"
#include "platform/x11/X11Display.h"

// The diagnostic window on a connection of its own, whose events the GLib main loop reads.
// Like a plain Windows window, it goes when the window manager asks it to close, and its
// place and size are those of its frame.
class X11TestWindow : public ITestWindow {
public:
    // Makes and shows the window; Valid() tells whether that worked.
    X11TestWindow(int x, int y);
    ~X11TestWindow() override;
    X11TestWindow(const X11TestWindow&) = delete;
    X11TestWindow& operator=(const X11TestWindow&) = delete;

    bool Valid() const { return m_window != 0; }

private:
    static gboolean OnEvents(gint fd, GIOCondition condition, gpointer self);
    void HandleEvents();

    X11Display m_display;
    unsigned long m_window = 0;
    unsigned long m_deleteWindow = 0;
    guint m_source = 0;
};

class X11TestWindowFactory : public ITestWindowFactory {
public:
    std::unique_ptr<ITestWindow> Create(int x, int y) override;
};
