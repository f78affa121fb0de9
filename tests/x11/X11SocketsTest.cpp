// The GLib sockets and timers against real loopback peers, on the default main context as
// the program runs them.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/x11/X11Sockets.h"
#include "platform/x11/X11Timers.h"

namespace {

using Clock = std::chrono::steady_clock;

// Runs the default context until the condition holds; false when it didn't within the time.
bool RunUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    const guint tick = g_timeout_add(
        5, [](gpointer) { return gboolean(G_SOURCE_CONTINUE); }, nullptr);
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done() && Clock::now() < deadline) g_main_context_iteration(nullptr, TRUE);
    g_source_remove(tick);
    return done();
}

// Runs the default context for a while, whatever happens.
void RunFor(int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    RunUntil([&] { return Clock::now() >= deadline; }, milliseconds + 1000);
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// The device's end: a plain blocking socket.
class Peer {
public:
    explicit Peer(int port) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        timeval timeout = {5, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    }
    ~Peer() { Close(); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool Connected() const { return m_connected; }
    void Send(const std::string& bytes) {
        ASSERT_EQ(send(m_fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    }
    // What has arrived, without waiting.
    std::string ReadSome(size_t max) {
        std::string bytes(max, '\0');
        const ssize_t n = recv(m_fd, &bytes[0], max, MSG_DONTWAIT);
        bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return bytes;
    }
    bool AtEnd() {
        char byte = 0;
        return recv(m_fd, &byte, 1, 0) == 0;
    }
    int LocalPort() const {
        sockaddr_in address = {};
        socklen_t length = sizeof(address);
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }
    void Close() {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
    bool m_connected = false;
};

// Records the notifications; what it does with each is up to the test.
class Recorder : public ISocketNotify {
public:
    void OnAccept() override {
        ++accepts;
        if (onAccept) onAccept();
    }
    void OnReceive() override {
        ++receives;
        if (onReceive) onReceive();
    }
    void OnClose() override {
        ++closes;
        if (onClose) onClose();
    }
    void OnSendReady() override { ++sendReady; }

    int accepts = 0;
    int receives = 0;
    int closes = 0;
    int sendReady = 0;
    std::function<void()> onAccept;
    std::function<void()> onReceive;
    std::function<void()> onClose;
};

class SocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = FreePort();
        listening = factory.CreateListeningSocket(listener);
        ASSERT_TRUE(listening->Create(port));
        ASSERT_TRUE(listening->Listen(5));
    }

    // Connects a peer and accepts it into a stream socket notifying `stream`.
    std::unique_ptr<Peer> ConnectPeer() {
        auto peer = std::make_unique<Peer>(port);
        EXPECT_TRUE(peer->Connected());
        const int before = listener.accepts;
        listener.onAccept = [this] { accepted = listening->Accept(stream); };
        EXPECT_TRUE(RunUntil([&] { return listener.accepts > before && accepted; }));
        return peer;
    }

    std::string ReceiveAll() {
        std::string bytes;
        char chunk[1024];
        for (;;) {
            const int n = accepted->Receive(chunk, sizeof(chunk));
            if (n <= 0) return bytes;
            bytes.append(chunk, static_cast<size_t>(n));
        }
    }

    X11SocketFactory factory;
    Recorder listener;
    Recorder stream;
    int port = 0;
    std::unique_ptr<IListeningSocket> listening;
    std::unique_ptr<IStreamSocket> accepted;
};

TEST_F(SocketTest, AcceptsALoopbackPeerAndKnowsItsAddress) {
    auto peer = ConnectPeer();
    ASSERT_NE(accepted, nullptr);
    EXPECT_EQ(accepted->PeerAddress(), "127.0.0.1");
    EXPECT_EQ(listening->Failure(), ListenFailure::None);
}

TEST_F(SocketTest, APortThatIsTakenIsReportedAsInUse) {
    Recorder other;
    auto second = factory.CreateListeningSocket(other);
    EXPECT_FALSE(second->Create(port) && second->Listen(5));
    EXPECT_EQ(second->Failure(), ListenFailure::PortInUse);
}

TEST_F(SocketTest, ReceivedBytesAreReportedAndReadWithoutWaiting) {
    auto peer = ConnectPeer();
    std::string got;
    stream.onReceive = [&] { got += ReceiveAll(); };
    peer->Send("12:1\n");
    ASSERT_TRUE(RunUntil([&] { return got == "12:1\n"; }));
    char byte = 0;
    EXPECT_LT(accepted->Receive(&byte, 1), 0) << "nothing there must not wait";
    EXPECT_EQ(stream.closes, 0);
}

TEST_F(SocketTest, WhatThePeerSentBeforeClosingIsReadBeforeTheClose) {
    auto peer = ConnectPeer();
    std::string got;
    std::string atClose;
    // A slow reader: one byte per notification.
    stream.onReceive = [&] {
        char byte = 0;
        if (accepted->Receive(&byte, 1) == 1) got.push_back(byte);
    };
    stream.onClose = [&] { atClose = got; };
    peer->Send("last words");
    peer->Close();
    ASSERT_TRUE(RunUntil([&] { return stream.closes == 1; }));
    EXPECT_EQ(atClose, "last words");
    RunFor(100);
    EXPECT_EQ(stream.closes, 1) << "the close is reported once";
}

TEST_F(SocketTest, AnOwnerThatDoesNotReadIsNotToldAgainUntilItReads) {
    auto peer = ConnectPeer();
    peer->Send("waiting");
    ASSERT_TRUE(RunUntil([&] { return stream.receives == 1; }));
    RunFor(100);
    EXPECT_EQ(stream.receives, 1);
    char bytes[3] = {};
    ASSERT_EQ(accepted->Receive(bytes, 3), 3);
    // Four bytes are still there: reading re-arms the notification.
    ASSERT_TRUE(RunUntil([&] { return stream.receives == 2; }));
}

TEST_F(SocketTest, TheOwnerMayDestroyTheSocketInsideANotification) {
    auto peer = ConnectPeer();
    stream.onReceive = [&] { accepted.reset(); };
    peer->Send("bye");
    peer->Close();
    ASSERT_TRUE(RunUntil([&] { return !accepted; }));
    RunFor(100);
    EXPECT_EQ(stream.receives, 1);
    EXPECT_EQ(stream.closes, 0);
}

TEST_F(SocketTest, APeerThatHangsUpAndCallsAgainIsSeenInThatOrder) {
    auto first = ConnectPeer();
    std::vector<std::string> order;
    stream.onReceive = [&] { ReceiveAll(); };
    stream.onClose = [&] { order.push_back("close"); };
    listener.onAccept = [&] {
        order.push_back("accept");
        std::unique_ptr<IStreamSocket> next = listening->Accept(stream);
    };
    // Both are waiting before the loop looks.
    first->Close();
    Peer second(port);
    ASSERT_TRUE(second.Connected());
    ASSERT_TRUE(RunUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"close", "accept"}));
}

TEST_F(SocketTest, NotificationsArriveInsideANestedLoopOfAnEarlierOne) {
    // As a file dialog's loop runs inside the handling of a line, later lines are still
    // read and handled inside it.
    auto peer = ConnectPeer();
    std::vector<std::string> order;
    bool nestedDone = false;
    stream.onReceive = [&] {
        const std::string line = ReceiveAll();
        order.push_back(line);
        if (line != "first") return;
        peer->Send("second");
        EXPECT_TRUE(RunUntil([&] { return order.size() == 2; }));
        order.push_back("end of first");
        nestedDone = true;
    };
    peer->Send("first");
    ASSERT_TRUE(RunUntil([&] { return nestedDone; }));
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "end of first"}));
}

TEST_F(SocketTest, BytesThePeerCannotTakeYetAreQueuedAndSentInOrder) {
    auto peer = ConnectPeer();
    std::string sent;
    for (int i = 0; sent.size() < 24u * 1024u * 1024u; ++i) sent += std::to_string(i) + ",";
    accepted->Send(sent.data(), static_cast<int>(sent.size()));
    accepted->Send("end", 3);
    EXPECT_GT(accepted->QueuedBytes(), 0u);
    std::string received;
    // The peer reads while the loop passes the queue on.
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (received.size() < sent.size() + 3 && Clock::now() < deadline) {
        g_main_context_iteration(nullptr, FALSE);
        received += peer->ReadSome(256 * 1024);
    }
    EXPECT_TRUE(received == sent + "end") << "received " << received.size() << " bytes";
    ASSERT_TRUE(RunUntil([&] { return stream.sendReady > 0; }));
    EXPECT_EQ(accepted->QueuedBytes(), 0u);
}

TEST_F(SocketTest, ShutdownSendEndsTheStreamAfterWhatIsQueued) {
    auto peer = ConnectPeer();
    const std::string block(24 * 1024 * 1024, 'x');
    accepted->Send(block.data(), static_cast<int>(block.size()));
    accepted->ShutdownSend();
    ASSERT_GT(accepted->QueuedBytes(), 0u) << "more than the system takes at once";
    std::string received;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (received.size() < block.size() && Clock::now() < deadline) {
        g_main_context_iteration(nullptr, FALSE);
        received += peer->ReadSome(65536);
    }
    EXPECT_EQ(received.size(), block.size());
    RunFor(10);
    EXPECT_TRUE(peer->AtEnd());
}

TEST_F(SocketTest, KeepAliveProbesAfterTheIdleTimeThenAtTheInterval) {
    auto peer = ConnectPeer();
    accepted->EnableKeepAlive(30000, 5000);
    // Finds the server's end of this connection among the process's descriptors.
    int serverEnd = -1;
    for (int fd = 3; fd < 1024 && serverEnd < 0; ++fd) {
        sockaddr_in address = {};
        socklen_t length = sizeof(address);
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            ntohs(address.sin_port) == peer->LocalPort())
            serverEnd = fd;
    }
    ASSERT_GE(serverEnd, 0);
    int value = 0;
    socklen_t length = sizeof(value);
    ASSERT_EQ(getsockopt(serverEnd, SOL_SOCKET, SO_KEEPALIVE, &value, &length), 0);
    EXPECT_EQ(value, 1);
    ASSERT_EQ(getsockopt(serverEnd, IPPROTO_TCP, TCP_KEEPIDLE, &value, &length), 0);
    EXPECT_EQ(value, 30);
    ASSERT_EQ(getsockopt(serverEnd, IPPROTO_TCP, TCP_KEEPINTVL, &value, &length), 0);
    EXPECT_EQ(value, 5);
    ASSERT_EQ(getsockopt(serverEnd, IPPROTO_TCP, TCP_NODELAY, &value, &length), 0);
    EXPECT_NE(value, 0);
}

TEST(Timers, FireOnceInTheOrderOfTheirDelays) {
    X11Timers timers;
    std::vector<int> fired;
    timers.StartOnce(30, [&] { fired.push_back(30); });
    timers.StartOnce(0, [&] { fired.push_back(0); });
    timers.StartOnce(10, [&] { fired.push_back(10); });
    ASSERT_TRUE(RunUntil([&] { return fired.size() == 3; }));
    RunFor(50);
    EXPECT_EQ(fired, (std::vector<int>{0, 10, 30}));
}

TEST(Timers, ACancelledTimerNeverFiresEvenWhenCancelledByAnother) {
    X11Timers timers;
    std::vector<int> fired;
    ITimers::TimerId later = 0;
    EXPECT_NE(timers.StartOnce(5,
                               [&] {
                                   fired.push_back(1);
                                   timers.Cancel(later);
                               }),
              0u);
    later = timers.StartOnce(40, [&] { fired.push_back(2); });
    const ITimers::TimerId never = timers.StartOnce(10, [&] { fired.push_back(3); });
    timers.Cancel(never);
    timers.Cancel(never);
    timers.Cancel(12345);
    RunFor(80);
    EXPECT_EQ(fired, (std::vector<int>{1}));
}

TEST(Timers, ATimerMayStartAnotherFromItsCallbackAndFiresInANestedLoop) {
    X11Timers timers;
    std::vector<std::string> fired;
    timers.StartOnce(0, [&] {
        fired.push_back("outer");
        timers.StartOnce(5, [&] { fired.push_back("inner"); });
        EXPECT_TRUE(RunUntil([&] { return fired.size() == 2; }));
    });
    ASSERT_TRUE(RunUntil([&] { return fired.size() == 2; }));
    EXPECT_EQ(fired, (std::vector<std::string>{"outer", "inner"}));
}

TEST(Timers, DestroyingTheTimersDropsWhatIsPending) {
    int fired = 0;
    {
        X11Timers timers;
        timers.StartOnce(5, [&] { ++fired; });
    }
    RunFor(40);
    EXPECT_EQ(fired, 0);
}

}  // namespace
