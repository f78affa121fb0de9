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

// GLib reaps the child itself (it is spawned through an intermediate process), so nothing
// here waits for the sound to end.
void X11Sound::Play(const std::string& fileName) {
    if (m_player.empty()) return;
    const char* eventId = nullptr;
    for (const SoundRow& row : kSounds) {
        if (fileName == row.fileName) eventId = row.eventId;
    }
    if (!eventId) return;
    const std::string idOption = std::string("--id=") + eventId;
    gchar* argv[] = {const_cast<gchar*>(m_player.c_str()), const_cast<gchar*>(idOption.c_str()),
                     nullptr};
    g_spawn_async(nullptr, argv, nullptr,
                  static_cast<GSpawnFlags>(G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
                  nullptr, nullptr, nullptr, nullptr);
}
