#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "fakes/ServerRig.h"

namespace {

using Lines = std::list<std::string>;
using Calls = std::vector<std::string>;

// With the server switched off the lines stay queued, so the queue itself can be read.
struct QueueOnly : ServerRig {
    QueueOnly() { server.m_serverOn = false; }
    // The lines that one arrival queues; a negative or zero result stands for itself.
    Lines Take(const std::string& bytes, int result = -1) {
        bytes.empty() ? device->ArriveResult(result) : device->Arrive(bytes);
        device->notify->OnReceive();
        Lines queued;
        queued.swap(server.m_lineQueue);
        return queued;
    }
    std::shared_ptr<FakeStream> device = StartAndConnect();
};

// Password protection off, so every line is obeyed.
struct Open : ServerRig {
    Open() { server.m_passwordEnabled = false; }
    std::shared_ptr<FakeStream> device = StartAndConnect();
};

TEST(MessageFraming, ShortReadsEndMessagesFullReadsDoNot) {
    QueueOnly rig;
    EXPECT_EQ(rig.Take("2:1"), Lines({"2:1\n"}));
    EXPECT_EQ(rig.Take(":1\n"), Lines({":1\n"}));
    const std::string full(512, 'a');
    EXPECT_EQ(rig.Take(full), Lines());
    EXPECT_EQ(rig.server.PendingText(), full);
    EXPECT_EQ(rig.Take("b\n"), Lines({full + "b\n"}));
    // Line feeds in the read: none is appended to the tail.
    EXPECT_EQ(rig.Take("1\n2\n3"), Lines({"1\n", "2\n"}));
    EXPECT_STREQ(rig.server.PendingText(), "3");
    // A NUL ends the text of its read.
    EXPECT_EQ(rig.Take(std::string("\n4\0\n5\n", 6)), Lines({"3\n"}));
    EXPECT_STREQ(rig.server.PendingText(), "4");
    // A closed or failed read ends the pending line, or makes a lone line feed.
    EXPECT_EQ(rig.Take("", 0), Lines({"4\n"}));
    EXPECT_EQ(rig.Take("", 0), Lines({"\n"}));
    EXPECT_EQ(rig.Take("", -1), Lines({"\n"}));
}

TEST(MessageFraming, RemaindersSixtySixAndSixtySevenAreDropped) {
    for (const char* tail : {"66", "67", "666", "6", "68"}) {
        QueueOnly rig;
        EXPECT_EQ(rig.Take(std::string("1\n") + tail), Lines({"1\n"}));
        const bool dropped = tail == std::string("66") || tail == std::string("67");
        EXPECT_EQ(rig.server.PendingText(), dropped ? "" : std::string(tail)) << tail;
    }
}

TEST(MessageFraming, EveryLineModeReadIsAcknowledgedBeforeItsReplies) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "3000:pw\n");
    device->ArriveResult(-1);
    device->notify->OnReceive();
    EXPECT_EQ(device->sends, Calls({"1000:Office PC:1:1.0 PC\n", kAck, "1500\n", kAck}));
}

TEST(MessageFraming, PayloadIsCollectedAcrossReadsAndHandedOverOnce) {
    Open rig;
    const std::string block = std::string(300, 'a') + std::string(700, 'b');
    ServerRig::Send(*rig.device, "700:1000\n");
    ServerRig::Send(*rig.device, block.substr(0, 300));
    EXPECT_TRUE(rig.executor.calls.empty());
    // The text behind the payload stays in the socket for the next read in line mode.
    ServerRig::Send(*rig.device, block.substr(300) + "2:1:2\n");
    EXPECT_EQ(rig.executor.calls, Calls({"ReceiveRemoteScreen(1000)"}));
    EXPECT_EQ(rig.executor.payloads, Calls({block}));
    EXPECT_EQ(rig.device->receiveSizes, (std::vector<int>{512, 1000, 700}));
    EXPECT_EQ(rig.device->sends.size(), 2u) << "no acknowledgement in payload mode";
    ServerRig::ReceiveAll(*rig.device);
    EXPECT_EQ(rig.executor.calls.back(), "MoveCursorBy(1,2)");
    EXPECT_EQ(rig.device->sends.back(), kAck);
}

TEST(MessageFraming, HeaderEndsItsReadAndAnyLineStartingWith700IsOne) {
    Open rig;
    ServerRig::Send(*rig.device, "3:1\n7001:4\nlost2:9:9\n");
    ServerRig::Send(*rig.device, "abcd");
    EXPECT_EQ(rig.executor.calls, Calls({"ButtonDown(1)", "ReceiveRemoteScreen(4)"}));
    EXPECT_EQ(rig.executor.payloads, Calls({"abcd"}));
}

TEST(MessageFraming, HeaderWithoutPositiveSizeStaysInLineMode) {
    for (const char* header : {"700:0\n", "700:x\n", "700:-5\n", "700\n", "700:99999999999\n"}) {
        Open rig;
        ServerRig::Send(*rig.device, header);
        ServerRig::Send(*rig.device, "2:1:2\n");
        EXPECT_EQ(rig.executor.calls, Calls({"MoveCursorBy(1,2)"})) << header;
        EXPECT_EQ(rig.device->sends.back(), kAck) << header;
    }
}

TEST(MessageFraming, OversizedPayloadIsSkippedNotAllocated) {
    Open rig;
    const int32_t size = CConnectionServer::kMaxPayloadSize + 1;
    ServerRig::Send(*rig.device, "700:" + std::to_string(size) + "\n");
    rig.device->ArriveFill(static_cast<size_t>(size));
    rig.device->Arrive("2:3:4\n");
    ServerRig::ReceiveAll(*rig.device);
    EXPECT_EQ(rig.executor.calls, Calls({"MoveCursorBy(3,4)"}));
}

TEST(MessageFraming, PayloadBeforeThePasswordIsSkipped) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "700:4\n");
    ServerRig::Send(*device, "abcd");
    ServerRig::Send(*device, "3000:pw\n");  // read in step: the payload is over
    EXPECT_TRUE(rig.executor.payloads.empty());
    EXPECT_EQ(device->sends.back(), "1500\n");

    // A password just before the header, in the same read, does count.
    ServerRig other;
    auto second = other.StartAndConnect();
    ServerRig::Send(*second, "3000:pw\n700:4\n");
    ServerRig::Send(*second, "wxyz");
    EXPECT_EQ(other.executor.payloads, Calls({"wxyz"}));
}

TEST(MessageFraming, OverlongUnterminatedLineIsDroppedUpToItsEnd) {
    Open rig;
    const std::string blanks(512, ' ');
    // Three full reads and a short one make a line with its line feed appended: 2046
    // characters fit the work area, 2047 would overrun it.
    for (size_t last : {1u, 510u, 511u}) {
        const std::string head = "2:" + std::to_string(last) + ":1";
        ServerRig::Send(*rig.device, head + blanks.substr(head.size()));
        ServerRig::Send(*rig.device, blanks);
        ServerRig::Send(*rig.device, blanks);
        ServerRig::Send(*rig.device, blanks.substr(0, last - 1) + (last == 1 ? "\n" : " "));
    }
    EXPECT_EQ(rig.executor.calls, Calls({"MoveCursorBy(1,1)", "MoveCursorBy(510,1)"}));

    // Longer: the line goes, what follows its end is read.
    for (int i = 0; i < 6; ++i) {
        ServerRig::Send(*rig.device, blanks);
        EXPECT_LT(std::strlen(rig.server.PendingText()), 2048u);
    }
    ServerRig::Send(*rig.device, " \n2:7:7\n");
    // A short read without a line feed also ends an overlong line.
    for (int i = 0; i < 4; ++i) ServerRig::Send(*rig.device, blanks);
    ServerRig::Send(*rig.device, "zz");
    ServerRig::Send(*rig.device, "2:8:8\n");
    EXPECT_EQ(rig.executor.calls, Calls({"MoveCursorBy(1,1)", "MoveCursorBy(510,1)",
                                         "MoveCursorBy(7,7)", "MoveCursorBy(8,8)"}));
}

TEST(MessageFraming, NewConnectionStartsWithEmptyFraming) {
    Open rig;
    ServerRig::Send(*rig.device, "700:10\n");
    ServerRig::Send(*rig.device, "abc");
    ServerRig::Leave(*rig.device);
    auto second = rig.sockets.Connect();
    ServerRig::Send(*second, "9\n2:5");
    ServerRig::Leave(*second);
    auto third = rig.sockets.Connect();
    ServerRig::Send(*third, ":7\n");
    EXPECT_TRUE(rig.executor.calls.empty()) << "\"2:5\" and \":7\" must not make a command";
    EXPECT_EQ(third->sends.back(), kAck);
}

TEST(LineQueue, StaysQueuedWhileTheServerIsOff) {
    QueueOnly rig;
    rig.server.m_passwordEnabled = false;
    ServerRig::Send(*rig.device, "3:1\n4:1\n");
    EXPECT_TRUE(rig.executor.calls.empty());
    rig.server.m_serverOn = true;
    rig.server.ProcessQueuedLines(false);
    EXPECT_EQ(rig.executor.calls, Calls({"ButtonDown(1)", "ButtonUp(1)"}));
}

TEST(LineQueue, RestrictionIsDecidedAnewForEveryLine) {
    ServerRig rig;
    ServerRig::Send(*rig.StartAndConnect(), "2:1:1\n3000:pw\n2:2:2\n");
    EXPECT_EQ(rig.executor.calls, Calls({"MoveCursorBy(2,2)"}));
}

TEST(LineQueue, PacedProcessingSleepsAfterEveryLine) {
    ServerRig rig;
    rig.Start();
    rig.server.m_lineQueue = {"55:a:", "3000:pw", "3:1"};
    rig.server.ProcessQueuedLines(true);
    EXPECT_EQ(rig.executor.calls, Calls({"ButtonDown(1)"}));
    EXPECT_EQ(rig.clock.sleeps, (std::vector<uint32_t>{23, 23, 23}));
    rig.server.m_lineQueue = {"3:1"};
    rig.server.ProcessQueuedLines(false);
    EXPECT_EQ(rig.clock.sleeps.size(), 3u);
}

}  // namespace
