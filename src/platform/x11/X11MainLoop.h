#pragma once
#include <glib.h>

#include <functional>

// The program's GLib main loop on the default context, which the sockets, timers, Avahi and
// the file dialogs' nested loops share. From its construction on, SIGINT and SIGTERM no
// longer end the process: they are handed to the loop, nested ones included.
class X11MainLoop {
public:
    X11MainLoop();
    ~X11MainLoop();
    X11MainLoop(const X11MainLoop&) = delete;
    X11MainLoop& operator=(const X11MainLoop&) = delete;

    // Runs until Quit; each SIGINT or SIGTERM meanwhile calls onSignal. One that came before
    // is answered as soon as the loop runs.
    void Run(std::function<void()> onSignal);
    void Quit();

private:
    static gboolean OnSignal(gpointer data);

    GMainLoop* m_loop;
    std::function<void()> m_onSignal;
    guint m_interrupt;
    guint m_terminate;
};
