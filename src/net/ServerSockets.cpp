#include "net/ServerSockets.h"

#include "net/ConnectionServer.h"
#include "net/DiagnosticLog.h"

CListenSocket::CListenSocket(CConnectionServer* server, ISocketFactory& factory)
    : m_pServer(server), m_socket(factory.CreateListeningSocket(*this)) {}

bool CListenSocket::Create(int port) {
    return m_socket && m_socket->Create(port);
}

bool CListenSocket::Listen(int backlog) {
    return m_socket && m_socket->Listen(backlog);
}

bool CListenSocket::Accept(CConnectionSocket& connection) {
    if (!m_socket) return false;
    std::unique_ptr<IStreamSocket> accepted = m_socket->Accept(connection);
    if (!accepted) return false;
    connection.Attach(std::move(accepted));
    return true;
}

void CListenSocket::OnAccept() {
    m_pServer->AcceptConnection();
}

CConnectionSocket::CConnectionSocket(CConnectionServer* server, DiagnosticLog* log)
    : m_pServer(server), m_pLog(log) {}

void CConnectionSocket::Close() {
    if (m_pLog) m_pLog->WriteClosedLine();
}

int CConnectionSocket::Receive(void* buffer, int maxCount) {
    return m_socket ? m_socket->Receive(buffer, maxCount) : -1;
}

void CConnectionSocket::Send(const void* data, int length) {
    if (m_socket) m_socket->Send(data, length);
}

void CConnectionSocket::ShutdownSend() {
    if (m_socket) m_socket->ShutdownSend();
}

void CConnectionSocket::OnReceive() {
    m_pServer->OnDataReceived(this);
}

void CConnectionSocket::OnClose() {
    m_pServer->OnConnectionClosed(this);
}
