#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compositor/FakeCompositor.h"
#include "fakes/FakeWindowSystem.h"
#include "platform/wayland/WaylandSession.h"
#include "platform/wayland/WaylandWindowSystem.h"

namespace {

using Requests = std::vector<std::string>;
constexpr uint32_t kMinimized = FakeCompositor::kMinimized;
constexpr uint32_t kActivated = FakeCompositor::kActivated;

// The window system on a fake compositor's toplevel list. Each check first waits for the
// compositor to answer all that was sent, so what it announced has arrived and what was
// asked of it has been recorded.
class WaylandWindowList : public ::testing::Test {
protected:
    std::vector<std::string> Titles() {
        m_session.Roundtrip();
        std::vector<std::string> titles;
        m_windows.EnumWindows([&](WindowHandle window) {
            if (m_windows.IsWindowVisible(window))
                titles.push_back(m_windows.GetWindowTextA(window));
            return true;
        });
        return titles;
    }
    WindowHandle Listed(const std::string& title) {
        WindowHandle found = 0;
        Titles();
        m_windows.EnumWindows([&](WindowHandle window) {
            if (m_windows.GetWindowTextA(window) == title) found = window;
            return found == 0;
        });
        return found;
    }
    Requests Asked() {
        m_session.Roundtrip();
        return m_compositor.Requests();
    }

    FakeCompositor m_compositor;
    CWaylandSession m_session;
    FakeWindowSystem m_fallback;
    CWaylandWindowSystem m_windows{m_session, m_fallback};
};

TEST_F(WaylandWindowList, StatesCountFromEachDoneAndTheActivatedOneIsInFront) {
    ASSERT_TRUE(m_session.Connected());
    const int editor = m_compositor.Announce("Editor", "org.example.Editor", {kActivated});
    m_compositor.Announce("Caf\xC3\xA9", "org.example.Cafe", {});
    m_compositor.Announce("Hidden", "org.example.Hidden", {kMinimized});
    // Newest first among those never activated; the activated one before them all.
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Editor", "Hidden", "Caf\xE9"}));
    EXPECT_EQ(m_windows.GetForegroundWindow(), Listed("Editor"));
    EXPECT_TRUE(m_windows.IsIconic(Listed("Hidden")));
    EXPECT_FALSE(m_windows.IsIconic(Listed("Editor")));

    // A state not yet closed by its done is not the window's state.
    m_compositor.SetStates(editor, {kMinimized}, false);
    EXPECT_FALSE(m_windows.IsIconic(Listed("Editor")));
    m_compositor.SetStates(editor, {kMinimized});
    EXPECT_TRUE(m_windows.IsIconic(Listed("Editor")));
    EXPECT_EQ(m_windows.GetForegroundWindow(), 0u);

    m_compositor.Close(editor);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Hidden", "Caf\xE9"}));
}

TEST_F(WaylandWindowList, RestoreActivateAndCloseAskTheCompositorForThatWindow) {
    ASSERT_TRUE(m_session.Connected());
    m_compositor.Announce("Front", "org.example.Front", {kActivated});
    const int hidden = m_compositor.Announce("Hidden", "org.example.Hidden", {kMinimized});
    const WindowHandle window = Listed("Hidden");
    ASSERT_NE(window, 0u);
    // As an activation from the device does it: a minimized window is restored first.
    if (m_windows.IsIconic(window)) m_windows.RestoreWindow(window);
    m_windows.SetForegroundWindow(window);
    m_windows.PostCloseMessage(window);
    const std::string number = " " + std::to_string(hidden);
    EXPECT_EQ(Asked(),
              (Requests{"unset_minimized" + number, "activate" + number, "close" + number}));

    // A window that went is asked nothing.
    m_compositor.Close(hidden);
    Titles();
    m_windows.RestoreWindow(window);
    m_windows.SetForegroundWindow(window);
    m_windows.PostCloseMessage(window);
    EXPECT_EQ(Asked().size(), 3u);
    EXPECT_FALSE(m_windows.IsWindowVisible(window));
}

}  // namespace
