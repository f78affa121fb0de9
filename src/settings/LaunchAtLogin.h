#pragma once

class IStartupShortcut;
struct ServerSettings;

// "Launch at login" is the Startup folder's shortcut: the setting shows whether the shortcut
// is there, since the user may also delete it by hand or an installer may have made it.
void AgreeWithStartupShortcut(ServerSettings& settings, IStartupShortcut& shortcut);

// Makes or removes the shortcut as the setting asks. When that fails the setting is put back
// to what is there, and false says so.
bool ApplyLaunchAtLogin(ServerSettings& settings, IStartupShortcut& shortcut);
