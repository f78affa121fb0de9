#pragma once
#include <glib.h>

#include <memory>
#include <vector>

#include "platform/TestWindow.h"
#include "platform/x11/X11Display.h"

class X11TestWindowFactory;

// The diagnostic window on its factory's connection, whose events the GLib main loop reads.
// Like a plain Windows window, it goes when the window manager asks it to close, and its
// place and size are those of its frame.
class X11TestWindow : public ITestWindow {
public:
    // Makes and shows the window; Valid() tells whether that worked.
    X11TestWindow(X11TestWindowFactory& owner, int x, int y);
    ~X11TestWindow() override;
    X11TestWindow(const X11TestWindow&) = delete;
    X11TestWindow& operator=(const X11TestWindow&) = delete;

    bool Valid() const { return m_window != 0; }

private:
    friend class X11TestWindowFactory;
    void Close();

    X11TestWindowFactory& m_owner;
    unsigned long m_window = 0;
};

// Every test window is made on one connection that stays open. A new connection may get the
// ids of one just closed, and a window manager still letting go of the old window would then
// move the new one, which has its id, to the old one's place.
class X11TestWindowFactory : public ITestWindowFactory {
public:
    X11TestWindowFactory() = default;
    ~X11TestWindowFactory() override;
    X11TestWindowFactory(const X11TestWindowFactory&) = delete;
    X11TestWindowFactory& operator=(const X11TestWindowFactory&) = delete;

    std::unique_ptr<ITestWindow> Create(int x, int y) override;

private:
    friend class X11TestWindow;
    bool Connect();
    static gboolean OnEvents(gint fd, GIOCondition condition, gpointer self);
    void HandleEvents();

    std::unique_ptr<X11Display> m_display;
    guint m_source = 0;
    unsigned long m_deleteWindow = 0;
    std::vector<X11TestWindow*> m_windows;
};
