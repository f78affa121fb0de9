#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "platform/DnsSd.h"

class CCommandDispatcher;
class CConnectionSocket;
class CListenSocket;
class DiagnosticLog;
class IClock;
class IMainWindow;
class IOutgoingStream;
class ISocketFactory;
class ISound;

// What the server needs from the platform. Nothing here is owned.
struct ConnectionServerServices {
    ISocketFactory* sockets = nullptr;
    IMainWindow* mainWindow = nullptr;
    ISound* sound = nullptr;
    IClock* clock = nullptr;
    IDnsSd* dnsSd = nullptr;
    DiagnosticLog* log = nullptr;
};

// The server end of the link to the device: listens, takes one device at a time, frames what
// it sends into lines and payloads, answers the password and sends for the other parts.
class CConnectionServer {
public:
    static constexpr int kReadSize = 512;
    static constexpr int kWorkAreaSize = 2048;
    // Larger announcements are read and thrown away instead of being allocated.
    static constexpr int32_t kMaxPayloadSize = 64 * 1024 * 1024;

    explicit CConnectionServer(const ConnectionServerServices& services);
    ~CConnectionServer();
    CConnectionServer(const CConnectionServer&) = delete;
    CConnectionServer& operator=(const CConnectionServer&) = delete;

    bool StartServer(CCommandDispatcher* dispatcher);
    void StopServer();
    void CloseAllConnections();
    void CloseConnectionGracefully(CConnectionSocket* connection);
    void AcceptConnection();
    void OnConnectionClosed(CConnectionSocket* connection);
    void CheckPassword(const std::string& text);
    void SendText(const std::string& text);
    void SendBytes(const void* data, int32_t length);
    // A block too large to hold at once, read as the connection drains; same rule as SendBytes.
    void SendStream(std::unique_ptr<IOutgoingStream> stream);

    void OnDataReceived(CConnectionSocket* connection);
    void ReadIncoming(CConnectionSocket* connection);
    void ProcessQueuedLines(bool paced);

    bool LoadServiceLibrary();
    void RegisterService(const char* name);
    void DeregisterService();

    bool IsConnected() const { return m_connections.size() == 1; }
    const char* PendingText() const { return m_pending; }

    std::unique_ptr<CListenSocket> m_pListenSocket;
    CCommandDispatcher* m_pDispatcher = nullptr;
    std::list<std::string> m_lineQueue;
    int32_t m_payloadSize = -1;
    int32_t m_payloadReceived = -1;
    std::unique_ptr<char[]> m_pPayload;
    std::list<std::unique_ptr<CConnectionSocket>> m_connections;
    std::string m_serverName;
    std::string m_password;
    bool m_passwordEnabled = true;
    bool m_serverOn = false;
    bool m_authenticated = false;
    int32_t m_port = 12589;
    int32_t m_listeningPort = -1;

private:
    void ReadLineMode(CConnectionSocket* connection);
    void ReadPayloadMode(CConnectionSocket* connection);
    void CutLines(char* work);
    void TakePayloadHeader(const char* line);
    void FinishPayload();
    void ResetFraming();
    bool IsRestricted() const { return m_passwordEnabled && !m_authenticated; }

    ConnectionServerServices m_services;
    char m_pending[kWorkAreaSize] = {};
    // Set for a payload that is read only to keep the framing in step: too large, or
    // announced before the password.
    bool m_discardPayload = false;
    // Set while the rest of an over-long unterminated line is being skipped.
    bool m_droppingLongLine = false;
};
