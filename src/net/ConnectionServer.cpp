#include "net/ConnectionServer.h"

#include <algorithm>

#include "net/ServerSockets.h"
#include "platform/MainWindow.h"
#include "platform/Sound.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"

namespace {

constexpr int kListenBacklog = 5;
constexpr int kDrainChunk = 50;
// A refused device that keeps sending must not hold the GUI thread in the drain.
constexpr int kMaxDrainReads = 64 * 1024 / kDrainChunk;
constexpr char kDisconnectSound[] = "Windows XP Hardware Remove.wav";
constexpr char kPasswordAccepted[] = "1500\n";
constexpr char kRefused[] = "2000\n";

// Takes as long for a wrong password as for the right one of the same length, whatever
// byte differs first.
bool ConstantTimeEquals(const std::string& a, const std::string& b) {
    const size_t longest = std::max(a.size(), b.size());
    unsigned difference = a.size() == b.size() ? 0u : 1u;
    for (size_t i = 0; i < longest; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        difference |= static_cast<unsigned>(x ^ y);
    }
    return difference == 0;
}

// Whatever the device left pressed or gliding must not outlive its connection.
void EndDeviceInput(CCommandDispatcher* dispatcher) {
    if (dispatcher && dispatcher->m_pExecutor) dispatcher->m_pExecutor->EndDeviceInput();
}

}  // namespace

CConnectionServer::CConnectionServer(const ConnectionServerServices& services)
    : m_services(services) {}

CConnectionServer::~CConnectionServer() {
    if (m_services.dnsSd && m_services.dnsSd->IsLoaded()) m_services.dnsSd->Unload();
}

bool CConnectionServer::StartServer(CCommandDispatcher* dispatcher) {
    RegisterService(m_serverName.c_str());
    m_pDispatcher = dispatcher;
    if (m_pDispatcher) m_pDispatcher->m_pConnection = this;
    if (!m_services.sockets) return false;
    m_pListenSocket = std::make_unique<CListenSocket>(this, *m_services.sockets);
    if (!m_pListenSocket->Create(m_port) || !m_pListenSocket->Listen(kListenBacklog)) return false;
    m_listeningPort = m_port;
    return true;
}

void CConnectionServer::StopServer() {
    m_pListenSocket.reset();
    m_listeningPort = -1;
    m_authenticated = false;
    CloseAllConnections();
    EndDeviceInput(m_pDispatcher);
}

void CConnectionServer::CloseAllConnections() {
    while (!m_connections.empty()) {
        // Out of the list before it goes, so nothing reached from its destructor sees it.
        std::unique_ptr<CConnectionSocket> connection = std::move(m_connections.front());
        m_connections.pop_front();
    }
    DeregisterService();
}

void CConnectionServer::CloseConnectionGracefully(CConnectionSocket* connection) {
    // The request was posted; the device may have left since, and the next one may have
    // been given the same address.
    const bool known = std::any_of(m_connections.begin(), m_connections.end(),
                                   [connection](const auto& c) { return c.get() == connection; });
    if (!known || !connection->m_dropRequested) return;
    connection->ShutdownSend();
    char scratch[kDrainChunk];
    for (int reads = 0; reads < kMaxDrainReads; ++reads) {
        if (connection->Receive(scratch, kDrainChunk) <= 0) break;
    }
}

void CConnectionServer::AcceptConnection() {
    if (!m_pListenSocket) return;
    auto connection = std::make_unique<CConnectionSocket>(this, m_services.log);
    if (!m_pListenSocket->Accept(*connection)) return;
    if (!m_connections.empty()) {
        connection->Send(kRefused, sizeof(kRefused) - 1);
        connection->Close();
        return;
    }
    // Whatever an earlier device left half-sent must not run under this device's rights.
    ResetFraming();
    m_lineQueue.clear();
    m_connections.push_back(std::move(connection));
    SendText("1000:" + m_serverName + ":" + (m_passwordEnabled ? "1" : "0") + ":1.0 PC\n");
    DeregisterService();
    if (m_services.mainWindow) m_services.mainWindow->UpdateStatusDisplay();
}

void CConnectionServer::OnConnectionClosed(CConnectionSocket* connection) {
    auto it = std::find_if(m_connections.begin(), m_connections.end(),
                           [connection](const auto& c) { return c.get() == connection; });
    if (it == m_connections.end()) return;
    m_authenticated = false;
    std::unique_ptr<CConnectionSocket> closed = std::move(*it);
    m_connections.clear();
    closed.reset();
    EndDeviceInput(m_pDispatcher);
    if (m_port != m_listeningPort) {
        StopServer();
        StartServer(m_pDispatcher);
    }
    RegisterService(m_serverName.c_str());
    if (m_services.mainWindow) m_services.mainWindow->UpdateStatusDisplay();
    if (m_pDispatcher && m_pDispatcher->m_alertSound && m_services.sound)
        m_services.sound->PlayFileSync(kDisconnectSound);
}

void CConnectionServer::CheckPassword(const std::string& text) {
    const bool accepted = !m_passwordEnabled || ConstantTimeEquals(text, m_password);
    if (accepted) m_authenticated = true;
    if (m_connections.size() != 1) return;
    CConnectionSocket* connection = m_connections.front().get();
    SendText(accepted ? kPasswordAccepted : kRefused);
    if (accepted || !m_services.mainWindow) return;
    connection->m_dropRequested = true;
    m_services.mainWindow->PostDropConnection(connection);
}

void CConnectionServer::SendText(const std::string& text) {
    SendBytes(text.data(), static_cast<int32_t>(text.size()));
}

void CConnectionServer::SendBytes(const void* data, int32_t length) {
    if (m_connections.size() != 1 || length < 0) return;
    m_connections.front()->Send(data, length);
}

void CConnectionServer::SendStream(std::unique_ptr<IOutgoingStream> stream) {
    if (m_connections.size() != 1) return;
    m_connections.front()->SendStream(std::move(stream));
}
