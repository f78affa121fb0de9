// Window list reporting: the device's request, the timers' polls and the lists that follow
// a window action.
#include "desktop/WindowList.h"

#include "desktop/WindowRegistry.h"
#include "platform/Clock.h"
#include "platform/WindowSystem.h"
#include "protocol/DeviceLink.h"

namespace {

constexpr char kListCode[] = "124";

}  // namespace

size_t ForegroundIndex(const std::map<std::string, WindowHandle>& windows,
                       WindowHandle foreground) {
    size_t index = 0;
    for (const auto& entry : windows) {
        if (entry.second == foreground) break;
        ++index;
    }
    return index;
}

std::string BuildWindowListMessage(const std::map<std::string, WindowHandle>& windows,
                                   WindowHandle foreground) {
    size_t length = 16;
    for (const auto& entry : windows) length += entry.first.size() + 1;
    std::string message;
    message.reserve(length);
    message += kListCode;
    message += ':';
    message += std::to_string(ForegroundIndex(windows, foreground));
    for (const auto& entry : windows) {
        message += ':';
        message += entry.first;
    }
    message += '\n';
    return message;
}

bool CWindowRegistry::SendWindowList(bool onlyIfChanged) {
    if (onlyIfChanged && ListThrottled(m_clock.TickCount(), m_lastListTick)) return false;
    bool changed = true;
    WindowHandle foreground = m_pendingForeground;
    if (foreground != 0) {
        // The window just activated is reported as it is meant to be, without a new snapshot.
        m_pendingForeground = 0;
    } else {
        changed = Refresh();
        if (onlyIfChanged && !changed) return false;
        foreground = m_windows.GetForegroundWindow();
    }
    for (const auto& entry : m_windowHandle) m_sentKeys.Remember(entry.first);
    m_link.SendText(BuildWindowListMessage(m_windowHandle, foreground));
    m_lastListTick = m_clock.TickCount();
    return changed;
}
