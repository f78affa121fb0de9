#include "platform/wayland/WaylandWindowSystem.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/common/IconBitmap.h"
#include "platform/common/Windows1252.h"
#include "platform/wayland/DesktopApps.h"
#include "platform/wayland/WaylandSession.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

namespace {

// Titles and app_ids longer than this are cut: the device shows a line, not a page.
constexpr size_t kMaxText = 1024;
// A compositor that announces more toplevels than this is not listing windows.
constexpr size_t kMaxToplevels = 4096;

constexpr char kDesktopSuffix[] = ".desktop";
// Icons kept at once (32 by 32 pixels, 4 KiB each).
constexpr size_t kMaxIcons = 128;

bool IsDesktopFile(const std::string& path) {
    const size_t length = sizeof(kDesktopSuffix) - 1;
    return path.size() > length && path.compare(path.size() - length, length, kDesktopSuffix) == 0;
}

}  // namespace

struct WaylandToplevelListeners {
    using Toplevel = CWaylandWindowSystem::Toplevel;

    static Toplevel& Of(void* data) { return *static_cast<Toplevel*>(data); }

    static void Title(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
        Of(data).pendingTitle.assign(title, strnlen(title, kMaxText));
    }
    static void AppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
        Of(data).pendingAppId.assign(appId, strnlen(appId, kMaxText));
    }
    static void OutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void OutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void State(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        Toplevel& toplevel = Of(data);
        toplevel.pendingActivated = false;
        toplevel.pendingMinimized = false;
        const size_t count = states->size / sizeof(uint32_t);
        const auto* state = static_cast<const uint32_t*>(states->data);
        for (size_t i = 0; i < count; ++i) {
            if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                toplevel.pendingActivated = true;
            if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED)
                toplevel.pendingMinimized = true;
        }
    }
    static void Done(void* data, zwlr_foreign_toplevel_handle_v1*) {
        Toplevel& toplevel = Of(data);
        if (toplevel.pendingAppId != toplevel.appId) toplevel.lookedUp = false;
        toplevel.title = toplevel.pendingTitle;
        toplevel.appId = toplevel.pendingAppId;
        if (toplevel.pendingActivated && !toplevel.activated)
            toplevel.activatedAt = ++toplevel.owner->m_clock;
        toplevel.activated = toplevel.pendingActivated;
        toplevel.minimized = toplevel.pendingMinimized;
        toplevel.announced = true;
    }
    static void Closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        Toplevel& toplevel = Of(data);
        CWaylandWindowSystem* owner = toplevel.owner;
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        for (auto it = owner->m_toplevels.begin(); it != owner->m_toplevels.end(); ++it) {
            if (it->second.handle != handle) continue;
            owner->m_toplevels.erase(it);
            break;
        }
    }
    static void Parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static void Created(void* data, zwlr_foreign_toplevel_manager_v1*,
                        zwlr_foreign_toplevel_handle_v1* handle);
    static void Finished(void*, zwlr_foreign_toplevel_manager_v1*) {}
};

namespace {

const zwlr_foreign_toplevel_handle_v1_listener kToplevelListener = {
    WaylandToplevelListeners::Title,       WaylandToplevelListeners::AppId,
    WaylandToplevelListeners::OutputEnter, WaylandToplevelListeners::OutputLeave,
    WaylandToplevelListeners::State,       WaylandToplevelListeners::Done,
    WaylandToplevelListeners::Closed,      WaylandToplevelListeners::Parent,
};

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {
    WaylandToplevelListeners::Created,
    WaylandToplevelListeners::Finished,
};

}  // namespace

void WaylandToplevelListeners::Created(void* data, zwlr_foreign_toplevel_manager_v1*,
                                       zwlr_foreign_toplevel_handle_v1* handle) {
    auto* owner = static_cast<CWaylandWindowSystem*>(data);
    if (owner->m_toplevels.size() >= kMaxToplevels) {
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        return;
    }
    Toplevel& toplevel = owner->m_toplevels[owner->m_nextHandle++];
    toplevel.handle = handle;
    toplevel.owner = owner;
    toplevel.createdAt = ++owner->m_clock;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, &toplevel);
}

CWaylandWindowSystem::CWaylandWindowSystem(CWaylandSession& session, IWindowSystem& fallback)
    : m_session(session), m_fallback(fallback) {
    m_manager = session.BindToplevelManager();
    if (!m_manager) return;
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &kManagerListener, this);
    // The toplevels that are open now, each with its first state.
    session.Roundtrip();
}

CWaylandWindowSystem::~CWaylandWindowSystem() {
    for (auto& entry : m_toplevels) zwlr_foreign_toplevel_handle_v1_destroy(entry.second.handle);
    if (m_manager) {
        // The compositor stops telling this list; its proxy can go at once.
        zwlr_foreign_toplevel_manager_v1_stop(m_manager);
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
    }
    m_session.Flush();
}

CWaylandWindowSystem::Toplevel* CWaylandWindowSystem::Find(WindowHandle window) {
    const auto found = m_toplevels.find(window);
    return found == m_toplevels.end() || !found->second.announced ? nullptr : &found->second;
}

bool CWaylandWindowSystem::IsEmbedded(WindowHandle window, bool* readable) {
    *readable = Find(window) != nullptr;
    return false;
}

bool CWaylandWindowSystem::GetScreenRect(ScreenRect* rect) {
    *rect = m_session.Extent();
    return rect->right > rect->left && rect->bottom > rect->top;
}

void CWaylandWindowSystem::EnumWindows(const std::function<bool(WindowHandle)>& visit) {
    std::vector<std::pair<std::pair<uint64_t, uint64_t>, WindowHandle>> order;
    for (const auto& entry : m_toplevels) {
        if (!entry.second.announced) continue;
        order.push_back({{entry.second.activatedAt, entry.second.createdAt}, entry.first});
    }
    std::sort(order.rbegin(), order.rend());
    for (const auto& item : order) {
        if (!visit(item.second)) return;
    }
}

bool CWaylandWindowSystem::IsWindowVisible(WindowHandle window) {
    return Find(window) != nullptr;
}

std::string CWaylandWindowSystem::GetWindowTextA(WindowHandle window) {
    const Toplevel* toplevel = Find(window);
    return toplevel ? Utf8ToWindows1252(toplevel->title) : std::string();
}

bool CWaylandWindowSystem::HasChildWindow(WindowHandle window) {
    // The compositor lists application windows only.
    return Find(window) != nullptr;
}

uint32_t CWaylandWindowSystem::GetWindowThreadProcessId(WindowHandle window) {
    return Find(window) ? static_cast<uint32_t>(window) : 0;
}

const std::string& CWaylandWindowSystem::DesktopFileOf(Toplevel& toplevel) {
    if (!toplevel.lookedUp) {
        toplevel.desktopFile = ::DesktopFileOf(toplevel.appId);
        toplevel.lookedUp = true;
    }
    return toplevel.desktopFile;
}

bool CWaylandWindowSystem::GetProcessImagePath(uint32_t processId, std::string* path) {
    Toplevel* toplevel = Find(processId);
    if (!toplevel) return false;
    const std::string& file = DesktopFileOf(*toplevel);
    if (file.empty()) return false;
    *path = Utf8ToWindows1252(file);
    return true;
}

WindowHandle CWaylandWindowSystem::GetForegroundWindow() {
    for (const auto& entry : m_toplevels) {
        if (entry.second.announced && entry.second.activated) return entry.first;
    }
    return 0;
}

bool CWaylandWindowSystem::IsIconic(WindowHandle window) {
    const Toplevel* toplevel = Find(window);
    return toplevel && toplevel->minimized;
}

void CWaylandWindowSystem::RestoreWindow(WindowHandle window) {
    const Toplevel* toplevel = Find(window);
    if (!toplevel) return;
    zwlr_foreign_toplevel_handle_v1_unset_minimized(toplevel->handle);
    m_session.Flush();
}

void CWaylandWindowSystem::SetForegroundWindow(WindowHandle window) {
    const Toplevel* toplevel = Find(window);
    if (!toplevel || !m_session.Seat()) return;
    zwlr_foreign_toplevel_handle_v1_activate(toplevel->handle, m_session.Seat());
    m_session.Flush();
}

void CWaylandWindowSystem::PostCloseMessage(WindowHandle window) {
    const Toplevel* toplevel = Find(window);
    if (!toplevel) return;
    zwlr_foreign_toplevel_handle_v1_close(toplevel->handle);
    m_session.Flush();
}

void CWaylandWindowSystem::ShellExecuteOpen(WindowHandle owner, const std::string& file) {
    const std::string path = Windows1252ToUtf8(file);
    if (IsDesktopFile(path) && LaunchDesktopFile(path)) return;
    m_fallback.ShellExecuteOpen(owner, file);
}

bool CWaylandWindowSystem::WithFileIcon(const std::string& path,
                                        const std::function<void(IDeviceBitmap&)>& use) {
    const std::string file = Windows1252ToUtf8(path);
    if (!IsDesktopFile(file)) return false;
    auto known = m_icons.find(file);
    if (known == m_icons.end()) {
        if (m_icons.size() >= kMaxIcons) m_icons.clear();
        known = m_icons.emplace(file, AppIconPixels(file)).first;
    }
    if (known->second.size() != static_cast<size_t>(kIconSize * kIconSize)) return false;
    CArgbIconBitmap bitmap(known->second);
    use(bitmap);
    return true;
}

void CWaylandWindowSystem::ShowMessageBox(const std::string& text) {
    m_fallback.ShowMessageBox(text);
}
