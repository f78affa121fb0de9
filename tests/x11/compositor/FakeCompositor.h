#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct wl_display;
struct wl_client;
struct wl_resource;

// A Wayland compositor of a seat and the wlroots foreign toplevel list, on a thread of its
// own and a socket in a folder of its own, which WAYLAND_DISPLAY and XDG_RUNTIME_DIR name
// while it lives. The test announces toplevels as a compositor would, and reads back the
// requests clients made of them ("activate 2", "close 1", ...).
class FakeCompositor {
public:
    FakeCompositor();
    ~FakeCompositor();
    FakeCompositor(const FakeCompositor&) = delete;
    FakeCompositor& operator=(const FakeCompositor&) = delete;

    enum State : uint32_t { kMaximized = 0, kMinimized = 1, kActivated = 2 };
    // A new toplevel for the bound client, numbered from 1, announced up to its done.
    int Announce(const std::string& title, const std::string& appId,
                 const std::vector<uint32_t>& states);
    void SetStates(int toplevel, const std::vector<uint32_t>& states, bool done = true);
    void Close(int toplevel);

    std::vector<std::string> Requests();

    struct Toplevel {
        FakeCompositor* owner;
        int number;
        wl_resource* resource;
    };

private:
    void Run(const std::function<void()>& task);
    void Loop();

    std::string m_folder;
    std::vector<std::pair<std::string, std::string>> m_environment;
    wl_display* m_display = nullptr;
    wl_resource* m_manager = nullptr;
    std::vector<std::unique_ptr<Toplevel>> m_toplevels;

    std::mutex m_mutex;
    std::condition_variable m_done;
    std::vector<std::function<void()>> m_tasks;
    std::vector<std::string> m_requests;
    bool m_stop = false;
    std::thread m_thread;

    friend struct FakeCompositorRequests;
};
