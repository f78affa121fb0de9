#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/wayland/DesktopApps.h"

namespace {

// GIO reads the data folders once, at its first use: this test's own come first from the
// start (the system's stay, for the MIME types that tell image formats apart).
// Made at the first test that needs it, none of the others use GIO.
const std::string& Data() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/tavrix-apps-XXXXXX";
        const std::string made = mkdtemp(pattern);
        g_setenv("XDG_DATA_HOME", made.c_str(), TRUE);
        g_setenv("XDG_DATA_DIRS", (made + "/system:/usr/share").c_str(), TRUE);
        // The icon theme is chosen in this folder's settings.ini, none in GSettings.
        g_setenv("XDG_CONFIG_HOME", (made + "/config").c_str(), TRUE);
        g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
        return made;
    }();
    return folder;
}

// The folder goes when the tests end.
class DesktopApps : public ::testing::Test {
protected:
    static void TearDownTestSuite() {
        const std::string command = "rm -rf '" + Data() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
};

void MakeFolderOf(const std::string& path) {
    char* folder = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(folder, 0700);
    g_free(folder);
}

void WriteFile(const std::string& path, const std::string& text) {
    MakeFolderOf(path);
    std::ofstream(path) << text;
}

void WriteIcon(const std::string& path, int width, int height, uint32_t rgba) {
    MakeFolderOf(path);
    GdkPixbuf* image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
    gdk_pixbuf_fill(image, rgba);
    ASSERT_TRUE(gdk_pixbuf_save(image, path.c_str(), "png", nullptr, nullptr));
    g_object_unref(image);
}

std::string App(const std::string& id, const std::string& extra) {
    const std::string path = Data() + "/applications/" + id + ".desktop";
    WriteFile(path, "[Desktop Entry]\nType=Application\nName=" + id + "\n" + extra);
    return path;
}

TEST_F(DesktopApps, AppIdsFindTheirDesktopFiles) {
    const std::string editor = App("org.example.Editor", "Exec=true\n");
    const std::string viewer = App("viewer", "Exec=true\nStartupWMClass=PhotoView\n");
    EXPECT_EQ(DesktopFileOf("org.example.Editor"), editor);
    EXPECT_EQ(DesktopFileOf("ORG.EXAMPLE.EDITOR"), editor);
    EXPECT_EQ(DesktopFileOf("editor"), editor);
    EXPECT_EQ(DesktopFileOf("photoview"), viewer);
    EXPECT_EQ(DesktopFileOf("nothing-like-it"), "");
    EXPECT_EQ(DesktopFileOf("../applications/viewer"), "");
    EXPECT_EQ(DesktopFileOf(std::string(300, 'a')), "");
}

TEST_F(DesktopApps, IconsComeFromTheThemeAt32Pixels) {
    WriteIcon(Data() + "/icons/hicolor/64x64/apps/tavrix-red.png", 64, 64, 0xff0000ff);
    WriteIcon(Data() + "/icons/hicolor/32x32/apps/tavrix-wide.png", 32, 16, 0x00ff00ff);
    const auto red = AppIconPixels(App("red", "Exec=true\nIcon=tavrix-red\n"));
    ASSERT_EQ(red.size(), 32u * 32u);
    EXPECT_EQ(red[0], 0xffff0000u);
    EXPECT_EQ(red[32 * 32 - 1], 0xffff0000u);
    // Kept in its aspect, centred on transparency.
    const auto wide = AppIconPixels(App("wide", "Exec=true\nIcon=tavrix-wide\n"));
    ASSERT_EQ(wide.size(), 32u * 32u);
    EXPECT_EQ(wide[0], 0u);
    EXPECT_EQ(wide[16 * 32 + 16], 0xff00ff00u);
    EXPECT_TRUE(AppIconPixels(App("bare", "Exec=true\nIcon=tavrix-missing\n")).empty());
    EXPECT_TRUE(AppIconPixels(Data() + "/not-there.desktop").empty());
}

TEST_F(DesktopApps, TheUsersThemeAndWhatItInheritsComeBeforeHicolor) {
    WriteFile(Data() + "/config/gtk-3.0/settings.ini",
              "[Settings]\ngtk-icon-theme-name=TavrixTheme\n");
    WriteFile(Data() + "/icons/TavrixTheme/index.theme",
              "[Icon Theme]\nInherits=TavrixBase,TavrixTheme\nDirectories=16x16/apps,"
              "16x16/status\n[16x16/apps]\nSize=16\nContext=Applications\n"
              "[16x16/status]\nSize=16\nContext=Status\n");
    WriteFile(Data() + "/system/icons/TavrixBase/index.theme",
              "[Icon Theme]\nDirectories=apps/48\n[apps/48]\nSize=48\nType=Fixed\n");
    WriteIcon(Data() + "/icons/hicolor/32x32/apps/tavrix-themed.png", 32, 32, 0xff0000ff);
    WriteIcon(Data() + "/system/icons/TavrixBase/apps/48/tavrix-themed.png", 48, 48, 0x0000ffff);
    WriteIcon(Data() + "/icons/TavrixTheme/16x16/apps/tavrix-small.png", 16, 16, 0x00ff00ff);
    WriteIcon(Data() + "/icons/TavrixBase/apps/48/tavrix-small.png", 48, 48, 0x0000ffff);
    WriteIcon(Data() + "/icons/TavrixTheme/16x16/status/tavrix-status.png", 16, 16, 0xffffffff);
    // The inherited theme's 48 pixels before hicolor's 32; the theme's own 16 before both.
    const auto themed = AppIconPixels(App("themed", "Exec=true\nIcon=tavrix-themed\n"));
    ASSERT_EQ(themed.size(), 32u * 32u);
    EXPECT_EQ(themed[0], 0xff0000ffu);
    const auto small = AppIconPixels(App("small", "Exec=true\nIcon=tavrix-small\n"));
    ASSERT_EQ(small.size(), 32u * 32u);
    EXPECT_EQ(small[16 * 32 + 16], 0xff00ff00u);
    // Only application icons count.
    EXPECT_TRUE(AppIconPixels(App("status", "Exec=true\nIcon=tavrix-status\n")).empty());
}

TEST_F(DesktopApps, LaunchingRunsTheApplicationOnly) {
    const std::string marker = Data() + "/launched";
    const std::string app = App("marker", "Exec=touch " + marker + "\n");
    EXPECT_FALSE(LaunchDesktopFile(Data() + "/launched.txt"));
    ASSERT_TRUE(LaunchDesktopFile(app));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (access(marker.c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(access(marker.c_str(), F_OK), 0);
}

}  // namespace
