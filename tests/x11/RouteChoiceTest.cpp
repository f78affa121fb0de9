#include <gtest/gtest.h>

#include <string>

#include "app/linux/RouteChoice.h"

namespace {

SessionFacts Sway() {
    SessionFacts facts;
    facts.waylandDisplay = "wayland-1";
    facts.waylandConnected = true;
    facts.virtualPointer = true;
    facts.virtualKeyboard = true;
    facts.foreignToplevels = true;
    return facts;
}

// GNOME and KDE: no wlroots globals, the portal, and XWayland.
SessionFacts Gnome() {
    SessionFacts facts;
    facts.waylandDisplay = "wayland-0";
    facts.x11Display = ":0";
    facts.waylandConnected = true;
    facts.portal = true;
    facts.x11Connected = true;
    return facts;
}

bool Says(const RouteChoice& choice, const std::string& words) {
    for (const std::string& note : choice.notes) {
        if (note.find(words) != std::string::npos) return true;
    }
    return false;
}

TEST(RouteChoice, WlrootsServesEverythingWithoutX) {
    const RouteChoice choice = ChooseRoute(Sway());
    EXPECT_TRUE(choice.failure.empty());
    EXPECT_EQ(choice.input, InputRoute::Wlroots);
    EXPECT_EQ(choice.windows, WindowRoute::Toplevels);
    EXPECT_TRUE(Says(choice, "wlroots"));
    EXPECT_TRUE(Says(choice, "dragging a window does nothing"));
}

TEST(RouteChoice, HalfOfTheVirtualDevicesIsNotEnough) {
    SessionFacts facts = Sway();
    facts.virtualKeyboard = false;
    facts.portal = true;
    EXPECT_EQ(ChooseRoute(facts).input, InputRoute::Portal);
    facts.portal = false;
    const RouteChoice choice = ChooseRoute(facts);
    EXPECT_EQ(choice.input, InputRoute::None);
    EXPECT_EQ(choice.windows, WindowRoute::Toplevels);
    EXPECT_TRUE(Says(choice, "pointer and keys do nothing"));
}

TEST(RouteChoice, PortalInputWithTheXWaylandList) {
    const RouteChoice choice = ChooseRoute(Gnome());
    EXPECT_EQ(choice.input, InputRoute::Portal);
    EXPECT_EQ(choice.windows, WindowRoute::X11);
    EXPECT_TRUE(Says(choice, "asks on this screen once for permission"));
    EXPECT_TRUE(Says(choice, "XWayland windows only"));
}

TEST(RouteChoice, WithoutPortalXWaylandTakesOver) {
    SessionFacts facts = Gnome();
    facts.portal = false;
    const RouteChoice choice = ChooseRoute(facts);
    EXPECT_EQ(choice.input, InputRoute::X11);
    EXPECT_EQ(choice.windows, WindowRoute::X11);
    EXPECT_EQ(choice.notes.size(), 1u);
}

TEST(RouteChoice, AWaylandDisplayThatDoesNotAnswerFallsBackToX) {
    SessionFacts facts = Gnome();
    facts.waylandConnected = false;
    facts.portal = false;
    const RouteChoice choice = ChooseRoute(facts);
    EXPECT_EQ(choice.input, InputRoute::X11);
    ASSERT_EQ(choice.notes.size(), 1u);
    EXPECT_NE(choice.notes[0].find("can't connect to the Wayland display \"wayland-0\""),
              std::string::npos);
    facts.x11Connected = false;
    EXPECT_NE(ChooseRoute(facts).failure.find("can't open the X display \":0\" nor connect"),
              std::string::npos);
}

TEST(RouteChoice, PlainXSessionsAndNoSessionAtAll) {
    SessionFacts facts;
    facts.x11Display = ":1";
    facts.x11Connected = true;
    RouteChoice choice = ChooseRoute(facts);
    EXPECT_EQ(choice.input, InputRoute::X11);
    EXPECT_TRUE(choice.notes.empty());
    facts.x11Connected = false;
    EXPECT_EQ(ChooseRoute(facts).failure, "can't open the X display \":1\"");
    EXPECT_NE(ChooseRoute(SessionFacts{}).failure.find("DISPLAY is not set"), std::string::npos);
}

}  // namespace
