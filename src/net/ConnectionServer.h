#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "net/LineFramer.h"
#include "protocol/DeviceLink.h"

class CCommandDispatcher;
class CConnectionSocket;
class CListenSocket;
class DiagnosticLog;
class IClock;
class IDnsSd;
class IServerEvents;
class ISocketFactory;
class ISound;

// What the server needs around it. Nothing here is owned.
struct ConnectionServerServices {
    ISocketFactory& sockets;
    IServerEvents& events;
    ISound& sound;
    IClock& clock;
    IDnsSd& dnsSd;
    DiagnosticLog& log;
    CCommandDispatcher& dispatcher;
};

// The settings that the server acts on.
struct ServerConfig {
    std::string serverName;
    std::string password;
    bool passwordEnabled = true;
    int32_t port = 12589;
};

// The server end of the link to the device: listens, takes one device at a time, frames what
// it sends into lines and payloads, answers the password and sends for the other parts.
class CConnectionServer : public IDeviceLink {
public:
    explicit CConnectionServer(const ConnectionServerServices& services);
    ~CConnectionServer() override;
    CConnectionServer(const CConnectionServer&) = delete;
    CConnectionServer& operator=(const CConnectionServer&) = delete;

    // Stores the settings; takes effect at the next start, registration or password.
    void Configure(const ServerConfig& config);
    const ServerConfig& Config() const { return m_config; }
    // The user's on switch; lines are dispatched only while it is on.
    void SetServerOn(bool on) { m_serverOn = on; }
    bool IsServerOn() const { return m_serverOn; }

    bool StartServer();
    void StopServer();
    // Listens anew on the configured port, advertised meanwhile under the given name.
    void RestartAs(const std::string& advertisedName);
    void CloseAllConnections();
    // A posted drop request: closes the connection only if it is still the one refused.
    void CloseConnectionGracefully(uint32_t connectionId);
    void CheckPassword(const std::string& text);

    void SendText(const std::string& text) override;
    void SendBytes(const void* data, int32_t length) override;
    void SendStream(std::unique_ptr<IOutgoingStream> stream) override;
    bool DeviceAccepted() const override;

    // Queues recorded lines as if the device had sent them and dispatches them paced.
    void ReplayLines(std::list<std::string> lines);

    bool LoadServiceLibrary();
    void RegisterService(const std::string& name);
    void DeregisterService();

    bool IsConnected() const { return m_connections.size() == 1; }
    bool IsListening() const { return m_pListenSocket != nullptr; }
    bool IsAuthenticated() const { return m_authenticated; }
    const CLineFramer& Framer() const { return m_framer; }

    // From the sockets.
    void AcceptConnection();
    void OnDataReceived(CConnectionSocket* connection);
    void OnConnectionClosed(CConnectionSocket* connection);

private:
    void ReadIncoming(CConnectionSocket& connection);
    void ReadLines(CConnectionSocket& connection);
    void ReadPayload(CConnectionSocket& connection);
    void ProcessQueuedLines(bool paced);
    void EndDeviceSession();
    bool IsRestricted() const { return m_config.passwordEnabled && !m_authenticated; }

    ConnectionServerServices m_services;
    ServerConfig m_config;
    bool m_serverOn = false;
    bool m_authenticated = false;
    int32_t m_listeningPort = -1;
    uint32_t m_nextConnectionId = 1;
    std::unique_ptr<CListenSocket> m_pListenSocket;
    std::list<std::unique_ptr<CConnectionSocket>> m_connections;
    CLineFramer m_framer;
    std::list<std::string> m_lineQueue;
};
