#include "net/ServerSockets.h"

#include "net/ConnectionServer.h"
#include "net/DiagnosticLog.h"

CListenSocket::CListenSocket(CConnectionServer& server, ISocketFactory& factory)
    : m_server(server), m_socket(factory.CreateListeningSocket(*this)) {}

bool CListenSocket::Create(int port) {
    return m_socket && m_socket->Create(port);
}

bool CListenSocket::Listen(int backlog) {
    return m_socket && m_socket->Listen(backlog);
}

ListenFailure CListenSocket::Failure() const {
    return m_socket ? m_socket->Failure() : ListenFailure::Other;
}

bool CListenSocket::Accept(CConnectionSocket& connection) {
    if (!m_socket) return false;
    std::unique_ptr<IStreamSocket> accepted = m_socket->Accept(connection);
    if (!accepted) return false;
    connection.Attach(std::move(accepted));
    return true;
}

void CListenSocket::OnAccept() {
    m_server.AcceptConnection();
}

CConnectionSocket::CConnectionSocket(CConnectionServer& server, DiagnosticLog& log, uint32_t id)
    : m_server(server), m_log(log), m_id(id) {}

void CConnectionSocket::Close() {
    m_log.WriteClosedLine();
}

int CConnectionSocket::Receive(void* buffer, int maxCount) {
    return m_socket ? m_socket->Receive(buffer, maxCount) : -1;
}

void CConnectionSocket::Send(const void* data, int length) {
    if (!m_socket || length <= 0) return;
    if (!m_waiting.Busy()) {
        m_socket->Send(data, length);
        return;
    }
    if (m_waiting.Hold(data, static_cast<size_t>(length))) return;
    // The device has stopped reading; end the connection rather than hold more.
    m_waiting.Clear();
    m_socket->ShutdownSend();
}

void CConnectionSocket::SendStream(std::unique_ptr<IOutgoingStream> stream) {
    if (!m_socket) return;
    m_waiting.AddStream(std::move(stream));
    SendWaiting();
}

void CConnectionSocket::ShutdownSend() {
    if (!m_socket) return;
    if (m_waiting.Busy()) {
        m_shutdownWhenSent = true;
        return;
    }
    m_socket->ShutdownSend();
}

std::string CConnectionSocket::PeerAddress() const {
    return m_socket ? m_socket->PeerAddress() : std::string();
}

void CConnectionSocket::EnableKeepAlive(uint32_t idleMilliseconds, uint32_t intervalMilliseconds) {
    if (m_socket) m_socket->EnableKeepAlive(idleMilliseconds, intervalMilliseconds);
}

void CConnectionSocket::OnSendReady() {
    if (m_socket) SendWaiting();
}

void CConnectionSocket::SendWaiting() {
    m_waiting.Pump(*m_socket);
    if (m_waiting.Busy() || !m_shutdownWhenSent) return;
    m_shutdownWhenSent = false;
    m_socket->ShutdownSend();
}

void CConnectionSocket::OnReceive() {
    m_server.OnDataReceived(this);
}

void CConnectionSocket::OnClose() {
    m_server.OnConnectionClosed(this);
}
