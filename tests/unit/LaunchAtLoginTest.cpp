#include <gtest/gtest.h>

#include "platform/StartupShortcut.h"
#include "settings/LaunchAtLogin.h"
#include "settings/ServerSettings.h"

namespace {

struct FakeShortcut : IStartupShortcut {
    bool Exists() override { return present; }
    bool Create() override {
        ++creations;
        if (failing) return false;
        present = true;
        return true;
    }
    bool Remove() override {
        if (failing) return false;
        present = false;
        return true;
    }
    bool present = false;
    bool failing = false;
    int creations = 0;
};

TEST(LaunchAtLogin, AtStartTheSettingShowsWhetherTheShortcutIsThere) {
    FakeShortcut shortcut;
    ServerSettings settings;
    settings.launchAtLogin = 1;  // stored, but the user deleted the shortcut by hand
    AgreeWithStartupShortcut(settings, shortcut);
    EXPECT_EQ(settings.launchAtLogin, 0);
    shortcut.present = true;  // an installer made it
    AgreeWithStartupShortcut(settings, shortcut);
    EXPECT_EQ(settings.launchAtLogin, 1);
}

TEST(LaunchAtLogin, ApplyingMakesOrRemovesTheShortcutAndAFailureShowsWhatIs) {
    FakeShortcut shortcut;
    ServerSettings settings;
    settings.launchAtLogin = 1;
    EXPECT_TRUE(ApplyLaunchAtLogin(settings, shortcut));
    EXPECT_TRUE(shortcut.present);
    // Made again, so that it starts this copy from this folder.
    EXPECT_TRUE(ApplyLaunchAtLogin(settings, shortcut));
    EXPECT_EQ(shortcut.creations, 2);
    settings.launchAtLogin = 0;
    EXPECT_TRUE(ApplyLaunchAtLogin(settings, shortcut));
    EXPECT_FALSE(shortcut.present);

    shortcut.failing = true;
    settings.launchAtLogin = 1;
    EXPECT_FALSE(ApplyLaunchAtLogin(settings, shortcut));
    EXPECT_EQ(settings.launchAtLogin, 0);
    shortcut.present = true;
    settings.launchAtLogin = 0;
    EXPECT_FALSE(ApplyLaunchAtLogin(settings, shortcut));
    EXPECT_EQ(settings.launchAtLogin, 1);
}

}  // namespace
