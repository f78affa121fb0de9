#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "desktop/WindowList.h"
#include "fakes/WindowRig.h"

namespace {

TEST(WindowList, ForegroundIndexCountsInKeyOrder) {
    WindowRig rig;
    rig.windows.Add(0x10, "A");
    rig.windows.Add(0x20, "d");
    rig.windows.foreground = 0x10;
    EXPECT_TRUE(rig.executor.SendWindowList(false));
    EXPECT_EQ(rig.Received(), "124:1:-1|-2|100|0:-1|-2|65|0\n");
}

TEST(WindowList, AnUnlistedForegroundWindowGetsTheCount) {
    WindowRig rig;
    rig.windows.Add(0x10, "One");
    rig.windows.Add(0x11, "Two");
    rig.windows.Add(0x12, "Three");
    rig.windows.Add(0x13, "Owned dialog").parent = 0x10;
    rig.windows.foreground = 0x13;
    rig.executor.SendWindowList(false);
    EXPECT_EQ(rig.Received().compare(0, 6, "124:3:"), 0);
}

TEST(WindowList, NoWindowsIsSixBytes) {
    WindowRig rig;
    EXPECT_FALSE(rig.executor.SendWindowList(false));
    EXPECT_EQ(rig.Received(), "124:0\n");
}

TEST(WindowList, ManyWindowsGoInOneSend) {
    WindowRig rig;
    for (int i = 0; i < 200; ++i) rig.windows.Add(0x1000 + i, "Window " + std::to_string(i));
    rig.executor.SendWindowList(false);
    const std::string list = rig.Received();
    EXPECT_EQ(rig.SendCalls(), 1u);
    EXPECT_EQ(std::count(list.begin(), list.end(), ':'), 201);
    EXPECT_EQ(list.back(), '\n');
}

// A periodic list waits 10 000 ms after any list, over the wrap of the 32-bit tick.
struct Poll : WindowRig {
    Poll() {
        windows.Add(0x10, "One");
        server.clock.now = 0xFFFFF000u;
        executor.SendWindowList(false);
        Received();
        windows.Add(0x11, "Two");
    }
};

TEST(WindowListPoll, ThrottledUntilTenSecondsAcrossTheWrap) {
    Poll p;
    p.server.clock.now = 0xFFFFF000u + 9999;  // past the wrap
    EXPECT_FALSE(p.executor.SendWindowList(true));
    EXPECT_EQ(p.windows.enumerations, 1);
    p.server.clock.now = 0xFFFFF000u + 10000;
    EXPECT_TRUE(p.executor.SendWindowList(true));
    EXPECT_EQ(p.Received(), "124:2:" + KeyOf("One") + ":" + KeyOf("Two") + "\n");
    EXPECT_EQ(p.executor.m_lastListTick, 0xFFFFF000u + 10000);
}

TEST(WindowListPoll, SameCountEnumeratesButSendsNothing) {
    Poll p;
    p.windows.windows[1].title = "Three";
    p.windows.windows.erase(p.windows.windows.begin());  // one gone, one new: same count
    p.server.clock.now += 20000;
    EXPECT_FALSE(p.executor.SendWindowList(true));
    EXPECT_EQ(p.Received(), "");
    // The registry holds the new window, for the icon and action commands that follow.
    EXPECT_EQ(p.executor.m_windowHandle.count(KeyOf("Three")), 1u);
    EXPECT_EQ(p.executor.m_lastListTick, 0xFFFFF000u);
}

TEST(WindowListPoll, TheInitialTickThrottlesOnlyRightAfterTheMiddleOfTheRange) {
    WindowRig rig;
    rig.windows.Add(0x10, "One");
    rig.server.clock.now = 0x80000000u + 9999;
    EXPECT_FALSE(rig.executor.SendWindowList(true));
    EXPECT_EQ(rig.windows.enumerations, 0);
    rig.server.clock.now = 5;
    EXPECT_TRUE(rig.executor.SendWindowList(true));
    EXPECT_EQ(rig.Received(), "124:1:" + KeyOf("One") + "\n");
}

TEST(WindowListPoll, ARequestIsNeverThrottled) {
    Poll p;
    EXPECT_TRUE(p.executor.SendWindowList(false));
    EXPECT_FALSE(p.executor.SendWindowList(false));  // unchanged, and still sent
    EXPECT_EQ(p.SendCalls(), 3u);
}

TEST(WindowList, APendingActivationIsReportedWithoutEnumerating) {
    WindowRig rig;
    rig.windows.Add(0x10, "One");
    rig.windows.Add(0x11, "Two");
    rig.executor.SendWindowList(false);
    rig.Received();
    rig.windows.windows.pop_back();  // gone, but not yet seen
    rig.executor.m_pendingForeground = 0x11;
    rig.windows.foreground = 0x10;
    EXPECT_TRUE(rig.executor.SendWindowList(false));
    EXPECT_EQ(rig.Received(), "124:1:" + KeyOf("One") + ":" + KeyOf("Two") + "\n");
    EXPECT_EQ(rig.windows.enumerations, 1);
    EXPECT_EQ(rig.executor.m_pendingForeground, 0u);
    // The next list enumerates again and asks the system for the foreground window.
    EXPECT_TRUE(rig.executor.SendWindowList(false));
    EXPECT_EQ(rig.Received(), "124:0:" + KeyOf("One") + "\n");
}

TEST(WindowList, AThrottledPollLeavesThePendingWindow) {
    Poll p;
    p.executor.m_pendingForeground = 0x10;
    EXPECT_FALSE(p.executor.SendWindowList(true));
    EXPECT_EQ(p.executor.m_pendingForeground, 0x10u);
}

TEST(WindowList, WithoutADeviceTheListStillCountsAsSent) {
    WindowRig rig;
    ServerRig::Leave(*rig.device);
    rig.windows.Add(0x10, "One");
    rig.server.clock.now = 1234;
    rig.executor.SendWindowList(false);
    EXPECT_EQ(rig.executor.m_lastListTick, 1234u);
    EXPECT_EQ(rig.SendCalls(), 0u);
}

}  // namespace
