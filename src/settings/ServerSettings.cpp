#include "settings/ServerSettings.h"

#include "net/ConnectionServer.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"

void ApplySettings(const ServerSettings& settings, CCommandExecutor& executor,
                   CConnectionServer& server, CCommandDispatcher& dispatcher) {
    executor.SetBounceOffEdges(settings.bounceOffEdges != 0);
    server.m_passwordEnabled = settings.passwordEnabled != 0;
    dispatcher.m_alertSound = settings.alertSound != 0;
    server.m_password = settings.password;
    server.m_serverName = settings.serverName;
    server.m_port = settings.port;
}
