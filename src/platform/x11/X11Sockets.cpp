#include "platform/x11/X11Sockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

// A device that stops reading can't make the server hold more than this.
// Reads handed to the owner after the peer closed, to take data that came before the close.
constexpr int kMaxReadsBeforeClose = 1 << 16;
// New connections wait behind what the connected ones have to say, their closes included,
// as a device that hangs up and calls again is seen in that order on Windows.
constexpr int kAcceptPriority = G_PRIORITY_DEFAULT + 1;
// A listening socket whose owner took nothing (no descriptors left, say) rests this long
// rather than being reported again at once.
constexpr guint kAcceptRestMs = 100;

int KeepAliveSeconds(uint32_t milliseconds) {
    const uint32_t seconds = (milliseconds + 999u) / 1000u;
    return seconds == 0 ? 1 : static_cast<int>(seconds);
}

}  // namespace

struct X11FdWatch::Source {
    GSource base;
    X11FdWatch* watch;
};

X11FdWatch::X11FdWatch(int fd, std::function<void(GIOCondition)> handler, int priority)
    : m_fd(fd), m_handler(std::move(handler)) {
    static GSourceFuncs functions = {nullptr, nullptr, &X11FdWatch::Dispatch,
                                     nullptr, nullptr, nullptr};
    m_source = reinterpret_cast<Source*>(g_source_new(&functions, sizeof(Source)));
    m_source->watch = this;
    g_source_set_can_recurse(&m_source->base, TRUE);
    g_source_set_priority(&m_source->base, priority);
    g_source_attach(&m_source->base, nullptr);
}

X11FdWatch::~X11FdWatch() {
    m_source->watch = nullptr;
    g_source_destroy(&m_source->base);
    g_source_unref(&m_source->base);
}

void X11FdWatch::SetConditions(GIOCondition conditions) {
    // poll reports hang-ups even when nothing is asked for, so a descriptor with nothing to
    // watch leaves the source altogether.
    if (conditions == 0) {
        if (m_tag) g_source_remove_unix_fd(&m_source->base, m_tag);
        m_tag = nullptr;
        return;
    }
    const auto all = static_cast<GIOCondition>(conditions | G_IO_HUP | G_IO_ERR);
    if (m_tag) {
        g_source_modify_unix_fd(&m_source->base, m_tag, all);
    } else {
        m_tag = g_source_add_unix_fd(&m_source->base, m_fd, all);
    }
}

gboolean X11FdWatch::Dispatch(GSource* source, GSourceFunc, gpointer) {
    X11FdWatch* watch = reinterpret_cast<Source*>(source)->watch;
    if (!watch || !watch->m_tag) return G_SOURCE_CONTINUE;
    const GIOCondition ready = g_source_query_unix_fd(source, watch->m_tag);
    if (ready == 0) return G_SOURCE_CONTINUE;
    // The handler may destroy the watch; the copy outlives that.
    const std::function<void(GIOCondition)> handler = watch->m_handler;
    handler(ready);
    return G_SOURCE_CONTINUE;
}

std::unique_ptr<IListeningSocket> X11SocketFactory::CreateListeningSocket(ISocketNotify& target) {
    return std::make_unique<X11ListeningSocket>(target);
}

X11StreamSocket::X11StreamSocket(int fd, ISocketNotify& target, std::string peerAddress)
    : m_fd(fd),
      m_target(target),
      m_peerAddress(std::move(peerAddress)),
      m_watch(fd, [this](GIOCondition ready) { OnReady(ready); }) {
    // Replies follow the read acknowledgement at once; don't let Nagle hold them back.
    const int noDelay = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof(noDelay));
    UpdateWatch();
}

X11StreamSocket::~X11StreamSocket() {
    *m_alive = false;
    m_watch.SetConditions(static_cast<GIOCondition>(0));
    close(m_fd);
}

void X11StreamSocket::EnableKeepAlive(uint32_t idleMilliseconds, uint32_t intervalMilliseconds) {
    const int on = 1;
    const int idle = KeepAliveSeconds(idleMilliseconds);
    const int interval = KeepAliveSeconds(intervalMilliseconds);
    setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof(on));
    setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof(idle));
    setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof(interval));
}

int X11StreamSocket::Receive(void* buffer, int maxCount) {
    ++m_receives;
    if (m_readPaused) {
        m_readPaused = false;
        UpdateWatch();
    }
    if (maxCount <= 0) return 0;
    const ssize_t n = recv(m_fd, buffer, static_cast<size_t>(maxCount), MSG_DONTWAIT);
    return n < 0 ? -1 : static_cast<int>(n);
}

void X11StreamSocket::Send(const void* data, int length) {
    if (m_broken || length <= 0) return;
    if (!m_queue.Append(data, static_cast<size_t>(length))) {
        // The device has stopped reading; end the connection rather than grow without bound.
        m_broken = true;
        m_queue.Clear();
        shutdown(m_fd, SHUT_RDWR);
        UpdateWatch();
        return;
    }
    SendQueued();
}

void X11StreamSocket::ShutdownSend() {
    // Bytes still queued go out first.
    m_shutdownWhenSent = true;
    SendQueued();
}

void X11StreamSocket::SendQueued() {
    while (!m_queue.Empty()) {
        const ssize_t sent =
            send(m_fd, m_queue.Next(), m_queue.NextSize(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                m_broken = true;
                break;
            }
            // Writability brings us back.
            m_queue.Blocked();
            UpdateWatch();
            return;
        }
        m_queue.Sent(static_cast<size_t>(sent));
    }
    m_queue.Clear();
    if (m_shutdownWhenSent) {
        m_shutdownWhenSent = false;
        shutdown(m_fd, SHUT_WR);
    }
    UpdateWatch();
}

void X11StreamSocket::UpdateWatch() {
    unsigned conditions = 0;
    if (!m_readPaused && !m_closeDelivered) conditions |= G_IO_IN;
    if (QueuedBytes() > 0 && !m_broken) conditions |= G_IO_OUT;
    m_watch.SetConditions(static_cast<GIOCondition>(conditions));
}

// The owner may destroy the socket inside any notification, so nothing of this object is
// used after one unless it is still alive.
void X11StreamSocket::OnReady(GIOCondition ready) {
    const std::shared_ptr<bool> alive = m_alive;
    if ((ready & G_IO_OUT) != 0) {
        SendQueued();
        if (QueuedBytes() == 0 && !m_broken) {
            m_target.OnSendReady();
            if (!*alive) return;
        }
    }
    if ((ready & (G_IO_IN | G_IO_HUP | G_IO_ERR)) != 0) OnReadable(ready);
}

void X11StreamSocket::OnReadable(GIOCondition ready) {
    if (m_closeDelivered) return;
    char byte = 0;
    const ssize_t peeked = recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    const bool hungUp = (ready & (G_IO_HUP | G_IO_ERR)) != 0;
    if (peeked > 0 && !hungUp) {
        DeliverReceive();
    } else {
        // The peer closed (0), reset the connection (< 0) or hung up with data still there.
        DeliverClose();
    }
}

void X11StreamSocket::DeliverReceive() {
    const std::shared_ptr<bool> alive = m_alive;
    const unsigned before = m_receives;
    m_target.OnReceive();
    if (!*alive || m_receives != before) return;
    // Like Winsock's FD_READ: no more until the owner reads.
    m_readPaused = true;
    UpdateWatch();
}

void X11StreamSocket::DeliverClose() {
    const std::shared_ptr<bool> alive = m_alive;
    for (int reads = 0; reads < kMaxReadsBeforeClose; ++reads) {
        int available = 0;
        if (ioctl(m_fd, FIONREAD, &available) != 0 || available <= 0) break;
        m_target.OnReceive();
        if (!*alive) return;
    }
    m_closeDelivered = true;
    UpdateWatch();
    m_target.OnClose();
}

X11ListeningSocket::X11ListeningSocket(ISocketNotify& target) : m_target(target) {}

X11ListeningSocket::~X11ListeningSocket() {
    *m_alive = false;
    if (m_resume) g_source_remove(m_resume);
    m_watch.reset();
    if (m_fd >= 0) close(m_fd);
}

bool X11ListeningSocket::Fail() {
    m_failure = errno == EADDRINUSE ? ListenFailure::PortInUse : ListenFailure::Other;
    return false;
}

bool X11ListeningSocket::Create(int port) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (m_fd < 0) return Fail();
    // A restart can take the port while the last connection's TIME_WAIT remains; Linux still
    // refuses a second listener on it, so a port in use is still reported.
    const int reuse = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return Fail();
    return true;
}

bool X11ListeningSocket::Listen(int backlog) {
    if (m_fd < 0) return false;
    if (listen(m_fd, backlog) != 0) return Fail();
    m_watch = std::make_unique<X11FdWatch>(
        m_fd, [this](GIOCondition) { OnReady(); }, kAcceptPriority);
    m_watch->SetConditions(G_IO_IN);
    return true;
}

std::unique_ptr<IStreamSocket> X11ListeningSocket::Accept(ISocketNotify& target) {
    sockaddr_in peer = {};
    socklen_t peerLength = sizeof(peer);
    const int accepted = accept4(m_fd, reinterpret_cast<sockaddr*>(&peer), &peerLength,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted < 0) return nullptr;
    ++m_accepts;
    std::string address;
    char text[INET_ADDRSTRLEN] = {};
    if (peer.sin_family == AF_INET && inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text)))
        address = text;
    return std::make_unique<X11StreamSocket>(accepted, target, std::move(address));
}

void X11ListeningSocket::OnReady() {
    const std::shared_ptr<bool> alive = m_alive;
    const unsigned before = m_accepts;
    m_target.OnAccept();
    if (!*alive || m_accepts != before || !m_watch) return;
    m_watch->SetConditions(static_cast<GIOCondition>(0));
    m_resume = g_timeout_add(kAcceptRestMs, &X11ListeningSocket::Resume, this);
}

gboolean X11ListeningSocket::Resume(gpointer data) {
    auto* self = static_cast<X11ListeningSocket*>(data);
    self->m_resume = 0;
    if (self->m_watch) self->m_watch->SetConditions(G_IO_IN);
    return G_SOURCE_REMOVE;
}
