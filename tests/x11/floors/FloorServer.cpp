#include "FloorServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace {

constexpr size_t kReadSize = 512;
constexpr char kAcknowledgement[4] = {'\n', 0, 0, 0};
// A line longer than this is no command of the device; it is dropped, not kept growing.
constexpr size_t kMaxPending = 2048;
constexpr int kSendTimeoutMs = 5000;
constexpr char kHello[] = "1000:Floor:0:1.0 PC\n";
constexpr char kRefused[] = "2000\n";

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

}  // namespace

FloorServer::~FloorServer() {
    CloseConnection();
    if (m_listener >= 0) close(m_listener);
}

void FloorServer::Watch(int fd, std::function<void()> onReadable) {
    m_watched = fd;
    m_onWatched = std::move(onReadable);
}

bool FloorServer::Listen(unsigned short port) {
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0) return false;
    const int reuse = 1;
    setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
           listen(m_listener, 1) == 0;
}

int FloorServer::Run(unsigned short port, unsigned lifetimeSeconds) {
    if (!Listen(port)) return 4;
    const Clock::time_point end = Clock::now() + std::chrono::seconds(lifetimeSeconds);
    for (int left; (left = MillisecondsUntil(end)) > 0;) {
        pollfd fds[3] = {
            {m_listener, POLLIN, 0}, {m_connection, POLLIN, 0}, {m_watched, POLLIN, 0}};
        if (poll(fds, 3, left) < 0 && errno != EINTR) return 5;
        if (fds[2].revents & POLLIN) m_onWatched();
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) OnRead();
        if (fds[0].revents & POLLIN) OnAccept();
    }
    return 0;
}

void FloorServer::OnAccept() {
    const int accepted = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted < 0) return;
    if (m_connection >= 0) {
        send(accepted, kRefused, sizeof(kRefused) - 1, MSG_NOSIGNAL);
        close(accepted);
        return;
    }
    // Replies follow the acknowledgement at once, as the real server sends them.
    const int noDelay = 1;
    setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof(noDelay));
    m_connection = accepted;
    m_pending.clear();
    Send(kHello, sizeof(kHello) - 1);
}

void FloorServer::OnRead() {
    char data[kReadSize];
    const ssize_t count = recv(m_connection, data, kReadSize, 0);
    if (count <= 0) {
        if (count == 0 || (errno != EINTR && errno != EAGAIN)) CloseConnection();
        return;
    }
    Send(kAcknowledgement, sizeof(kAcknowledgement));
    m_pending.append(data, static_cast<size_t>(count));
    size_t start = 0;
    for (size_t end; (end = m_pending.find('\n', start)) != std::string::npos; start = end + 1) {
        m_handler(*this, std::string_view(m_pending).substr(start, end - start));
    }
    m_pending.erase(0, start);
    if (m_pending.size() > kMaxPending) m_pending.clear();
}

void FloorServer::CloseConnection() {
    if (m_connection >= 0) close(m_connection);
    m_connection = -1;
    m_pending.clear();
}

bool FloorServer::Send(const char* data, size_t length) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
    while (length > 0 && m_connection >= 0) {
        const ssize_t sent = send(m_connection, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            data += sent;
            length -= static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        pollfd writable = {m_connection, POLLOUT, 0};
        if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) ||
            poll(&writable, 1, MillisecondsUntil(deadline)) != 1) {
            return false;
        }
    }
    return length == 0;
}

int RunFloor(int argc, char** argv, FloorServer& server) {
    if (argc < 3) return 2;
    const long port = std::strtol(argv[1], nullptr, 10);
    const long lifetime = std::strtol(argv[2], nullptr, 10);
    if (port <= 0 || port > 65535 || lifetime <= 0 || lifetime > 86400) return 2;
    return server.Run(static_cast<unsigned short>(port), static_cast<unsigned>(lifetime));
}
