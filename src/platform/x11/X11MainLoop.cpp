#include "platform/x11/X11MainLoop.h"

#include <glib-unix.h>
#include <signal.h>

#include <utility>

X11MainLoop::X11MainLoop()
    : m_loop(g_main_loop_new(nullptr, FALSE)),
      m_interrupt(g_unix_signal_add(SIGINT, &X11MainLoop::OnSignal, this)),
      m_terminate(g_unix_signal_add(SIGTERM, &X11MainLoop::OnSignal, this)) {}

X11MainLoop::~X11MainLoop() {
    g_source_remove(m_interrupt);
    g_source_remove(m_terminate);
    g_main_loop_unref(m_loop);
}

void X11MainLoop::Run(std::function<void()> onSignal) {
    m_onSignal = std::move(onSignal);
    g_main_loop_run(m_loop);
    m_onSignal = nullptr;
}

void X11MainLoop::Quit() {
    g_main_loop_quit(m_loop);
}

gboolean X11MainLoop::OnSignal(gpointer data) {
    auto* self = static_cast<X11MainLoop*>(data);
    if (self->m_onSignal) self->m_onSignal();
    return G_SOURCE_CONTINUE;
}
