#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "fakes/ServerRig.h"

// The framing as the server runs it: one receive per notification, the acknowledgement, the
// hand-over of lines and payloads and the password gate. The cutting itself is tested on
// CLineFramer alone.
namespace {

using Calls = std::vector<std::string>;

// Password protection off, so every line is obeyed.
struct Open : ServerRig {
    Open() { SetPasswordEnabled(false); }
    std::shared_ptr<FakeStream> device = StartAndConnect();
};

TEST(MessageFraming, EveryLineModeReadIsAcknowledgedBeforeItsReplies) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "3000:pw\n");
    device->ArriveResult(-1);
    device->notify->OnReceive();
    EXPECT_EQ(device->sends, Calls({"1000:Office PC:1:1.0 PC\n", kAck, "1500\n", kAck}));
    EXPECT_EQ(device->receiveSizes, (std::vector<int>{512, 512}));
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

TEST(MessageFraming, NewConnectionStartsWithEmptyFraming) {
    Open rig;
    ServerRig::Send(*rig.device, "700:10\n");
    ServerRig::Send(*rig.device, "abc");
    ServerRig::Leave(*rig.device);
    auto second = rig.sockets.Connect();
    EXPECT_FALSE(rig.server.Framer().InPayload());
    ServerRig::Send(*second, "9\n2:5");
    ServerRig::Leave(*second);
    auto third = rig.sockets.Connect();
    EXPECT_EQ(rig.server.Framer().Pending(), "");
    ServerRig::Send(*third, ":7\n");
    EXPECT_TRUE(rig.executor.calls.empty()) << "\"2:5\" and \":7\" must not make a command";
    EXPECT_EQ(third->sends.back(), kAck);
}

TEST(LineQueue, StaysQueuedWhileTheServerIsOff) {
    Open rig;
    rig.server.SetServerOn(false);
    ServerRig::Send(*rig.device, "3:1\n4:1\n");
    EXPECT_TRUE(rig.executor.calls.empty());
    EXPECT_EQ(rig.device->sends.back(), kAck) << "read and acknowledged all the same";
    rig.server.SetServerOn(true);
    ServerRig::Send(*rig.device, "5:97\n");
    EXPECT_EQ(rig.executor.calls, Calls({"ButtonDown(1)", "ButtonUp(1)", "TypeCharacter(97)"}));
}

TEST(LineQueue, LinesADepartedDeviceLeftAreNotRunForTheNext) {
    Open rig;
    rig.server.SetServerOn(false);
    ServerRig::Send(*rig.device, "3:1\n");
    ServerRig::Leave(*rig.device);
    auto next = rig.sockets.Connect();
    rig.server.SetServerOn(true);
    ServerRig::Send(*next, "4:1\n");
    EXPECT_EQ(rig.executor.calls, Calls({"ButtonUp(1)"}));
}

TEST(LineQueue, RestrictionIsDecidedAnewForEveryLine) {
    ServerRig rig;
    ServerRig::Send(*rig.StartAndConnect(), "2:1:1\n3000:pw\n2:2:2\n");
    EXPECT_EQ(rig.executor.calls, Calls({"MoveCursorBy(2,2)"}));
    EXPECT_EQ(rig.gate.passwords, Calls({"pw"}));
}

TEST(LineQueue, PacedProcessingSleepsAfterEveryLine) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    rig.server.ReplayLines({"55:a:", "3000:pw", "3:1"});
    EXPECT_EQ(rig.executor.calls, Calls({"ButtonDown(1)"}));
    EXPECT_EQ(rig.clock.sleeps, (std::vector<uint32_t>{23, 23, 23}));
    ServerRig::Send(*device, "3:1\n");
    EXPECT_EQ(rig.executor.calls.size(), 2u);
    EXPECT_EQ(rig.clock.sleeps.size(), 3u) << "lines from the device are not paced";
}

// Each push waits for its save dialog, and a push can arrive while one shows: together they
// must not take the memory that one oversized push may not.
class NestedPushExecutor : public RecordingExecutor {
public:
    void ReceiveRemoteScreen(const void* data, int length) override {
        RecordingExecutor::ReceiveRemoteScreen(data, length);
        if (duringDialog) std::exchange(duringDialog, nullptr)();
    }
    std::function<void()> duringDialog;
};

TEST(MessageFraming, PayloadsHeldForOpenDialogsShareOneLimit) {
    NestedPushExecutor executor;
    ServerRig rig(executor);
    rig.SetPasswordEnabled(false);
    auto device = rig.StartAndConnect();
    const int32_t half = CLineFramer::kMaxPayloadSize / 2;
    executor.duringDialog = [&] {
        ServerRig::Send(*device, "700:" + std::to_string(half + 1) + "\n");
        device->ArriveFill(static_cast<size_t>(half + 1));
        ServerRig::ReceiveAll(*device);
        // What still fits beside the first is taken.
        ServerRig::Send(*device, "700:" + std::to_string(half) + "\n");
        device->ArriveFill(static_cast<size_t>(half));
        ServerRig::ReceiveAll(*device);
    };
    ServerRig::Send(*device, "700:" + std::to_string(half) + "\n");
    device->ArriveFill(static_cast<size_t>(half));
    ServerRig::ReceiveAll(*device);
    ASSERT_EQ(executor.payloads.size(), 2u);
    EXPECT_EQ(executor.payloads[0].size(), static_cast<size_t>(half));
    EXPECT_EQ(executor.payloads[1].size(), static_cast<size_t>(half));
    // The limit is free again once the dialogs have closed.
    ServerRig::Send(*device, "700:" + std::to_string(half + 1) + "\n");
    device->ArriveFill(static_cast<size_t>(half + 1));
    ServerRig::ReceiveAll(*device);
    EXPECT_EQ(executor.payloads.size(), 3u);
}

}  // namespace
