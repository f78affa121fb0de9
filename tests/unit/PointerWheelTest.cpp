#include <gtest/gtest.h>

#include "platform/common/PointerWords.h"

namespace {

TEST(WheelClicks, OneClickForEachFullStepOf120) {
    int carried = 0;
    EXPECT_EQ(WheelClicks(120, &carried), 1);
    EXPECT_EQ(carried, 0);
    EXPECT_EQ(WheelClicks(-360, &carried), -3);
    EXPECT_EQ(carried, 0);
    EXPECT_EQ(WheelClicks(0, &carried), 0);
}

TEST(WheelClicks, SlowTurnsAddUpToClicks) {
    // The decaying turns of a scroll glide: 50, 25, 12, 6, 3 and on.
    int carried = 0;
    int clicks = 0;
    for (const int delta : {50, 25, 12, 6, 3}) clicks += WheelClicks(delta, &carried);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(carried, 96);
    EXPECT_EQ(WheelClicks(30, &carried), 1);
    EXPECT_EQ(carried, 6);
    EXPECT_EQ(WheelClicks(250, &carried), 2);
    EXPECT_EQ(carried, 16);
}

TEST(WheelClicks, TheRestOfTheOtherDirectionIsDropped) {
    int carried = 0;
    EXPECT_EQ(WheelClicks(100, &carried), 0);
    EXPECT_EQ(WheelClicks(-30, &carried), 0);
    EXPECT_EQ(carried, -30);
    EXPECT_EQ(WheelClicks(-90, &carried), -1);
    EXPECT_EQ(carried, 0);
}

TEST(WheelClicks, TheLargestTurnsStayExact) {
    int carried = 119;
    EXPECT_EQ(WheelClicks(32767, &carried), 274);
    EXPECT_EQ(carried, (119 + 32767) % 120);
    carried = -119;
    EXPECT_EQ(WheelClicks(-32768, &carried), -274);
    EXPECT_EQ(carried, -((119 + 32768) % 120));
}

}  // namespace
