#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fakes/ServerRig.h"
#include "net/LoginThrottle.h"
#include "protocol/ModalNesting.h"

namespace {

using Calls = std::vector<std::string>;

// What the device received after its hello.
std::string AfterHello(const FakeStream& device) {
    std::string all;
    for (size_t i = 1; i < device.sends.size(); ++i) all += device.sends[i];
    return all;
}

TEST(OnePasswordTry, NothingAfterARefusalIsObeyedOrAnswered) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "3000:wrong\n3000:pw\n2:5:5\n");
    EXPECT_EQ(AfterHello(*device), kAck + "2000\n");
    // Later reads are taken off the socket but neither acknowledged nor obeyed.
    ServerRig::Send(*device, "3000:pw\n2:1:1\n");
    ServerRig::Send(*device, "700:3\nabc");
    EXPECT_EQ(AfterHello(*device), kAck + "2000\n");
    EXPECT_TRUE(rig.executor.calls.empty());
    EXPECT_FALSE(rig.server.IsAuthenticated());
    EXPECT_TRUE(device->incoming.empty());
}

TEST(OnePasswordTry, ARefusedDeviceThatStaysIsClosedAfterTwoSeconds) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "3000:wrong\n");
    rig.timers.Advance(CConnectionServer::kRefusedCloseMs - 1);
    EXPECT_TRUE(rig.server.IsConnected());
    rig.timers.Advance(1);
    EXPECT_FALSE(rig.server.IsConnected());
    EXPECT_TRUE(device->destroyed);
    // The slot is free: the next device is greeted, not turned away.
    auto next = rig.sockets.Connect();
    EXPECT_EQ(next->sends.front(), "1000:Office PC:1:1.0 PC\n");
}

TEST(IdleLimits, ADeviceWithoutThePasswordIsClosedAfterTwentySeconds) {
    ServerRig rig;
    auto stranger = rig.StartAndConnect();
    rig.timers.Advance(CConnectionServer::kPasswordTimeoutMs - 1);
    EXPECT_TRUE(rig.server.IsConnected());
    rig.timers.Advance(1);
    EXPECT_FALSE(rig.server.IsConnected());
    EXPECT_EQ(stranger->sends.size(), 1u);  // the hello, nothing else

    // Given in time, the password ends the countdown, and the device gets keep-alive.
    auto device = rig.sockets.Connect();
    EXPECT_EQ(device->keepAlive.first, 0u);
    ServerRig::Send(*device, "3000:pw\n");
    rig.timers.Advance(60000);
    EXPECT_TRUE(rig.server.IsConnected());
    EXPECT_EQ(device->keepAlive, std::make_pair(CConnectionServer::kKeepAliveIdleMs,
                                                CConnectionServer::kKeepAliveIntervalMs));
}

TEST(IdleLimits, WithoutProtectionADeviceHasKeepAliveAtOnceAndNoCountdown) {
    ServerRig rig;
    rig.SetPasswordEnabled(false);
    auto device = rig.StartAndConnect();
    EXPECT_EQ(device->keepAlive.first, CConnectionServer::kKeepAliveIdleMs);
    EXPECT_EQ(rig.timers.Pending(), 0u);
}

TEST(IdleLimits, TimersOfADepartedDeviceDoNotReachTheNext) {
    ServerRig rig;
    auto first = rig.StartAndConnect();
    rig.timers.Advance(15000);
    ServerRig::Leave(*first);
    auto second = rig.sockets.Connect();
    // The first device's countdown would have ended at 20 s; the second has its own.
    rig.timers.Advance(10000);
    EXPECT_TRUE(rig.server.IsConnected());
    rig.timers.Advance(10000);
    EXPECT_FALSE(rig.server.IsConnected());
}

TEST(EmptyPassword, WithProtectionOnItAcceptsNothing) {
    ServerRig rig;
    ServerConfig config = rig.server.Config();
    config.password.clear();
    rig.server.Configure(config);
    rig.Start();
    for (const char* line : {"3000\n", "3000:\n"}) {
        auto device = rig.sockets.Connect();
        ServerRig::Send(*device, line);
        EXPECT_EQ(device->sends.back(), "2000\n") << line;
        EXPECT_FALSE(rig.server.IsAuthenticated());
        ServerRig::Leave(*device);
    }
}

TEST(Throttling, FiveRefusalsFromOneAddressTurnItAwayForAWhile) {
    ServerRig rig;
    rig.Start();
    for (int i = 0; i < 5; ++i) {
        auto device = rig.sockets.Connect("10.0.0.7");
        ServerRig::Send(*device, "3000:wrong\n");
        ServerRig::Leave(*device);
    }
    // Closed at once: no hello, no slot taken, no log line; other addresses are served.
    auto blocked = rig.sockets.Connect("10.0.0.7");
    EXPECT_TRUE(blocked->destroyed);
    EXPECT_TRUE(blocked->sends.empty());
    EXPECT_FALSE(rig.server.IsConnected());
    auto other = rig.sockets.Connect("10.0.0.8");
    EXPECT_EQ(other->sends.size(), 1u);
    ServerRig::Leave(*other);

    rig.clock.now += CLoginThrottle::kFirstBlockMs;
    auto again = rig.sockets.Connect("10.0.0.7");
    EXPECT_FALSE(again->destroyed);
    // The right password clears the address's record.
    ServerRig::Send(*again, "3000:pw\n");
    ServerRig::Leave(*again);
    auto wrongOnce = rig.sockets.Connect("10.0.0.7");
    ServerRig::Send(*wrongOnce, "3000:wrong\n");
    ServerRig::Leave(*wrongOnce);
    EXPECT_FALSE(rig.sockets.Connect("10.0.0.7")->destroyed);
}

TEST(Throttling, BlocksDoubleWithEachRefusalAfterOneUpToFifteenMinutes) {
    CLoginThrottle throttle;
    uint32_t now = 0xFFFFF000u;  // the tick count wraps on the way
    for (int i = 0; i < 4; ++i) throttle.RecordRefusal("a", now);
    EXPECT_FALSE(throttle.IsBlocked("a", now));
    throttle.RecordRefusal("a", now);
    uint32_t expected = CLoginThrottle::kFirstBlockMs;
    for (int block = 0; block < 8; ++block) {
        EXPECT_TRUE(throttle.IsBlocked("a", now + expected - 1)) << block;
        EXPECT_FALSE(throttle.IsBlocked("a", now + expected)) << block;
        now += expected;
        throttle.RecordRefusal("a", now);
        expected = std::min(expected * 2, CLoginThrottle::kLongestBlockMs);
    }
    EXPECT_EQ(expected, CLoginThrottle::kLongestBlockMs);
    // Refusals spread wider than ten minutes never add up to a block.
    for (int i = 0; i < 10; ++i) {
        throttle.RecordRefusal("slow", now);
        now += CLoginThrottle::kWindowMs;
        EXPECT_FALSE(throttle.IsBlocked("slow", now));
    }
}

TEST(Throttling, RemembersAtMostTheNewestAddresses) {
    CLoginThrottle throttle;
    for (int i = 0; i < 5; ++i) throttle.RecordRefusal("first", 0);
    for (size_t i = 0; i < CLoginThrottle::kMaxAddresses + 10; ++i) {
        throttle.RecordRefusal("10.1." + std::to_string(i), 1);
    }
    EXPECT_EQ(throttle.Size(), CLoginThrottle::kMaxAddresses);
    EXPECT_FALSE(throttle.IsBlocked("first", 2));
}

// A modal loop inside a dispatch can see the device leave and the next one arrive: what is
// left of the departed device's read is dropped, never run under the next device's rights.
class NestedLoopExecutor : public RecordingExecutor {
public:
    void StopGlide() override {
        RecordingExecutor::StopGlide();
        if (duringDispatch) duringDispatch();
    }
    std::function<void()> duringDispatch;
};

TEST(QueuedLines, LeftOverLinesOfADepartedDeviceAreDropped) {
    NestedLoopExecutor executor;
    ServerRig rig(executor);
    rig.SetPasswordEnabled(false);
    auto device = rig.StartAndConnect();
    std::shared_ptr<FakeStream> next;
    executor.duringDispatch = [&] {
        ServerRig::Leave(*device);
        next = rig.sockets.Connect();
    };
    ServerRig::Send(*device, "45\n2:1:1\n3000:pw\n");
    EXPECT_EQ(executor.calls, Calls{"StopGlide()"});
    ASSERT_TRUE(next);
    EXPECT_EQ(next->sends, std::vector<std::string>{"1000:Office PC:0:1.0 PC\n"});
}

TEST(ModalNesting, FileDialogsAndMessageBoxesShareOneLimit) {
    CModalNesting nesting;
    std::vector<std::unique_ptr<CModalNesting::Scope>> open;
    while (nesting.CanOpen()) open.push_back(std::make_unique<CModalNesting::Scope>(nesting));
    EXPECT_EQ(open.size(), static_cast<size_t>(CModalNesting::kMaxDepth));
    open.pop_back();
    EXPECT_TRUE(nesting.CanOpen());
    EXPECT_EQ(nesting.Depth(), CModalNesting::kMaxDepth - 1);
}

}  // namespace
