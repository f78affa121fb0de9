#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fakes/FakeBackloggedSocket.h"
#include "fakes/ServerRig.h"
#include "net/OutgoingQueue.h"
#include "net/ServerSockets.h"

namespace {

constexpr size_t kChunk = COutgoingQueue::kChunkSize;

// A stream of count patterned bytes that counts how often it was read.
class PatternStream : public IOutgoingStream {
public:
    PatternStream(size_t count, int* reads) : m_left(count), m_reads(reads) {}
    size_t Read(char* buffer, size_t maxCount) override {
        ++*m_reads;
        const size_t n = std::min(maxCount, m_left);
        for (size_t i = 0; i < n; ++i) buffer[i] = static_cast<char>((m_next++) % 251);
        m_left -= n;
        return n;
    }

private:
    size_t m_left;
    size_t m_next = 0;
    int* m_reads;
};

std::string Pattern(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

struct Connection {
    Connection() {
        auto owned = std::make_unique<FakeBackloggedSocket>();
        socket = owned.get();
        connection.Attach(std::move(owned));
    }
    // The system takes what was queued and says so.
    void Drain() {
        socket->queued = 0;
        connection.OnSendReady();
    }

    ServerRig rig;  // the server and log that a connection reports to; not reached here
    CConnectionSocket connection{rig.server, rig.log, 1};
    FakeBackloggedSocket* socket;
    int reads = 0;
};

TEST(OutgoingQueue, StreamIsReadOnlyAsFastAsTheSocketTakesIt) {
    Connection c;
    c.socket->backsUp = true;
    c.connection.SendStream(std::make_unique<PatternStream>(2 * kChunk + 5, &c.reads));
    EXPECT_EQ(c.reads, 1);
    EXPECT_EQ(c.socket->sends.size(), 1u);
    // A reply made meanwhile waits behind the stream instead of landing inside it.
    c.connection.Send("ack", 3);
    EXPECT_EQ(c.socket->sends.size(), 1u);
    c.Drain();
    c.Drain();
    EXPECT_EQ(c.reads, 3);
    c.Drain();
    c.Drain();
    EXPECT_EQ(c.socket->SentText(), Pattern(2 * kChunk + 5) + "ack");
    for (const std::string& block : c.socket->sends) EXPECT_LE(block.size(), kChunk);
    // Once the stream is out, sends go straight to the socket again.
    c.socket->backsUp = false;
    c.connection.Send("next", 4);
    EXPECT_EQ(c.socket->sends.back(), "next");
}

TEST(OutgoingQueue, SocketThatTakesEverythingGetsTheWholeStreamAtOnce) {
    Connection c;
    c.connection.SendStream(std::make_unique<PatternStream>(3 * kChunk, &c.reads));
    EXPECT_EQ(c.socket->SentText(), Pattern(3 * kChunk));
    EXPECT_EQ(c.reads, 4);  // the last read finds the end
    c.connection.Send("x", 1);
    EXPECT_EQ(c.socket->sends.back(), "x");
}

TEST(OutgoingQueue, StreamsAndBytesKeepTheirOrder) {
    Connection c;
    c.socket->backsUp = true;
    int otherReads = 0;
    c.connection.SendStream(std::make_unique<PatternStream>(10, &c.reads));
    c.connection.Send("-", 1);
    c.connection.SendStream(std::make_unique<PatternStream>(20, &otherReads));
    c.connection.Send("+", 1);
    for (int i = 0; i < 6; ++i) c.Drain();
    EXPECT_EQ(c.socket->SentText(), Pattern(10) + "-" + Pattern(20) + "+");
}

TEST(OutgoingQueue, DeviceThatStopsReadingIsCutOffAtTheBound) {
    Connection c;
    c.socket->backsUp = true;
    c.connection.SendStream(std::make_unique<PatternStream>(4 * kChunk, &c.reads));
    const std::string block(1024 * 1024, 'r');
    for (size_t held = 0; held < COutgoingQueue::kMaxHeldBytes; held += block.size())
        c.connection.Send(block.data(), static_cast<int>(block.size()));
    EXPECT_EQ(c.socket->shutdownAfter, std::string::npos);
    c.connection.Send("!", 1);
    EXPECT_EQ(c.socket->shutdownAfter, 1u);
    // Nothing that waited is sent any more.
    c.Drain();
    EXPECT_EQ(c.socket->sends.size(), 1u);
    EXPECT_EQ(c.reads, 1);
}

TEST(OutgoingQueue, ShutdownWaitsForTheStream) {
    Connection c;
    c.socket->backsUp = true;
    c.connection.SendStream(std::make_unique<PatternStream>(kChunk + 1, &c.reads));
    c.connection.ShutdownSend();
    EXPECT_EQ(c.socket->shutdownAfter, std::string::npos);
    c.Drain();
    c.Drain();
    EXPECT_EQ(c.socket->shutdownAfter, 2u);
    EXPECT_EQ(c.socket->SentText(), Pattern(kChunk + 1));
}

}  // namespace
