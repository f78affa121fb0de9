#pragma once
#include <memory>

#include "net/OutgoingQueue.h"
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
    // Bytes sent while a stream is going out wait behind it.
    void Send(const void* data, int length);
    // Sends the stream after everything sent before it, as fast as the socket takes it.
    void SendStream(std::unique_ptr<IOutgoingStream> stream);
    void ShutdownSend();

    void OnReceive() override;
    void OnClose() override;
    void OnSendReady() override;

    CConnectionServer* m_pServer;
    // Set when its password was refused; only then may a posted drop request close it.
    bool m_dropRequested = false;

private:
    void SendWaiting();

    std::unique_ptr<IStreamSocket> m_socket;
    COutgoingQueue m_waiting;
    bool m_shutdownWhenSent = false;
    DiagnosticLog* m_pLog;
};
