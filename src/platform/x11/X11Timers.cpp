#include "platform/x11/X11Timers.h"

#include <utility>

X11Timers::~X11Timers() {
    for (const auto& entry : m_pending) g_source_remove(entry.second->source);
}

ITimers::TimerId X11Timers::StartOnce(uint32_t milliseconds, std::function<void()> callback) {
    TimerId id = m_nextId;
    // Skips ids still pending after a wrap, and 0, which means "no timer".
    while (id == 0 || m_pending.count(id) != 0) ++id;
    m_nextId = id + 1;
    auto pending = std::make_unique<Pending>(Pending{this, id, 0, std::move(callback)});
    pending->source = g_timeout_add(milliseconds, &X11Timers::Fire, pending.get());
    if (pending->source == 0) return 0;
    m_pending[id] = std::move(pending);
    return id;
}

void X11Timers::Cancel(TimerId id) {
    const auto it = m_pending.find(id);
    if (it == m_pending.end()) return;
    g_source_remove(it->second->source);
    m_pending.erase(it);
}

gboolean X11Timers::Fire(gpointer data) {
    auto* pending = static_cast<Pending*>(data);
    X11Timers& self = *pending->owner;
    const auto it = self.m_pending.find(pending->id);
    if (it == self.m_pending.end()) return G_SOURCE_REMOVE;
    // Out of the map before it runs: the callback may start or cancel timers. The source
    // ends with this return, so nothing of the entry is used after it is gone.
    std::function<void()> callback = std::move(it->second->callback);
    self.m_pending.erase(it);
    callback();
    return G_SOURCE_REMOVE;
}
