#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeDesktop.h"
#include "protocol/CommandExecutor.h"

namespace {

using Calls = std::vector<std::string>;
using std::chrono::milliseconds;

constexpr WindowHandle kList = 0x700;

// The fake's Sleep returns at once, so a glide runs in a moment.
struct Glide {
    Glide() { desktop.AddWindow(kList, {0, 0, 1024, 768}); }

    bool WaitIdle(milliseconds timeout = milliseconds(5000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (executor.m_glideDecay > 0) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(milliseconds(1));
        }
        return true;
    }
    // The x coordinates the pointer was sent to.
    std::vector<int> TargetsX() const {
        std::vector<int> xs;
        for (const std::string& call : desktop.CallsOf("SetCursorPos("))
            xs.push_back(std::stoi(call.substr(13)));
        return xs;
    }

    FakeDesktop desktop;
    InputMainWindow window{0x500};
    CCommandExecutor executor{nullptr, &desktop, &window};
};

TEST(CursorGlide, StepsOfAThirdDecayUntilRest) {
    Glide g;
    g.desktop.PlaceCursor(100, 300);
    g.executor.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(g.WaitIdle());
    // Steps 10, 6, 4, 2, 1, 1, then five that move nothing.
    EXPECT_EQ(g.TargetsX(),
              (std::vector<int>{110, 116, 120, 122, 123, 124, 124, 124, 124, 124, 124}));
    EXPECT_EQ(g.desktop.CallsOf("Sleep"), Calls(11, "Sleep(23)"));
    EXPECT_EQ(g.desktop.Cursor().y, 300);
    EXPECT_FLOAT_EQ(g.executor.m_glideDecay, -1.0f);
}

TEST(CursorGlide, BouncesOffTheEdgeOnlyWhenAsked) {
    Glide on;
    on.desktop.PlaceCursor(1020, 300);
    on.executor.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(on.WaitIdle());
    const std::vector<int> back = on.TargetsX();
    ASSERT_GE(back.size(), 3u);
    EXPECT_EQ(std::vector<int>(back.begin(), back.begin() + 3),
              (std::vector<int>{1030, 1017, 1013}));
    EXPECT_EQ(on.desktop.Cursor().x, 1023 - 6 - 4 - 2 - 1 - 1);

    Glide off;
    off.executor.SetBounceOffEdges(false);
    off.desktop.PlaceCursor(1020, 300);
    off.executor.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(off.WaitIdle());
    EXPECT_EQ(off.TargetsX().at(1), 1029);
    EXPECT_EQ(off.desktop.Cursor().x, 1023);
}

TEST(ScrollGlide, PostsHalvingWheelDeltas) {
    Glide g;
    g.desktop.PlaceCursor(10, 20);
    g.executor.StartScrollGlide(0, 10, 2);
    ASSERT_TRUE(g.WaitIdle());
    const std::string tail = ",0x14000a)";
    EXPECT_EQ(
        g.desktop.CallsOf("PostMessage"),
        (Calls{"PostMessage(0x700,522,0x320000" + tail, "PostMessage(0x700,522,0x190000" + tail,
               "PostMessage(0x700,522,0xc0000" + tail, "PostMessage(0x700,522,0x60000" + tail,
               "PostMessage(0x700,522,0x30000" + tail}));
    EXPECT_TRUE(g.desktop.CallsOf("SetCursorPos").empty());
}

TEST(GlideStart, StartWhileRunningIsIgnored) {
    Glide g;
    g.desktop.PlaceCursor(100, 300);
    g.desktop.HoldSleeps(true);
    g.executor.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(g.desktop.WaitForSleeps(1, milliseconds(5000)));
    g.executor.StartCursorGlide(0, 300, 1.5f);
    g.executor.StartScrollGlide(0, 300, 1.5f);
    g.desktop.HoldSleeps(false);
    ASSERT_TRUE(g.WaitIdle());
    EXPECT_EQ(g.desktop.Cursor().y, 300);
    EXPECT_TRUE(g.desktop.CallsOf("PostMessage").empty());
    EXPECT_EQ(g.desktop.CallsOf("Sleep").size(), 11u);
}

TEST(GlideStart, BadDecayOrVelocityIsRejected) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    Glide g;
    const float bad[][3] = {{30, 0, 0},   {30, 0, -1},  {30, 0, kNaN}, {30, 0, kInf},
                            {kNaN, 0, 2}, {0, kInf, 2}, {-kInf, 0, 2}};
    for (const auto& b : bad) {
        g.executor.StartCursorGlide(b[0], b[1], b[2]);
        g.executor.StartScrollGlide(b[0], b[1], b[2]);
        EXPECT_FLOAT_EQ(g.executor.m_glideDecay, -1.0f);
    }
    EXPECT_TRUE(g.desktop.Calls().empty());
    // And a sound start afterwards still runs.
    g.executor.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(g.WaitIdle());
    EXPECT_EQ(g.desktop.CallsOf("Sleep").size(), 11u);
}

TEST(GlideStop, StopEndsAGlideThatNeverRestsAndTheNextStartClearsIt) {
    Glide g;
    g.desktop.PlaceCursor(500, 300);
    g.executor.StopGlide();  // while idle: nothing to see
    g.executor.StartCursorGlide(3, 3, 1.0f);
    ASSERT_TRUE(g.desktop.WaitForSleeps(20, milliseconds(5000)));
    g.executor.StopGlide();
    ASSERT_TRUE(g.WaitIdle());
    g.desktop.ClearCalls();
    g.executor.StartCursorGlide(30, 0, 1.5f);
    ASSERT_TRUE(g.WaitIdle());
    EXPECT_EQ(g.desktop.CallsOf("Sleep").size(), 11u);
}

TEST(GlideStop, DisconnectEndsTheGlide) {
    Glide g;
    g.executor.StartScrollGlide(0, 10, 1.0f);
    ASSERT_TRUE(g.desktop.WaitForSleeps(2, milliseconds(5000)));
    g.executor.EndDeviceInput();
    EXPECT_TRUE(g.WaitIdle());
}

TEST(GlideStop, GrowingGlideStaysOnScreenAndIsJoinedAtDestruction) {
    FakeDesktop desktop;
    {
        CCommandExecutor executor(nullptr, &desktop, nullptr);
        desktop.PlaceCursor(500, 300);
        // A decay below 1 speeds up until the velocities are infinite.
        executor.StartCursorGlide(30, -30, 0.5f);
        ASSERT_TRUE(desktop.WaitForSleeps(300, milliseconds(5000)));
        EXPECT_TRUE(std::isinf(executor.m_glideVelocityX.load()) ||
                    std::isnan(executor.m_glideVelocityX.load()));
    }
    // The worker is gone with the executor; nothing calls the desktop any more.
    const size_t calls = desktop.Calls().size();
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(desktop.Calls().size(), calls);
    EXPECT_GE(desktop.Cursor().x, 0);
    EXPECT_LE(desktop.Cursor().x, 1023);
}

}  // namespace
