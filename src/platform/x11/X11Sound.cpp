#include <glib.h>

#include "platform/x11/X11Services.h"

namespace {

// The Windows sound files the core names, as the freedesktop sound theme calls them.
struct SoundRow {
    const char* fileName;
    const char* eventId;
};
constexpr SoundRow kSounds[] = {
    {"Windows XP Hardware Insert.wav", "device-added"},
    {"Windows XP Hardware Remove.wav", "device-removed"},
};

}  // namespace

X11Sound::X11Sound() {
    gchar* found = g_find_program_in_path("canberra-gtk-play");
    if (found) m_player = found;
    g_free(found);
}

X11Sound::~X11Sound() {
    if (m_playerWatch != 0) g_source_remove(m_playerWatch);
}

void X11Sound::Play(const std::string& fileName) {
    if (m_player.empty() || m_playerWatch != 0) return;
    const char* eventId = nullptr;
    for (const SoundRow& row : kSounds) {
        if (fileName == row.fileName) eventId = row.eventId;
    }
    if (!eventId) return;
    const std::string idOption = std::string("--id=") + eventId;
    gchar* argv[] = {const_cast<gchar*>(m_player.c_str()), const_cast<gchar*>(idOption.c_str()),
                     nullptr};
    GPid pid = 0;
    if (!g_spawn_async(
            nullptr, argv, nullptr,
            static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL |
                                     G_SPAWN_STDERR_TO_DEV_NULL),
            nullptr, nullptr, &pid, nullptr))
        return;
    m_playerWatch = g_child_watch_add(pid, &X11Sound::OnPlayerExit, this);
}

void X11Sound::OnPlayerExit(int pid, int, void* data) {
    g_spawn_close_pid(pid);
    static_cast<X11Sound*>(data)->m_playerWatch = 0;
}
