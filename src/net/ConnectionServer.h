#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "net/LineFramer.h"
#include "net/LoginThrottle.h"
#include "platform/Socket.h"
#include "platform/Timers.h"
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
    ITimers& timers;
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
    // A device that hasn't given the password by then is sent away.
    static constexpr uint32_t kPasswordTimeoutMs = 20000;
    // A refused device that keeps its end open is closed after this.
    static constexpr uint32_t kRefusedCloseMs = 2000;
    // Keep-alive probes for an accepted device that vanished without closing.
    static constexpr uint32_t kKeepAliveIdleMs = 30000;
    static constexpr uint32_t kKeepAliveIntervalMs = 5000;

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

    // Listens on the configured port and advertises the server. When it can't listen the
    // server is off, unadvertised, and ListenFailureReason says why; true on success.
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
    ListenFailure ListenFailureReason() const { return m_listenFailure; }
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
    // Closes the current connection from this side, as if the device had left.
    void DropConnection(uint32_t connectionId);
    void ForgetConnection(std::list<std::unique_ptr<CConnectionSocket>>::iterator it);
    uint32_t CurrentConnectionId() const;
    void WatchNewConnection(CConnectionSocket& connection);
    void AcceptPassword(CConnectionSocket& connection);
    void RefusePassword(CConnectionSocket& connection);
    void CancelConnectionTimers();
    bool IsRestricted() const { return m_config.passwordEnabled && !m_authenticated; }

    ConnectionServerServices m_services;
    ServerConfig m_config;
    bool m_serverOn = false;
    bool m_authenticated = false;
    // The current connection's password was refused: nothing more of it is obeyed.
    bool m_refused = false;
    ListenFailure m_listenFailure = ListenFailure::None;
    CLoginThrottle m_throttle;
    ITimers::TimerId m_passwordTimer = 0;
    ITimers::TimerId m_closeTimer = 0;
    int32_t m_listeningPort = -1;
    uint32_t m_nextConnectionId = 1;
    std::unique_ptr<CListenSocket> m_pListenSocket;
    std::list<std::unique_ptr<CConnectionSocket>> m_connections;
    CLineFramer m_framer;
    std::list<std::string> m_lineQueue;
    // Bytes of the payloads whose dispatch is still running, nested ones included.
    int64_t m_heldPayloadBytes = 0;
};
