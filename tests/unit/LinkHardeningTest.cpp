#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fakes/ServerRig.h"
#include "fakes/TempFile.h"
#include "net/LoginThrottle.h"
#include "platform/common/PacedSound.h"
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

TEST(Throttling, ABlockedAddressIsNeverForgottenForNewerOnes) {
    CLoginThrottle throttle;
    // Blocked for two minutes, longer than the budget's memory.
    for (int i = 0; i < 7; ++i) throttle.RecordRefusal("first", 0);
    for (size_t i = 0; i < CLoginThrottle::kMaxAddresses + 10; ++i)
        throttle.RecordRefusal("10.1." + std::to_string(i), 1);
    EXPECT_EQ(throttle.Size(), CLoginThrottle::kMaxAddresses);
    const uint32_t later = 1 + CLoginThrottle::kBudgetWindowMs;
    EXPECT_TRUE(throttle.IsBlocked("first", later));
    EXPECT_FALSE(throttle.IsBlocked("10.2.0.1", later));
    // Records that no longer count make room for new ones.
    const uint32_t quiet = 1 + CLoginThrottle::kWindowMs;
    for (int i = 0; i < 5; ++i) throttle.RecordRefusal("late", quiet);
    EXPECT_EQ(throttle.Size(), CLoginThrottle::kMaxAddresses);
    EXPECT_TRUE(throttle.IsBlocked("late", quiet));
}

// One machine on a LAN can take hundreds of addresses: what it gains is one guess every six
// seconds, and the owner's device still gets in meanwhile.
TEST(Throttling, ManyAddressesShareTenVerdictsAMinuteAndAKnownDeviceStillGetsIn) {
    ServerRig rig;
    rig.Start();
    auto owner = rig.sockets.Connect("10.0.0.2");
    ServerRig::Send(*owner, "3000:pw\n");
    ServerRig::Leave(*owner);

    int verdicts = 0;
    for (int minute = 0; minute < 3; ++minute) {
        int thisMinute = 0;
        for (int i = 0; i < 300; ++i, rig.clock.now += 200) {
            auto guess = rig.sockets.Connect("10.9." + std::to_string(i / 250) + "." +
                                             std::to_string(i % 250));
            if (guess->destroyed) continue;  // closed before the hello
            ServerRig::Send(*guess, "3000:wrong\n");
            if (guess->SentText().find("2000\n") != std::string::npos) ++thisMinute;
            ServerRig::Leave(*guess);
        }
        EXPECT_LE(thisMinute, static_cast<int>(CLoginThrottle::kBudget)) << minute;
        verdicts += thisMinute;
        auto again = rig.sockets.Connect("10.0.0.2");
        ServerRig::Send(*again, "3000:pw\n");
        EXPECT_EQ(again->sends.back(), "1500\n") << minute;
        ServerRig::Leave(*again);
    }
    EXPECT_GE(verdicts, 10);
}

// A stranger who connects and says nothing can't keep the owner out.
TEST(TheSlot, ANewcomerReplacesAConnectionWithoutThePasswordWhichCountsAsARefusal) {
    ServerRig rig;
    rig.Start();
    for (uint32_t i = 0; i < CLoginThrottle::kMaxRefusals; ++i) {
        auto squatter = rig.sockets.Connect("10.0.0.66");
        auto owner = rig.sockets.Connect("10.0.0.2");
        EXPECT_TRUE(squatter->destroyed) << i;
        ServerRig::Send(*owner, "3000:pw\n");
        EXPECT_EQ(owner->sends.back(), "1500\n") << i;
        // Once in, the owner keeps the server to itself.
        auto late = rig.sockets.Connect("10.0.0.67");
        EXPECT_EQ(late->sends, std::vector<std::string>{"2000\n"}) << i;
        EXPECT_FALSE(owner->destroyed) << i;
        ServerRig::Leave(*owner);
    }
    // Five silent connections were five refusals; a timed-out one counts as well.
    EXPECT_TRUE(rig.sockets.Connect("10.0.0.66")->destroyed);
    auto silent = rig.sockets.Connect("10.0.0.70");
    rig.timers.Advance(CConnectionServer::kPasswordTimeoutMs);
    EXPECT_TRUE(silent->destroyed);
    EXPECT_EQ(rig.server.IsConnected(), false);
}

TEST(TheSlot, ADeviceThatClosesAndComesBackAtOnceIsServedEveryTime) {
    ServerRig rig;
    rig.Start();
    for (int i = 0; i < 50; ++i) {
        auto device = rig.sockets.Connect();
        ServerRig::Send(*device, "55:Phone:\n3000:pw\n");
        ASSERT_EQ(device->sends.back(), "1500\n") << i;
        ServerRig::Leave(*device);
    }
}

// Lines replayed with no device connected may hold the password; the next device must still
// give it.
TEST(TheSlot, AcceptingAConnectionClearsTheAuthentication) {
    ServerRig rig;
    rig.Start();
    rig.server.ReplayLines({"3000:pw\n"});
    ASSERT_TRUE(rig.server.IsAuthenticated());
    auto device = rig.sockets.Connect();
    EXPECT_FALSE(rig.server.IsAuthenticated());
    ServerRig::Send(*device, "2:5:5\n");
    EXPECT_TRUE(rig.executor.calls.empty());
}

// A stranger connecting and leaving in a loop must not fill the disk or keep the speaker busy.
TEST(StrangersLeaveLittleTrace, TheLogStopsGrowingAndSoundsArePaced) {
    TempFile logFile;
    {
        ServerRig rig(logFile.path.c_str());
        rig.Start();
        // The owner holds the slot: everyone else is turned away, and logged.
        ServerRig::Send(*rig.sockets.Connect("10.0.0.2"), "3000:pw\n");
        for (int i = 0; i < 10000; ++i) rig.sockets.Connect("10.0.0.9");
    }
    const std::string log = logFile.Content();
    EXPECT_LE(log.size(), static_cast<size_t>(DiagnosticLog::kMaxBytes));
    EXPECT_GE(log.size(), static_cast<size_t>(DiagnosticLog::kMaxBytes) - 10);

    FakeSound speaker;
    FakeClock clock;
    CPacedSound sound(speaker, clock);
    for (int i = 0; i < 30; ++i, clock.now += 100) sound.Play("Windows XP Hardware Insert.wav");
    EXPECT_EQ(speaker.played.size(), 3u);
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
