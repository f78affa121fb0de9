#pragma once
#include <string>

class CCommandDispatcher;
class CCommandExecutor;
class CConnectionServer;

// The eleven user settings, in file order after the two text lines.
struct ServerSettings {
    std::string serverName;
    std::string password;
    int bounceOffEdges = 1;
    int passwordEnabled = 1;
    int alertSound = 0;
    int visibleAtLaunch = 1;
    int launchAtLogin = 0;
    int reservedOption = 0;
    // The connection server's m_serverOn is the live switch; this is its copy in the file.
    bool serverOn = false;
    int port = 12589;
    bool noPasswordAcknowledged = false;
};

// Copies the settings into the objects that act on them. Stores values only: it neither
// restarts listening nor renews the advertisement.
void ApplySettings(const ServerSettings& settings, CCommandExecutor& executor,
                   CConnectionServer& server, CCommandDispatcher& dispatcher);
