#include "app/linux/LinuxPlatform.h"

#include <gio/gio.h>

#include <cstdlib>

#include "platform/wayland/PortalInput.h"
#include "platform/wayland/PortalSession.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "platform/wayland/WaylandKeymap.h"
#include "platform/wayland/WaylandPointer.h"
#include "platform/wayland/WaylandSession.h"
#include "platform/wayland/WaylandWindowSystem.h"

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// How long start-up waits for the desktop portal, which D-Bus starts on demand.
constexpr int kPortalAnswerMs = 5000;

// Whether the desktop portal on the session bus offers remote desktop.
bool PortalOffersRemoteDesktop() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
        "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.freedesktop.portal.RemoteDesktop", "version"),
        G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, kPortalAnswerMs, nullptr, &error);
    g_clear_error(&error);
    g_object_unref(bus);
    if (!reply) return false;
    g_variant_unref(reply);
    return true;
}

}  // namespace

CLinuxPlatform::CLinuxPlatform(std::function<void(const std::string&)> say) {
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
        // Only a compositor without virtual input of its own sends the server to the portal.
        if (facts.waylandConnected && !(facts.virtualPointer && facts.virtualKeyboard))
            facts.portal = PortalOffersRemoteDesktop();
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
    if (m_route.input == InputRoute::Portal) {
        m_portal = std::make_unique<CPortalSession>(
            nullptr, files, kPortalTokenFileName,
            [say](PortalState, const std::string& text) { say(text); });
        m_portalPointer = std::make_unique<CPortalPointer>(*m_portal);
        if (!m_wayland->SeatKeymap().empty())
            m_portalLayout = std::make_unique<CWaylandKeymap>(m_wayland->SeatKeymap());
        m_portalKeyboard =
            std::make_unique<CPortalKeyboard>(*m_portal, codePage, m_portalLayout.get());
        m_pointer = m_portalPointer.get();
        m_keyboard = m_portalKeyboard.get();
        // Now, so that the desktop asks while the user is at it, not when a device comes.
        m_portal->Start();
    }
    if (m_route.windows == WindowRoute::Toplevels) {
        m_waylandWindows = std::make_unique<CWaylandWindowSystem>(*m_wayland, m_x11Windows);
        m_windows = m_waylandWindows.get();
    }
}

CLinuxPlatform::~CLinuxPlatform() = default;

void CLinuxPlatform::OnSessionLost(std::function<void()> lost) {
    if (m_wayland) m_wayland->OnLost(std::move(lost));
}

PlatformServices CLinuxPlatform::Services() {
    return PlatformServices{sockets,     clock,         sound,       timers,
                            dnsSd,       *m_pointer,    *m_keyboard, codePage,
                            fileDialogs, m_testWindows, *m_windows};
}
