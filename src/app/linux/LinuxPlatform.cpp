#include "app/linux/LinuxPlatform.h"

#include <cstdlib>

#include "platform/wayland/WaylandKeyboard.h"
#include "platform/wayland/WaylandPointer.h"
#include "platform/wayland/WaylandSession.h"
#include "platform/wayland/WaylandWindowSystem.h"

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

CLinuxPlatform::CLinuxPlatform() {
    SessionFacts facts;
    facts.waylandDisplay = Variable("WAYLAND_DISPLAY");
    facts.x11Display = Variable("DISPLAY");
    facts.x11Connected = !facts.x11Display.empty() && m_x11Pointer.Usable();
    if (!facts.waylandDisplay.empty()) {
        m_wayland = std::make_unique<CWaylandSession>();
        facts.waylandConnected = m_wayland->Connected();
        facts.virtualPointer = m_wayland->PointerManager() != nullptr;
        facts.virtualKeyboard = m_wayland->KeyboardManager() != nullptr;
        facts.foreignToplevels = m_wayland->HasToplevelManager();
    }
    m_route = ChooseRoute(facts);

    m_pointer = &m_x11Pointer;
    m_keyboard = &m_x11Keyboard;
    m_windows = &m_x11Windows;
    if (m_route.input == InputRoute::Wlroots) {
        m_waylandPointer = std::make_unique<CWaylandPointer>(*m_wayland);
        m_waylandKeyboard = std::make_unique<CWaylandKeyboard>(*m_wayland, codePage);
        m_pointer = m_waylandPointer.get();
        m_keyboard = m_waylandKeyboard.get();
    }
    if (m_route.windows == WindowRoute::Toplevels) {
        m_waylandWindows = std::make_unique<CWaylandWindowSystem>(*m_wayland, m_x11Windows);
        m_windows = m_waylandWindows.get();
    }
}

CLinuxPlatform::~CLinuxPlatform() = default;

PlatformServices CLinuxPlatform::Services() {
    return PlatformServices{sockets,     clock,         sound,       timers,
                            dnsSd,       *m_pointer,    *m_keyboard, codePage,
                            fileDialogs, m_testWindows, *m_windows};
}
