#pragma once
#include <string>

// Where the settings file lives: the working directory when it holds one (the run command,
// the tests, a unit that sets a working directory), otherwise the user's configuration
// folder, $XDG_CONFIG_HOME/tavrix-server or ~/.config/tavrix-server. Empty when neither
// variable names an absolute folder.
std::string ChooseSettingsFolder(bool workingDirectoryHasFile, const char* xdgConfigHome,
                                 const char* home);

// Makes the chosen folder the working directory, creating it for its user alone (0700) when
// it is missing. False, with the reason, when it can't be used.
bool EnterSettingsFolder(std::string* folder, std::string* error);
