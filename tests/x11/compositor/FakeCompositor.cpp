#include "FakeCompositor.h"

#include <stdlib.h>
#include <unistd.h>
#include <wayland-server.h>

#include <cstring>

#include "wlr-foreign-toplevel-management-unstable-v1-server.h"

struct FakeCompositorRequests {
    static FakeCompositor::Toplevel& Of(wl_resource* resource) {
        return *static_cast<FakeCompositor::Toplevel*>(wl_resource_get_user_data(resource));
    }
    // Called on the compositor's thread, while it dispatches.
    static void Record(wl_resource* resource, const char* what) {
        FakeCompositor::Toplevel& toplevel = Of(resource);
        std::lock_guard<std::mutex> lock(toplevel.owner->m_mutex);
        toplevel.owner->m_requests.push_back(std::string(what) + " " +
                                             std::to_string(toplevel.number));
    }
    static void SetMaximized(wl_client*, wl_resource* r) { Record(r, "set_maximized"); }
    static void UnsetMaximized(wl_client*, wl_resource* r) { Record(r, "unset_maximized"); }
    static void SetMinimized(wl_client*, wl_resource* r) { Record(r, "set_minimized"); }
    static void UnsetMinimized(wl_client*, wl_resource* r) { Record(r, "unset_minimized"); }
    static void Activate(wl_client*, wl_resource* r, wl_resource* seat) {
        Record(r, seat ? "activate" : "activate-without-seat");
    }
    static void Close(wl_client*, wl_resource* r) { Record(r, "close"); }
    static void SetRectangle(wl_client*, wl_resource* r, wl_resource*, int32_t, int32_t, int32_t,
                             int32_t) {
        Record(r, "set_rectangle");
    }
    static void Destroy(wl_client*, wl_resource* r) { wl_resource_destroy(r); }
    static void SetFullscreen(wl_client*, wl_resource* r, wl_resource*) {
        Record(r, "set_fullscreen");
    }
    static void UnsetFullscreen(wl_client*, wl_resource* r) { Record(r, "unset_fullscreen"); }

    static void Stop(wl_client*, wl_resource*) {}
    static void BindManager(wl_client* client, void* data, uint32_t version, uint32_t id) {
        static const struct zwlr_foreign_toplevel_manager_v1_interface manager = {Stop};
        wl_resource* resource = wl_resource_create(
            client, &zwlr_foreign_toplevel_manager_v1_interface, static_cast<int>(version), id);
        wl_resource_set_implementation(resource, &manager, data, nullptr);
        static_cast<FakeCompositor*>(data)->m_manager = resource;
    }

    static void GetDevice(wl_client* client, wl_resource*, uint32_t id) {
        wl_client_post_no_memory(client);  // the seat has no devices to give
        (void)id;
    }
    static void Release(wl_client*, wl_resource* r) { wl_resource_destroy(r); }
    static void BindSeat(wl_client* client, void*, uint32_t version, uint32_t id) {
        static const struct wl_seat_interface seat = {GetDevice, GetDevice, GetDevice, Release};
        wl_resource* resource =
            wl_resource_create(client, &wl_seat_interface, static_cast<int>(version), id);
        wl_resource_set_implementation(resource, &seat, nullptr, nullptr);
        wl_seat_send_capabilities(resource, 0);
    }
};

namespace {

const struct zwlr_foreign_toplevel_handle_v1_interface kHandle = {
    FakeCompositorRequests::SetMaximized,  FakeCompositorRequests::UnsetMaximized,
    FakeCompositorRequests::SetMinimized,  FakeCompositorRequests::UnsetMinimized,
    FakeCompositorRequests::Activate,      FakeCompositorRequests::Close,
    FakeCompositorRequests::SetRectangle,  FakeCompositorRequests::Destroy,
    FakeCompositorRequests::SetFullscreen, FakeCompositorRequests::UnsetFullscreen,
};

void SendStates(wl_resource* resource, const std::vector<uint32_t>& states) {
    wl_array array;
    wl_array_init(&array);
    for (uint32_t state : states) {
        void* slot = wl_array_add(&array, sizeof state);
        if (slot) std::memcpy(slot, &state, sizeof state);
    }
    zwlr_foreign_toplevel_handle_v1_send_state(resource, &array);
    wl_array_release(&array);
}

}  // namespace

FakeCompositor::FakeCompositor() {
    char folder[] = "/tmp/tavrix-compositor-XXXXXX";
    if (!mkdtemp(folder)) return;
    m_folder = folder;
    for (const char* name : {"XDG_RUNTIME_DIR", "WAYLAND_DISPLAY"}) {
        const char* value = getenv(name);
        m_environment.emplace_back(name, value ? value : "");
    }
    setenv("XDG_RUNTIME_DIR", folder, 1);
    setenv("WAYLAND_DISPLAY", "wayland-test", 1);
    m_display = wl_display_create();
    if (wl_display_add_socket(m_display, "wayland-test") != 0) {
        wl_display_destroy(m_display);
        m_display = nullptr;
        return;
    }
    wl_global_create(m_display, &zwlr_foreign_toplevel_manager_v1_interface, 3, this,
                     FakeCompositorRequests::BindManager);
    wl_global_create(m_display, &wl_seat_interface, 5, this, FakeCompositorRequests::BindSeat);
    m_thread = std::thread([this] { Loop(); });
}

FakeCompositor::~FakeCompositor() {
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_thread.join();
    }
    if (m_display) {
        wl_display_destroy_clients(m_display);
        wl_display_destroy(m_display);
    }
    for (const auto& variable : m_environment) {
        if (variable.second.empty())
            unsetenv(variable.first.c_str());
        else
            setenv(variable.first.c_str(), variable.second.c_str(), 1);
    }
    if (!m_folder.empty()) rmdir(m_folder.c_str());
}

void FakeCompositor::Loop() {
    wl_event_loop* loop = wl_display_get_event_loop(m_display);
    for (;;) {
        wl_event_loop_dispatch(loop, 5);
        std::vector<std::function<void()>> tasks;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop) return;
            tasks.swap(m_tasks);
        }
        for (auto& task : tasks) task();
        wl_display_flush_clients(m_display);
        if (!tasks.empty()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done.notify_all();
        }
    }
}

void FakeCompositor::Run(const std::function<void()>& task) {
    bool ran = false;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_tasks.push_back([&ran, task] {
        task();
        ran = true;
    });
    // The loop runs every task within its next 5 ms turn.
    m_done.wait(lock, [&ran] { return ran; });
}

int FakeCompositor::Announce(const std::string& title, const std::string& appId,
                             const std::vector<uint32_t>& states) {
    int number = 0;
    Run([&] {
        if (!m_manager) return;
        wl_resource* resource = wl_resource_create(wl_resource_get_client(m_manager),
                                                   &zwlr_foreign_toplevel_handle_v1_interface,
                                                   wl_resource_get_version(m_manager), 0);
        number = static_cast<int>(m_toplevels.size()) + 1;
        m_toplevels.push_back(std::make_unique<Toplevel>(Toplevel{this, number, resource}));
        wl_resource_set_implementation(resource, &kHandle, m_toplevels.back().get(), nullptr);
        zwlr_foreign_toplevel_manager_v1_send_toplevel(m_manager, resource);
        zwlr_foreign_toplevel_handle_v1_send_title(resource, title.c_str());
        zwlr_foreign_toplevel_handle_v1_send_app_id(resource, appId.c_str());
        SendStates(resource, states);
        zwlr_foreign_toplevel_handle_v1_send_done(resource);
    });
    return number;
}

void FakeCompositor::SetStates(int toplevel, const std::vector<uint32_t>& states, bool done) {
    Run([&] {
        wl_resource* resource = m_toplevels.at(toplevel - 1)->resource;
        SendStates(resource, states);
        if (done) zwlr_foreign_toplevel_handle_v1_send_done(resource);
    });
}

void FakeCompositor::Close(int toplevel) {
    Run([&] {
        zwlr_foreign_toplevel_handle_v1_send_closed(m_toplevels.at(toplevel - 1)->resource);
    });
}

std::vector<std::string> FakeCompositor::Requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}
