#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeDesktop.h"
#include "fakes/FakeGlideClock.h"
#include "fakes/FakeMainWindow.h"
#include "input/PointerInput.h"

namespace {

using Calls = std::vector<std::string>;
using std::chrono::milliseconds;

constexpr int kFarBeyondTheScreen = 1 << 24;

// The points the pointer was sent to, in order.
std::vector<ScreenPoint> Targets(const FakeDesktop& desktop) {
    std::vector<ScreenPoint> points;
    for (const std::string& call : desktop.CallsTo("MoveTo")) {
        const size_t comma = call.find(',');
        points.push_back({std::stoi(call.substr(7)), std::stoi(call.substr(comma + 1))});
    }
    return points;
}

std::vector<int> TargetsX(const FakeDesktop& desktop) {
    std::vector<int> xs;
    for (const ScreenPoint& point : Targets(desktop)) xs.push_back(point.x);
    return xs;
}

// The clock's Sleep returns at once unless held, so a glide runs in a moment.
struct Glide {
    bool WaitIdle(milliseconds timeout = milliseconds(5000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (input.Gliding()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(milliseconds(1));
        }
        return true;
    }

    FakeDesktop desktop;
    FakeMainWindow window{0x500};
    FakeGlideClock clock;
    CPointerInput input{desktop, desktop, window, clock};
};

TEST(CursorGlide, StepsOfAThirdDecayUntilRest) {
    Glide g;
    g.desktop.PlaceCursor(100, 300);
    g.input.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(g.WaitIdle());
    // Steps 10, 6, 4, 2, 1, 1, then five that move nothing.
    EXPECT_EQ(TargetsX(g.desktop),
              (std::vector<int>{110, 116, 120, 122, 123, 124, 124, 124, 124, 124, 124}));
    EXPECT_EQ(g.clock.Sleeps(), std::vector<uint32_t>(11, 23));
    EXPECT_EQ(g.desktop.Cursor().y, 300);
}

TEST(CursorGlide, BouncesOffTheEdgeOnlyWhenAsked) {
    Glide on;
    on.desktop.PlaceCursor(1020, 300);
    on.input.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(on.WaitIdle());
    const std::vector<int> back = TargetsX(on.desktop);
    ASSERT_GE(back.size(), 3u);
    EXPECT_EQ(std::vector<int>(back.begin(), back.begin() + 3),
              (std::vector<int>{1030, 1017, 1013}));
    EXPECT_EQ(on.desktop.Cursor().x, 1023 - 6 - 4 - 2 - 1 - 1);

    Glide off;
    off.input.SetBounceOffEdges(false);
    off.desktop.PlaceCursor(1020, 300);
    off.input.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(off.WaitIdle());
    EXPECT_EQ(TargetsX(off.desktop).at(1), 1029);
    EXPECT_EQ(off.desktop.Cursor().x, 1023);
}

TEST(ScrollGlide, TurnsTheWheelByHalvingDeltas) {
    Glide g;
    g.desktop.PlaceCursor(10, 20);
    g.input.StartScrollGlide(0, 10, 2);
    ASSERT_TRUE(g.WaitIdle());
    EXPECT_EQ(g.desktop.CallsTo("TurnWheelAt"),
              (Calls{"TurnWheelAt(10,20,50)", "TurnWheelAt(10,20,25)", "TurnWheelAt(10,20,12)",
                     "TurnWheelAt(10,20,6)", "TurnWheelAt(10,20,3)"}));
    EXPECT_TRUE(g.desktop.CallsTo("MoveTo").empty());
}

TEST(GlideStart, StartWhileRunningIsIgnored) {
    Glide g;
    g.desktop.PlaceCursor(100, 300);
    g.clock.HoldSleeps(true);
    g.input.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(g.clock.WaitForSleeps(1, milliseconds(5000)));
    g.input.StartCursorGlide(0, 300, 1.5f);
    g.input.StartScrollGlide(0, 300, 1.5f);
    g.clock.HoldSleeps(false);
    ASSERT_TRUE(g.WaitIdle());
    EXPECT_EQ(g.desktop.Cursor().y, 300);
    EXPECT_TRUE(g.desktop.CallsTo("TurnWheelAt").empty());
    EXPECT_EQ(g.clock.Sleeps().size(), 11u);
}

TEST(GlideStart, BadDecayOrVelocityIsRejected) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    Glide g;
    const float bad[][3] = {{30, 0, 0},   {30, 0, -1},  {30, 0, kNaN}, {30, 0, kInf},
                            {kNaN, 0, 2}, {0, kInf, 2}, {-kInf, 0, 2}};
    for (const auto& b : bad) {
        g.input.StartCursorGlide(b[0], b[1], b[2]);
        g.input.StartScrollGlide(b[0], b[1], b[2]);
        EXPECT_FALSE(g.input.Gliding());
    }
    EXPECT_TRUE(g.desktop.Calls().empty());
    EXPECT_TRUE(g.clock.Sleeps().empty());
    // And a sound start afterwards still runs.
    g.input.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(g.WaitIdle());
    EXPECT_EQ(g.clock.Sleeps().size(), 11u);
}

TEST(GlideStop, StopEndsAGlideThatNeverRestsAndTheNextStartClearsIt) {
    Glide g;
    g.desktop.PlaceCursor(500, 300);
    g.input.StopGlide();  // while idle: nothing to see
    g.input.StartCursorGlide(3, 3, 1.0f);
    ASSERT_TRUE(g.clock.WaitForSleeps(20, milliseconds(5000)));
    g.input.StopGlide();
    ASSERT_TRUE(g.WaitIdle());
    g.clock.ClearSleeps();
    g.input.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(g.WaitIdle());
    EXPECT_EQ(g.clock.Sleeps().size(), 11u);
}

TEST(GlideStop, DeviceInputEndEndsTheGlide) {
    Glide g;
    g.input.StartScrollGlide(0, 10, 1.0f);
    ASSERT_TRUE(g.clock.WaitForSleeps(2, milliseconds(5000)));
    g.input.EndDeviceInput();
    EXPECT_TRUE(g.WaitIdle());
}

TEST(GlideStop, GrowingGlideBouncesStaysBoundedAndIsJoinedAtDestruction) {
    FakeDesktop desktop;
    FakeMainWindow window;
    FakeGlideClock clock;
    {
        CPointerInput input(desktop, desktop, window, clock);
        desktop.PlaceCursor(500, 300);
        // A decay below 1 speeds up until the velocities are infinite.
        input.StartCursorGlide(30, -30, 0.5f);
        ASSERT_TRUE(clock.WaitForSleeps(300, milliseconds(5000)));
    }
    // The worker is gone with the input; nothing calls the desktop any more.
    const size_t calls = desktop.Calls().size();
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(desktop.Calls().size(), calls);

    const std::vector<ScreenPoint> targets = Targets(desktop);
    ASSERT_GE(targets.size(), 300u);
    // Steps double; the pointer meets the right edge at 1130 and turns back by the next one.
    std::vector<int> xs;
    for (size_t i = 0; i < 7; ++i) xs.push_back(targets[i].x);
    EXPECT_EQ(xs, (std::vector<int>{510, 530, 570, 650, 810, 1130, 1023 - 640}));
    // It met the top edge at -10 and turned down.
    EXPECT_EQ(targets[4].y, -10);
    EXPECT_EQ(targets[5].y, 0 + 320);
    // Grown past any number, each step is held at the bound and still turns round.
    const ScreenPoint before = targets[targets.size() - 2];
    const ScreenPoint last = targets.back();
    const int from = before.x < 0 ? 0 : (before.x > 1023 ? 1023 : before.x);
    EXPECT_EQ(std::abs(last.x - from), kFarBeyondTheScreen);
    EXPECT_EQ(last.x<from, before.x> 1023);
}

}  // namespace
