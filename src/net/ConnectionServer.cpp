#include "net/ConnectionServer.h"

#include <algorithm>

#include "net/ServerEvents.h"
#include "net/ServerSockets.h"
#include "platform/Clock.h"
#include "platform/DnsSd.h"
#include "platform/Sound.h"
#include "protocol/CommandDispatcher.h"

namespace {

constexpr int kListenBacklog = 5;
constexpr int kDrainChunk = 50;
// A refused device that keeps sending must not hold the GUI thread in the drain.
constexpr int kMaxDrainReads = 64 * 1024 / kDrainChunk;
constexpr uint32_t kPacingMs = 23;
constexpr char kReadAck[4] = {0x0A, 0x00, 0x00, 0x00};
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

}  // namespace

CConnectionServer::CConnectionServer(const ConnectionServerServices& services)
    : m_services(services) {}

CConnectionServer::~CConnectionServer() {
    if (m_services.dnsSd.IsLoaded()) m_services.dnsSd.Unload();
}

void CConnectionServer::Configure(const ServerConfig& config) {
    m_config = config;
}

bool CConnectionServer::StartServer() {
    RegisterService(m_config.serverName);
    m_pListenSocket = std::make_unique<CListenSocket>(*this, m_services.sockets);
    if (!m_pListenSocket->Create(m_config.port) || !m_pListenSocket->Listen(kListenBacklog))
        return false;
    m_listeningPort = m_config.port;
    return true;
}

void CConnectionServer::StopServer() {
    m_pListenSocket.reset();
    m_listeningPort = -1;
    m_authenticated = false;
    CloseAllConnections();
    EndDeviceSession();
}

void CConnectionServer::RestartAs(const std::string& advertisedName) {
    DeregisterService();
    StopServer();
    const std::string name = m_config.serverName;
    m_config.serverName = advertisedName;
    StartServer();
    m_config.serverName = name;
}

void CConnectionServer::CloseAllConnections() {
    while (!m_connections.empty()) {
        // Out of the list before it goes, so nothing reached from its destructor sees it.
        std::unique_ptr<CConnectionSocket> connection = std::move(m_connections.front());
        m_connections.pop_front();
    }
    DeregisterService();
}

void CConnectionServer::CloseConnectionGracefully(uint32_t connectionId) {
    // The request was posted; the device may have left since.
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [connectionId](const auto& c) { return c->Id() == connectionId; });
    if (it == m_connections.end() || !(*it)->DropRequested()) return;
    CConnectionSocket& connection = **it;
    connection.ShutdownSend();
    char scratch[kDrainChunk];
    for (int reads = 0; reads < kMaxDrainReads; ++reads) {
        if (connection.Receive(scratch, kDrainChunk) <= 0) break;
    }
}

void CConnectionServer::AcceptConnection() {
    if (!m_pListenSocket) return;
    auto connection =
        std::make_unique<CConnectionSocket>(*this, m_services.log, m_nextConnectionId++);
    if (!m_pListenSocket->Accept(*connection)) return;
    if (!m_connections.empty()) {
        connection->Send(kRefused, sizeof(kRefused) - 1);
        connection->Close();
        return;
    }
    // Whatever an earlier device left half-sent must not run under this device's rights.
    m_framer.Reset();
    m_lineQueue.clear();
    m_connections.push_back(std::move(connection));
    SendText("1000:" + m_config.serverName + ":" + (m_config.passwordEnabled ? "1" : "0") +
             ":1.0 PC\n");
    DeregisterService();
    m_services.events.OnLinkChanged();
}

void CConnectionServer::OnConnectionClosed(CConnectionSocket* connection) {
    auto it = std::find_if(m_connections.begin(), m_connections.end(),
                           [connection](const auto& c) { return c.get() == connection; });
    if (it == m_connections.end()) return;
    m_authenticated = false;
    std::unique_ptr<CConnectionSocket> closed = std::move(*it);
    m_connections.clear();
    closed.reset();
    EndDeviceSession();
    if (m_config.port != m_listeningPort) {
        StopServer();
        StartServer();
    }
    RegisterService(m_config.serverName);
    m_services.events.OnLinkChanged();
    if (m_services.dispatcher.AlertSound()) m_services.sound.PlayFileSync(kDisconnectSound);
}

// Whatever the device left pressed, gliding or waiting for a file must not outlive it.
void CConnectionServer::EndDeviceSession() {
    m_services.dispatcher.EndDeviceSession();
}

void CConnectionServer::CheckPassword(const std::string& text) {
    const bool accepted = !m_config.passwordEnabled || ConstantTimeEquals(text, m_config.password);
    if (accepted) m_authenticated = true;
    if (m_connections.size() != 1) return;
    CConnectionSocket& connection = *m_connections.front();
    SendText(accepted ? kPasswordAccepted : kRefused);
    if (accepted) return;
    connection.RequestDrop();
    m_services.events.PostDropConnection(connection.Id());
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

bool CConnectionServer::DeviceAccepted() const {
    return IsConnected() && !IsRestricted();
}

void CConnectionServer::OnDataReceived(CConnectionSocket* connection) {
    ReadIncoming(*connection);
    if (m_pListenSocket) ProcessQueuedLines(false);
}

void CConnectionServer::ReadIncoming(CConnectionSocket& connection) {
    if (m_framer.InPayload()) {
        ReadPayload(connection);
    } else {
        ReadLines(connection);
    }
}

void CConnectionServer::ReadLines(CConnectionSocket& connection) {
    char received[CLineFramer::kReadSize];
    const int n = connection.Receive(received, CLineFramer::kReadSize);
    connection.Send(kReadAck, sizeof(kReadAck));
    m_framer.TakeLineRead(received, n, m_lineQueue);
}

void CConnectionServer::ReadPayload(CConnectionSocket& connection) {
    int room = 0;
    char* space = m_framer.PayloadSpace(IsRestricted(), &room);
    const int n = connection.Receive(space, room);
    if (!m_framer.TakePayloadRead(n)) return;
    // Framing is back in line mode before the hand-over, which may run a modal dialog whose
    // message loop reads more.
    const CLineFramer::Payload payload = m_framer.TakePayload(IsRestricted());
    if (payload.data) m_services.dispatcher.DispatchPayload(payload.data.get(), payload.size);
}

void CConnectionServer::ProcessQueuedLines(bool paced) {
    if (!m_serverOn) return;
    // Lines that arrive while this batch runs (a modal dialog pumps messages) wait for the
    // next call.
    std::list<std::string> batch;
    batch.swap(m_lineQueue);
    for (const std::string& line : batch) {
        m_services.dispatcher.DispatchLine(line.c_str(), IsRestricted());
        if (paced) m_services.clock.Sleep(kPacingMs);
    }
}

void CConnectionServer::ReplayLines(std::list<std::string> lines) {
    m_lineQueue.splice(m_lineQueue.end(), lines);
    ProcessQueuedLines(true);
}
