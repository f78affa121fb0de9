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
    EXPECT_TRUE(rig.registry.SendWindowList(false));
    EXPECT_EQ(rig.Received(), "124:1:-1|-2|100|0:-1|-2|65|0\n");
}

TEST(WindowList, AnUnlistedForegroundWindowGetsTheCount) {
    WindowRig rig;
    rig.windows.Add(0x10, "One");
    rig.windows.Add(0x11, "Two");
    rig.windows.Add(0x12, "Three");
    rig.windows.Add(0x13, "Owned dialog").parent = 0x10;
    rig.windows.foreground = 0x13;
    rig.registry.SendWindowList(false);
    EXPECT_EQ(rig.Received().compare(0, 6, "124:3:"), 0);
}

TEST(WindowList, NoWindowsIsSixBytes) {
    WindowRig rig;
    EXPECT_FALSE(rig.registry.SendWindowList(false));
    EXPECT_EQ(rig.Received(), "124:0\n");
}

TEST(WindowList, ManyWindowsGoInOneSend) {
    WindowRig rig;
    for (int i = 0; i < 200; ++i) rig.windows.Add(0x1000 + i, "Window " + std::to_string(i));
    rig.registry.SendWindowList(false);
    const std::string list = rig.Received();
    EXPECT_EQ(rig.SendCalls(), 1u);
    EXPECT_EQ(std::count(list.begin(), list.end(), ':'), 201);
    EXPECT_EQ(list.back(), '\n');
}

// A periodic list waits 10 000 ms after any list, over the wrap of the 32-bit tick.
struct Poll : WindowRig {
    static constexpr uint32_t kStart = 0xFFFFF000u;
    Poll() {
        windows.Add(0x10, "One");
        clock.now = kStart;
        registry.SendWindowList(false);
        Received();
        windows.Add(0x11, "Two");
    }
};

TEST(WindowListPoll, ThrottledUntilTenSecondsAcrossTheWrap) {
    Poll p;
    p.clock.now = Poll::kStart + 9999;  // past the wrap
    EXPECT_FALSE(p.registry.SendWindowList(true));
    EXPECT_EQ(p.windows.enumerations, 1);
    p.clock.now = Poll::kStart + 10000;
    EXPECT_TRUE(p.registry.SendWindowList(true));
    EXPECT_EQ(p.Received(), "124:2:" + KeyOf("One") + ":" + KeyOf("Two") + "\n");
    // The list just sent starts the next ten seconds.
    p.windows.Add(0x12, "Three");
    p.clock.now = Poll::kStart + 19999;
    EXPECT_FALSE(p.registry.SendWindowList(true));
    EXPECT_EQ(p.windows.enumerations, 2);
    p.clock.now = Poll::kStart + 20000;
    EXPECT_TRUE(p.registry.SendWindowList(true));
}

TEST(WindowListPoll, SameCountEnumeratesButSendsNothing) {
    Poll p;
    p.windows.windows[1].title = "Three";
    p.windows.windows.erase(p.windows.windows.begin());  // one gone, one new: same count
    p.clock.now += 20000;
    EXPECT_FALSE(p.registry.SendWindowList(true));
    EXPECT_EQ(p.Received(), "");
    // The registry holds the new window, for the icon and action commands that follow.
    EXPECT_EQ(p.registry.Windows().count(KeyOf("Three")), 1u);
    // Nothing sent, so nothing throttles the poll right after it.
    p.windows.Add(0x12, "Four");
    p.clock.now += 1;
    EXPECT_TRUE(p.registry.SendWindowList(true));
    EXPECT_EQ(p.SendCalls(), 2u);
}

TEST(WindowListPoll, TheInitialTickThrottlesOnlyRightAfterTheMiddleOfTheRange) {
    WindowRig rig;
    rig.windows.Add(0x10, "One");
    rig.clock.now = 0x80000000u + 9999;
    EXPECT_FALSE(rig.registry.SendWindowList(true));
    EXPECT_EQ(rig.windows.enumerations, 0);
    rig.clock.now = 5;
    EXPECT_TRUE(rig.registry.SendWindowList(true));
    EXPECT_EQ(rig.Received(), "124:1:" + KeyOf("One") + "\n");
}

TEST(WindowListPoll, ARequestIsNeverThrottled) {
    Poll p;
    EXPECT_TRUE(p.registry.SendWindowList(false));
    EXPECT_FALSE(p.registry.SendWindowList(false));  // unchanged, and still sent
    EXPECT_EQ(p.SendCalls(), 3u);
}

TEST(WindowList, APendingActivationIsReportedWithoutEnumerating) {
    WindowRig rig;
    rig.windows.Add(0x10, "One");
    rig.windows.Add(0x11, "Two");
    rig.registry.SendWindowList(false);
    rig.Received();
    rig.windows.windows.pop_back();  // gone, but not yet seen
    rig.registry.ActivateApplication(KeyOf("Two"));
    rig.windows.foreground = 0x10;
    EXPECT_TRUE(rig.registry.SendWindowList(false));
    EXPECT_EQ(rig.Received(), "124:1:" + KeyOf("One") + ":" + KeyOf("Two") + "\n");
    EXPECT_EQ(rig.windows.enumerations, 1);
    // The next list enumerates again and asks the system for the foreground window.
    EXPECT_TRUE(rig.registry.SendWindowList(false));
    EXPECT_EQ(rig.Received(), "124:0:" + KeyOf("One") + "\n");
    EXPECT_EQ(rig.windows.enumerations, 2);
}

TEST(WindowList, AThrottledPollLeavesThePendingWindow) {
    Poll p;
    p.registry.ActivateApplication(KeyOf("One"));
    EXPECT_FALSE(p.registry.SendWindowList(true));
    // Still pending: the next list names it from the old snapshot, without "Two".
    EXPECT_TRUE(p.registry.SendWindowList(false));
    EXPECT_EQ(p.Received(), "124:0:" + KeyOf("One") + "\n");
    EXPECT_EQ(p.windows.enumerations, 1);
}

TEST(WindowList, WithoutADeviceTheListStillCountsAsSent) {
    WindowRig rig;
    rig.link.accepted = false;
    rig.windows.Add(0x10, "One");
    rig.clock.now = 1234;
    rig.registry.SendWindowList(false);
    EXPECT_EQ(rig.link.dropped, 1);
    EXPECT_EQ(rig.SendCalls(), 0u);
    // A device that connects now gets its periodic list ten seconds after the dropped one.
    rig.link.accepted = true;
    rig.windows.Add(0x11, "Two");
    rig.clock.now = 1234 + 9999;
    EXPECT_FALSE(rig.registry.SendWindowList(true));
    rig.clock.now = 1234 + 10000;
    EXPECT_TRUE(rig.registry.SendWindowList(true));
    EXPECT_EQ(rig.SendCalls(), 1u);
}

}  // namespace
