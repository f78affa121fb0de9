#pragma once
#include <memory>

#include "platform/Socket.h"

class CConnectionServer;
class DiagnosticLog;
class ISocketFactory;

// The listening socket: its accept notification runs the server's AcceptConnection.
class CListenSocket : public ISocketNotify {
public:
    CListenSocket(CConnectionServer* server, ISocketFactory& factory);

    bool Create(int port);
    bool Listen(int backlog);
    // Accepts a waiting device into the given connection object.
    bool Accept(class CConnectionSocket& connection);

    void OnAccept() override;

    CConnectionServer* m_pServer;

private:
    std::unique_ptr<IListeningSocket> m_socket;
};

// The device's connection. Destroying it closes the socket.
class CConnectionSocket : public ISocketNotify {
public:
    CConnectionSocket(CConnectionServer* server, DiagnosticLog* log);

    void Attach(std::unique_ptr<IStreamSocket> socket) { m_socket = std::move(socket); }

    // Writes the log line only; the handle closes when the object is destroyed.
    void Close();
    int Receive(void* buffer, int maxCount);
    void Send(const void* data, int length);
    void ShutdownSend();

    void OnReceive() override;
    void OnClose() override;

    CConnectionServer* m_pServer;

private:
    std::unique_ptr<IStreamSocket> m_socket;
    DiagnosticLog* m_pLog;
};
