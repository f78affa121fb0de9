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
    m_listenFailure = ListenFailure::None;
    RegisterService(m_config.serverName);
    m_pListenSocket = std::make_unique<CListenSocket>(*this, m_services.sockets);
    if (!m_pListenSocket->Create(m_config.port) || !m_pListenSocket->Listen(kListenBacklog)) {
        // Devices must not be sent to a port where nobody answers.
        m_listenFailure = m_pListenSocket->Failure();
        m_pListenSocket.reset();
        DeregisterService();
        m_serverOn = false;
        return false;
    }
    m_listeningPort = m_config.port;
    m_serverOn = true;
    return true;
}

void CConnectionServer::StopServer() {
    m_listenFailure = ListenFailure::None;
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
    CancelConnectionTimers();
    m_refused = false;
    m_lineQueue.clear();
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
    // An address that guessed too often is closed at once: no hello, no slot, no log line.
    const std::string address = connection->PeerAddress();
    if (m_throttle.IsBlocked(address, m_services.clock.TickCount())) return;
    if (!m_connections.empty()) {
        // A device that has given the password keeps the server to itself.
        if (!IsRestricted()) {
            connection->Send(kRefused, sizeof(kRefused) - 1);
            connection->Close();
            return;
        }
        // One that hasn't can't hold the slot against the owner: the newcomer takes it.
        DropConnection(CurrentConnectionId());
        // Its leaving may have moved the server to a new port, or found that one taken.
        if (!m_pListenSocket || m_throttle.IsBlocked(address, m_services.clock.TickCount()))
            return;
    }
    // Whatever an earlier device left half-sent, or a replay authenticated, must not run
    // under this device's rights.
    m_framer.Reset();
    m_lineQueue.clear();
    m_refused = false;
    m_authenticated = false;
    m_connections.push_back(std::move(connection));
    SendText("1000:" + m_config.serverName + ":" + (m_config.passwordEnabled ? "1" : "0") +
             ":1.0 PC\n");
    DeregisterService();
    WatchNewConnection(*m_connections.back());
    m_services.events.OnLinkChanged();
}

// A device that must give the password gets 20 s for it; one that needn't is watched by
// keep-alive at once.
void CConnectionServer::WatchNewConnection(CConnectionSocket& connection) {
    if (!IsRestricted()) {
        connection.EnableKeepAlive(kKeepAliveIdleMs, kKeepAliveIntervalMs);
        return;
    }
    const uint32_t id = connection.Id();
    m_passwordTimer = m_services.timers.StartOnce(kPasswordTimeoutMs, [this, id] {
        m_passwordTimer = 0;
        if (IsRestricted()) DropConnection(id);
    });
}

void CConnectionServer::OnConnectionClosed(CConnectionSocket* connection) {
    auto it = std::find_if(m_connections.begin(), m_connections.end(),
                           [connection](const auto& c) { return c.get() == connection; });
    if (it != m_connections.end()) ForgetConnection(it);
}

void CConnectionServer::DropConnection(uint32_t connectionId) {
    auto it = std::find_if(m_connections.begin(), m_connections.end(),
                           [connectionId](const auto& c) { return c->Id() == connectionId; });
    if (it != m_connections.end()) ForgetConnection(it);
}

void CConnectionServer::ForgetConnection(
    std::list<std::unique_ptr<CConnectionSocket>>::iterator it) {
    // Leaving or timing out without a password counts as a wrong one: otherwise a stranger
    // could hold the slot forever at no cost.
    if (IsRestricted() && !m_refused)
        m_throttle.RecordRefusal((*it)->PeerAddress(), m_services.clock.TickCount());
    m_authenticated = false;
    m_refused = false;
    CancelConnectionTimers();
    // Lines the device left behind must not run for the next one.
    m_lineQueue.clear();
    m_framer.Reset();
    std::unique_ptr<CConnectionSocket> closed = std::move(*it);
    m_connections.clear();
    closed.reset();
    EndDeviceSession();
    if (m_config.port != m_listeningPort) {
        StopServer();
        StartServer();
    }
    if (m_serverOn) RegisterService(m_config.serverName);
    m_services.events.OnLinkChanged();
    if (m_services.dispatcher.AlertSound()) m_services.sound.Play(kDisconnectSound);
}

void CConnectionServer::CancelConnectionTimers() {
    m_services.timers.Cancel(m_passwordTimer);
    m_services.timers.Cancel(m_closeTimer);
    m_passwordTimer = 0;
    m_closeTimer = 0;
}

uint32_t CConnectionServer::CurrentConnectionId() const {
    return m_connections.empty() ? 0 : m_connections.front()->Id();
}

// Whatever the device left pressed, gliding or waiting for a file must not outlive it.
void CConnectionServer::EndDeviceSession() {
    m_services.dispatcher.EndDeviceSession();
}

void CConnectionServer::CheckPassword(const std::string& text) {
    // With protection on, an empty password opens nothing.
    const bool accepted =
        !m_config.passwordEnabled ||
        (!m_config.password.empty() && ConstantTimeEquals(text, m_config.password));
    if (m_connections.size() != 1) {
        if (accepted) m_authenticated = true;
        return;
    }
    CConnectionSocket& connection = *m_connections.front();
    if (accepted) {
        AcceptPassword(connection);
    } else {
        RefusePassword(connection);
    }
}

void CConnectionServer::AcceptPassword(CConnectionSocket& connection) {
    const bool wasRestricted = IsRestricted();
    m_authenticated = true;
    m_throttle.RecordAcceptance(connection.PeerAddress());
    m_services.timers.Cancel(m_passwordTimer);
    m_passwordTimer = 0;
    if (wasRestricted) connection.EnableKeepAlive(kKeepAliveIdleMs, kKeepAliveIntervalMs);
    SendText(kPasswordAccepted);
    // The window may now show what the device said of itself.
    if (wasRestricted) m_services.events.OnLinkChanged();
}

// One try per connection: nothing the device sends after a refusal is obeyed or answered,
// and the connection goes even if the device keeps its end open.
void CConnectionServer::RefusePassword(CConnectionSocket& connection) {
    m_throttle.RecordRefusal(connection.PeerAddress(), m_services.clock.TickCount());
    m_refused = true;
    m_lineQueue.clear();
    SendText(kRefused);
    connection.RequestDrop();
    m_services.events.PostDropConnection(connection.Id());
    const uint32_t id = connection.Id();
    m_services.timers.Cancel(m_closeTimer);
    m_closeTimer = m_services.timers.StartOnce(kRefusedCloseMs, [this, id] {
        m_closeTimer = 0;
        DropConnection(id);
    });
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
    if (m_refused) {
        // Read only to keep the notifications coming until the connection goes.
        char scratch[CLineFramer::kReadSize];
        connection->Receive(scratch, sizeof(scratch));
        return;
    }
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
    char* space = m_framer.PayloadSpace(IsRestricted(), m_heldPayloadBytes, &room);
    const int n = connection.Receive(space, room);
    if (!m_framer.TakePayloadRead(n)) return;
    // Framing is back in line mode before the hand-over, which may run a modal dialog whose
    // message loop reads more.
    const CLineFramer::Payload payload = m_framer.TakePayload(IsRestricted());
    if (!payload.data) return;
    // Held until the dialog it waits for closes; nested pushes share one limit.
    m_heldPayloadBytes += payload.size;
    m_services.dispatcher.DispatchPayload(payload.data.get(), payload.size);
    m_heldPayloadBytes -= payload.size;
}

void CConnectionServer::ProcessQueuedLines(bool paced) {
    if (!m_serverOn) return;
    // Lines that arrive while this batch runs (a modal dialog pumps messages) wait for the
    // next call.
    std::list<std::string> batch;
    batch.swap(m_lineQueue);
    // The lines belong to the connection they came from: once it is gone or refused (a
    // nested message loop may see that happen), the rest is dropped.
    const uint32_t owner = CurrentConnectionId();
    for (const std::string& line : batch) {
        if (m_refused || CurrentConnectionId() != owner) return;
        m_services.dispatcher.DispatchLine(line.c_str(), IsRestricted());
        if (paced) m_services.clock.Sleep(kPacingMs);
    }
}

void CConnectionServer::ReplayLines(std::list<std::string> lines) {
    m_lineQueue.splice(m_lineQueue.end(), lines);
    ProcessQueuedLines(true);
}
