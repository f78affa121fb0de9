#include "settings/ServerSettings.h"

#include "net/ConnectionServer.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"

void ApplySettings(const ServerSettings& settings, CCommandExecutor& executor,
                   CConnectionServer& server, CCommandDispatcher& dispatcher) {
    executor.SetBounceOffEdges(settings.bounceOffEdges != 0);
    dispatcher.SetAlertSound(settings.alertSound != 0);
    ServerConfig config;
    config.serverName = settings.serverName;
    config.password = settings.password;
    config.passwordEnabled = settings.passwordEnabled != 0;
    config.port = settings.port;
    server.Configure(config);
}
