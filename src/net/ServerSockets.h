#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "net/OutgoingQueue.h"
#include "platform/Socket.h"

class CConnectionServer;
class DiagnosticLog;
class ISocketFactory;

// The listening socket: its accept notification runs the server's AcceptConnection.
class CListenSocket : public ISocketNotify {
public:
    CListenSocket(CConnectionServer& server, ISocketFactory& factory);

    bool Create(int port);
    bool Listen(int backlog);
    ListenFailure Failure() const;
    // Accepts a waiting device into the given connection object.
    bool Accept(class CConnectionSocket& connection);

    void OnAccept() override;

private:
    CConnectionServer& m_server;
    std::unique_ptr<IListeningSocket> m_socket;
};

// The device's connection. Destroying it closes the socket.
class CConnectionSocket : public ISocketNotify {
public:
    CConnectionSocket(CConnectionServer& server, DiagnosticLog& log, uint32_t id);

    void Attach(std::unique_ptr<IStreamSocket> socket) { m_socket = std::move(socket); }

    // Writes the log line only; the handle closes when the object is destroyed.
    void Close();
    int Receive(void* buffer, int maxCount);
    // Bytes sent while a stream is going out wait behind it.
    void Send(const void* data, int length);
    // Sends the stream after everything sent before it, as fast as the socket takes it.
    void SendStream(std::unique_ptr<IOutgoingStream> stream);
    void ShutdownSend();
    std::string PeerAddress() const;
    void EnableKeepAlive(uint32_t idleMilliseconds, uint32_t intervalMilliseconds);

    void OnReceive() override;
    void OnClose() override;
    void OnSendReady() override;

    uint32_t Id() const { return m_id; }
    // Marks it refused; only then may a posted drop request close it.
    void RequestDrop() { m_dropRequested = true; }
    bool DropRequested() const { return m_dropRequested; }

private:
    void SendWaiting();

    std::unique_ptr<IStreamSocket> m_socket;
    COutgoingQueue m_waiting;
    bool m_shutdownWhenSent = false;
    bool m_dropRequested = false;
    CConnectionServer& m_server;
    DiagnosticLog& m_log;
    const uint32_t m_id;
};
