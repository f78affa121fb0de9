#pragma once
#include <glib.h>

#include <functional>
#include <map>
#include <memory>

#include "platform/Timers.h"

// One-shot GLib timeouts on the default main context, so they fire from whichever loop runs
// on it, a file dialog's nested one included.
class X11Timers : public ITimers {
public:
    X11Timers() = default;
    ~X11Timers() override;
    X11Timers(const X11Timers&) = delete;
    X11Timers& operator=(const X11Timers&) = delete;

    TimerId StartOnce(uint32_t milliseconds, std::function<void()> callback) override;
    void Cancel(TimerId id) override;

private:
    struct Pending {
        X11Timers* owner;
        TimerId id;
        guint source;
        std::function<void()> callback;
    };
    static gboolean Fire(gpointer data);

    // The entries are the timeouts' user data: each stays where it is until its timer
    // fires or is cancelled.
    std::map<TimerId, std::unique_ptr<Pending>> m_pending;
    TimerId m_nextId = 1;
};
