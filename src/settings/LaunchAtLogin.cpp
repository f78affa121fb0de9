#include "settings/LaunchAtLogin.h"

#include "platform/StartupShortcut.h"
#include "settings/ServerSettings.h"

void AgreeWithStartupShortcut(ServerSettings& settings, IStartupShortcut& shortcut) {
    settings.launchAtLogin = shortcut.Exists() ? 1 : 0;
}

bool ApplyLaunchAtLogin(ServerSettings& settings, IStartupShortcut& shortcut) {
    const bool wanted = settings.launchAtLogin != 0;
    // Made again when wanted, so that it starts this copy in this folder.
    const bool done = wanted ? shortcut.Create() : (!shortcut.Exists() || shortcut.Remove());
    if (!done) AgreeWithStartupShortcut(settings, shortcut);
    return done;
}
