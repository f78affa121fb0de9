#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fakes/FakeDesktop.h"
#include "fakes/FakeFileDialogs.h"
#include "fakes/FakeTestWindows.h"
#include "fakes/InputRig.h"
#include "fakes/TempFile.h"
#include "input/FileExchange.h"

namespace {

using Strings = std::vector<std::string>;
constexpr WindowHandle kMainWindow = 0x4242;
const std::string kAck = InputRig::kAck;

// The real parts behind a real connection server and dispatcher, on fakes; password
// protection off and the server on, with one device connected whose hello is consumed and
// whose name is "Phone".
struct FileRig {
    FileRig() {
        base.window.handle = kMainWindow;
        base.window.deviceName = "Phone";
        device = base.Connect();
    }
    void Arrive(const std::string& bytes) { InputRig::Arrive(*device, bytes); }

    InputRig base;
    FakeDesktop& desktop = base.desktop;
    FakeFileDialogs& dialogs = base.dialogs;
    FakeTestWindows& testWindows = base.testWindows;
    CFileExchange& files = base.files;
    std::shared_ptr<FakeStream> device;
};

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void ExpectRemoteScreenFilter(const FileDialogOptions& options) {
    EXPECT_EQ(options.filterDescription, "Tavrix Remote Files (*.remote)");
    EXPECT_EQ(options.filterPattern, " *.remote");
    EXPECT_EQ(options.defaultExtension, "remote");
}

TEST(FileMessage, HeaderCarriesTheSizeInDecimal) {
    EXPECT_EQ(FileMessageHeader(5), "700:5\n");
    EXPECT_EQ(FileMessageHeader(0), "700:0\n");
    EXPECT_EQ(FileMessageHeader(5000000000ull), "700:5000000000\n");
}

TEST(SendFileToDevice, SmallFileGoesOutAsOneBlockOfHeaderAndBytes) {
    TempFile file;
    WriteFile(file.path, std::string("ab\0\n\r", 5));
    FileRig rig;
    rig.dialogs.answers.push_back(file.path);
    rig.files.SendFileToDevice(false);
    EXPECT_EQ(rig.device->sends, Strings{std::string("700:5\nab\0\n\r", 11)});
}

TEST(SendFileToDevice, EmptyFileIsTheHeaderAlone) {
    TempFile file;
    WriteFile(file.path, "");
    FileRig rig;
    rig.dialogs.answers.push_back(file.path);
    rig.files.SendFileToDevice(true);
    EXPECT_EQ(rig.device->sends, Strings{"700:0\n"});
}

TEST(SendFileToDevice, LargeFileIsStreamedUnchangedInBoundedChunks) {
    TempFile file;
    std::string content(3 * 64 * 1024 + 7, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 251);
    WriteFile(file.path, content);
    FileRig rig;
    rig.dialogs.answers.push_back(file.path);
    rig.files.SendFileToDevice(false);
    EXPECT_EQ(rig.device->SentText(), FileMessageHeader(content.size()) + content);
    EXPECT_GT(rig.device->sends.size(), 1u);
    for (const std::string& block : rig.device->sends) EXPECT_LE(block.size(), 64u * 1024u);
}

TEST(SendFileToDevice, NothingIsSentOnCancelOrUnreadableFile) {
    FileRig rig;
    rig.dialogs.answers.push_back(std::nullopt);
    rig.files.SendFileToDevice(false);
    rig.dialogs.answers.push_back("/nonexistent/folder/screen.remote");
    rig.files.SendFileToDevice(false);
    EXPECT_TRUE(rig.device->sends.empty());
    // Neither closed dialog is still reached by a cancel.
    rig.dialogs.events.clear();
    rig.files.CancelFileDialog();
    EXPECT_TRUE(rig.dialogs.events.empty());
}

TEST(SendFileToDevice, FileChosenAfterTheDeviceLeftGoesToNoOtherDevice) {
    TempFile file;
    WriteFile(file.path, "private");
    FileRig rig;
    rig.dialogs.answers.push_back(file.path);
    std::shared_ptr<FakeStream> next;
    // The asking device goes and another, not yet past the password, comes while the user
    // is still choosing.
    rig.dialogs.whileOpen.push_back([&] {
        rig.device->notify->OnClose();
        rig.base.RequirePassword(true);
        next = rig.base.Connect();
    });
    rig.Arrive("701\n");
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next->sends.empty());

    // The device that is still there when the user confirms gets its file.
    rig.dialogs.answers.push_back(file.path);
    next->sends.clear();
    rig.files.SendFileToDevice(false);
    EXPECT_EQ(next->SentText(), "700:7\nprivate");
}

TEST(SendFileToDevice, DialogsAreTitledForTheDeviceAndKind) {
    FileRig rig;
    rig.Arrive("701\n");
    rig.Arrive("701:1\n");
    rig.Arrive("701:-1\n");
    ASSERT_EQ(rig.dialogs.shown.size(), 3u);
    const FileDialogOptions& remote = rig.dialogs.shown[0].options;
    EXPECT_FALSE(remote.save);
    EXPECT_EQ(remote.title, "Select remote control screen file (.remote file) to send to Phone");
    ExpectRemoteScreenFilter(remote);
    const FileDialogOptions& image = rig.dialogs.shown[1].options;
    EXPECT_FALSE(image.save);
    EXPECT_EQ(image.title, "Select an image file to send to Phone");
    EXPECT_EQ(image.filterPattern, "");
    EXPECT_EQ(image.defaultExtension, "");
    EXPECT_EQ(rig.dialogs.shown[2].options.title, remote.title);
    EXPECT_EQ(rig.dialogs.shown[0].owner, kMainWindow);
    // The server comes forward before each dialog opens.
    EXPECT_EQ(rig.dialogs.events[0], "BringForward(" + std::to_string(kMainWindow) + ")");
    EXPECT_EQ(rig.dialogs.events[1], "Open#1");
}

TEST(CancelFileDialog, DeviceCancelWhileTheDialogIsOpenSendsNothing) {
    TempFile file;
    WriteFile(file.path, "data");
    FileRig rig;
    rig.dialogs.answers.push_back(file.path);
    // Lines keep being dispatched from the dialog's message loop.
    rig.dialogs.whileOpen.push_back([&] {
        rig.Arrive("2:5:0\n");
        rig.Arrive("702\n");
    });
    rig.desktop.PlaceCursor(10, 10);
    rig.Arrive("701\n");
    EXPECT_EQ(rig.dialogs.events,
              (Strings{"BringForward(16962)", "Open#1", "Cancel#1", "Closed#1"}));
    EXPECT_EQ(rig.desktop.Cursor().x, 15);
    EXPECT_EQ(rig.device->SentText(), kAck + kAck + kAck);
    rig.dialogs.events.clear();
    rig.Arrive("702\n");
    EXPECT_TRUE(rig.dialogs.events.empty());
}

TEST(CancelFileDialog, ReachesOnlyTheInnermostOpenDialog) {
    FileRig rig;
    rig.dialogs.answers = {std::nullopt, std::nullopt};
    rig.dialogs.whileOpen.push_back([&] { rig.Arrive("701:1\n"); });
    // The inner dialog closes by itself; a 702 after it no longer reaches the outer one.
    rig.dialogs.whileOpen.push_back([] {});
    rig.dialogs.whileOpen.push_back([] {});
    rig.files.SendFileToDevice(false);
    rig.dialogs.events.clear();
    rig.files.CancelFileDialog();
    EXPECT_TRUE(rig.dialogs.events.empty());

    FileRig nested;
    nested.dialogs.whileOpen.push_back([&] { nested.Arrive("701:1\n"); });
    nested.dialogs.whileOpen.push_back([&] { nested.Arrive("702\n"); });
    nested.files.SendFileToDevice(false);
    EXPECT_EQ(nested.dialogs.events,
              (Strings{"BringForward(16962)", "Open#1", "BringForward(16962)", "Open#2", "Cancel#2",
                       "Closed#2", "Closed#1"}));
}

TEST(SendFileToDevice, RequestsWhileDialogsAreOpenStackOnlySoDeep) {
    FileRig rig;
    // Every open dialog receives one more 701, as a flooding device would send.
    for (int i = 0; i < 100; ++i) rig.dialogs.whileOpen.push_back([&] { rig.Arrive("701:0\n"); });
    rig.files.SendFileToDevice(false);
    EXPECT_EQ(rig.dialogs.shown.size(), 8u);
    // Once they have closed, a new request opens a dialog again.
    rig.dialogs.whileOpen.clear();
    rig.files.SendFileToDevice(false);
    EXPECT_EQ(rig.dialogs.shown.size(), 9u);
}

TEST(ReceiveRemoteScreen, ConfirmedSaveWritesTheBlockWhole) {
    TempFile file;
    WriteFile(file.path, "an older and longer file");
    FileRig rig;
    rig.dialogs.answers.push_back(file.path);
    rig.Arrive("700:6\n");
    rig.Arrive(std::string("\0\1\n\r\n9", 6));
    EXPECT_EQ(file.Content(), std::string("\0\1\n\r\n9", 6));
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    const FileDialogOptions& save = rig.dialogs.shown[0].options;
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.title, "Received remote control screen from Phone");
    ExpectRemoteScreenFilter(save);
    // Only the header's read is acknowledged; the device gets nothing else.
    EXPECT_EQ(rig.device->SentText(), kAck);
}

TEST(ReceiveRemoteScreen, CancelDropsTheDataAndBadPathIsSilent) {
    TempFile file;
    FileRig rig;
    rig.dialogs.answers = {std::nullopt, std::string("/nonexistent/folder/x.remote")};
    rig.files.ReceiveRemoteScreen("12345", 5);
    rig.files.ReceiveRemoteScreen("12345", 5);
    EXPECT_FALSE(std::filesystem::exists(file.path));
    EXPECT_EQ(rig.dialogs.shown.size(), 2u);
    EXPECT_TRUE(rig.device->sends.empty());
    // The 702 of the device never targets the save dialog.
    rig.dialogs.whileOpen.push_back([&] { rig.files.CancelFileDialog(); });
    rig.dialogs.answers.push_back(file.path);
    rig.files.ReceiveRemoteScreen("ok", 2);
    EXPECT_EQ(file.Content(), "ok");
}

TEST(ShowTestWindow, PlacesThePointerAndReplacesTheWindow) {
    FileRig rig;
    rig.files.ShowTestWindow(100, 200, 0);
    EXPECT_EQ(rig.desktop.CallsTo("MoveTo"), Strings{"MoveTo(100,200)"});
    EXPECT_TRUE(rig.testWindows.events.empty());
    rig.files.ShowTestWindow(30, 40, 1);
    rig.files.ShowTestWindow(50, 60, -5);
    EXPECT_EQ(rig.testWindows.events, (Strings{"Create#1(30,40)", "Destroy#1", "Create#2(50,60)"}));
    EXPECT_EQ(rig.desktop.Cursor().x, 50);
    EXPECT_EQ(rig.desktop.Cursor().y, 60);
}

TEST(ShowTestWindow, WindowIsDestroyedWithTheFileExchange) {
    InputRig rig;
    FakeTestWindows windows;
    {
        CFileExchange files(rig.dialogs, windows, rig.desktop, rig.window, rig.server, rig.modals);
        files.ShowTestWindow(1, 2, 1);
    }
    EXPECT_EQ(windows.events, (Strings{"Create#1(1,2)", "Destroy#1"}));
}

}  // namespace
