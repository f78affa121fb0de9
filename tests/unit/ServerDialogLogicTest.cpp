#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fakes/ServerRig.h"
#include "settings/ServerDialogLogic.h"
#include "settings/ServerSettings.h"

namespace {

using Calls = std::vector<std::string>;

// The dialog's window as the logic sees it. Saving applies the settings the way the real
// window does, so the server sees what a save hands on.
class FakeView : public IServerDialogView {
public:
    FakeView(ServerSettings& settings, ServerRig& rig) : m_settings(settings), m_rig(rig) {}

    void ShowStatus(const StatusRow& row) override {
        calls.push_back(std::string("Status ") + row.buttonCaption + "/" + row.statusText + "/" +
                        std::to_string(row.trayIcon) + "/" + row.tipWord);
    }
    void ShowDeviceName(const std::string& name) override { calls.push_back("Name " + name); }
    void RefillControls() override { calls.push_back("Refill " + m_settings.serverName); }
    void SaveSettings() override {
        calls.push_back("Save");
        if (!typedName.empty()) m_settings.serverName = typedName;
        ApplySettings(m_settings, m_rig.executor, m_rig.server, m_rig.dispatcher);
    }
    bool RunPasswordConfirmation() override {
        calls.push_back("Confirm");
        return acknowledge;
    }
    void SetPasswordCheckBox(bool checked) override {
        calls.push_back(std::string("Check ") + (checked ? "1" : "0"));
    }
    void SetTimer(unsigned id, unsigned ms) override {
        calls.push_back("SetTimer " + std::to_string(id) + " " + std::to_string(ms));
    }
    void KillTimer(unsigned id) override { calls.push_back("KillTimer " + std::to_string(id)); }
    void HideWindow() override { calls.push_back("Hide"); }
    std::string GetDefaultServerName() override { return "alice"; }

    bool acknowledge = false;
    // What the server name edit holds when the next save reads it; empty for unchanged.
    std::string typedName;
    Calls calls;

private:
    ServerSettings& m_settings;
    ServerRig& m_rig;
};

class ServerDialogLogicTest : public ::testing::Test {
protected:
    ServerDialogLogicTest() {
        settings.serverName = "Office PC";
        settings.password = "pw";
        rig.server.SetServerOn(false);
        rig.server.LoadServiceLibrary();
        ApplySettings(settings, rig.executor, rig.server, rig.dispatcher);
    }

    void TurnOn() {
        rig.server.SetServerOn(true);
        rig.Start();
    }
    Calls DnsCalls() const {
        Calls out;
        for (const std::string& c : rig.dnsSd.calls) {
            if (c.rfind("Register", 0) == 0 || c.rfind("Withdraw #", 0) == 0) out.push_back(c);
        }
        return out;
    }

    ServerRig rig;
    ServerSettings settings;
    FakeView view{settings, rig};
    // Asked for the window lists; the rig's executor is the one the settings reach.
    RecordingExecutor lists;
    CServerDialogLogic logic{settings, rig.server, lists, view};
};

// The misspelt face is the one the dialog has always asked for; deliberate, not a typo to fix.
TEST(StatusDisplay, FontFaceIsKeptAsItWas) {
    EXPECT_STREQ(kStatusFontFace, "Coururier New");
}

TEST(StatusDisplay, AServerThatCannotListenSaysWhy) {
    const StatusRow inUse = StatusFor(false, false, ListenFailure::PortInUse);
    EXPECT_STREQ(inUse.statusText, "Port in use");
    EXPECT_STREQ(inUse.tipWord, "Port in use");
    EXPECT_STREQ(inUse.buttonCaption, "Turn Server On");
    const StatusRow other = StatusFor(false, false, ListenFailure::Other);
    EXPECT_STREQ(other.statusText, "Can't listen");
    EXPECT_STREQ(other.buttonCaption, "Turn Server On");
    EXPECT_EQ(other.trayIcon, kIconOff);
}

TEST(StatusDisplay, OneRowPerServerState) {
    const StatusRow off = StatusFor(false, false);
    EXPECT_STREQ(off.buttonCaption, "Turn Server On");
    EXPECT_STREQ(off.statusText, "Off");
    EXPECT_EQ(off.trayIcon, 146);
    EXPECT_STREQ(off.tipWord, "Off");
    EXPECT_FALSE(off.deviceConnected);

    const StatusRow listening = StatusFor(true, false);
    EXPECT_STREQ(listening.buttonCaption, "Turn Server Off");
    EXPECT_STREQ(listening.statusText, "On");
    EXPECT_EQ(listening.trayIcon, 145);
    EXPECT_STREQ(listening.tipWord, "Listening");
    EXPECT_FALSE(listening.deviceConnected);

    const StatusRow connected = StatusFor(true, true);
    EXPECT_STREQ(connected.buttonCaption, "Turn Server Off");
    EXPECT_STREQ(connected.statusText, "Connected");
    EXPECT_EQ(connected.trayIcon, 147);
    EXPECT_STREQ(connected.tipWord, "Connected");
    EXPECT_TRUE(connected.deviceConnected);
}

TEST(StatusDisplay, TrayTipIsCutToWhatTheTrayHolds) {
    EXPECT_EQ(TrayTip("Listening"), "Windows Tavrix - Listening");
    const std::string tip = TrayTip(std::string(200, 'x'));
    EXPECT_EQ(tip.size(), 127u);
    EXPECT_EQ(tip.substr(0, 17), "Windows Tavrix - ");
}

TEST(DialogInteger, TakesWhatTheIntegerExchangeTakes) {
    int value = 7;
    EXPECT_TRUE(ParseDialogInt(" 12589 ", value));
    EXPECT_EQ(value, 12589);
    EXPECT_TRUE(ParseDialogInt("-40", value));
    EXPECT_EQ(value, -40);
    for (const char* bad : {"", "  ", "12a", "1 2", "0x10", "99999999999", "-99999999999"}) {
        value = 7;
        EXPECT_FALSE(ParseDialogInt(bad, value)) << bad;
        EXPECT_EQ(value, 7) << bad;
    }
}

TEST_F(ServerDialogLogicTest, StatusFollowsTheServerAndTheDevice) {
    logic.SetDeviceName("Phone");
    view.calls.clear();
    logic.UpdateStatusDisplay();
    // Without a device, lists it asked for are not sent to the next one.
    EXPECT_EQ(view.calls, (Calls{"Status Turn Server On/Off/146/Off", "KillTimer 1402",
                                 "KillTimer 1403", "Name No Device"}));

    TurnOn();
    auto device = rig.sockets.Connect();
    ServerRig::Send(*device, "3000:pw\n");
    logic.SetDeviceName("Phone");
    view.calls.clear();
    logic.UpdateStatusDisplay();
    // A connected device keeps its name; the name timeout is armed instead.
    EXPECT_EQ(view.calls,
              (Calls{"Status Turn Server Off/Connected/147/Connected", "SetTimer 1400 3000"}));
    EXPECT_EQ(logic.DeviceName(), "Phone");
}

TEST_F(ServerDialogLogicTest, TheDeviceNameIsShownOnceThePasswordIsAcceptedAndOnlyOnce) {
    TurnOn();
    auto device = rig.sockets.Connect();
    view.calls.clear();
    logic.SetDeviceName("a");
    logic.SetDeviceName("b");
    EXPECT_EQ(view.calls, Calls{});
    ServerRig::Send(*device, "3000:pw\n");
    logic.UpdateStatusDisplay();  // the window's answer to the accepted password
    logic.SetDeviceName("c");
    logic.UpdateStatusDisplay();
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "Name a"), 1) << view.calls.size();
    EXPECT_EQ(logic.DeviceName(), "a");

    // The next connection names itself afresh; a refused one never shows its name.
    ServerRig::Leave(*device);
    logic.UpdateStatusDisplay();
    auto stranger = rig.sockets.Connect();
    logic.SetDeviceName("stranger");
    ServerRig::Send(*stranger, "3000:wrong\n");
    logic.UpdateStatusDisplay();
    EXPECT_EQ(logic.DeviceName(), "No Device");
}

TEST_F(ServerDialogLogicTest, SilentDeviceIsUnknownAfterTheTimeout) {
    TurnOn();
    auto device = rig.sockets.Connect();
    view.calls.clear();
    logic.OnTimer(IDT_NAME_TIMEOUT);
    EXPECT_EQ(view.calls, (Calls{"KillTimer 1400", "Name (Unknown)"}));

    // A device that has named itself keeps its name.
    logic.SetDeviceName("Phone");
    ServerRig::Send(*device, "3000:pw\n");
    logic.UpdateStatusDisplay();
    logic.OnTimer(IDT_NAME_TIMEOUT);
    EXPECT_EQ(logic.DeviceName(), "Phone");

    // Gone before the timer fires: nothing to call unknown.
    ServerRig::Leave(*device);
    logic.UpdateStatusDisplay();
    logic.OnTimer(IDT_NAME_TIMEOUT);
    EXPECT_EQ(logic.DeviceName(), "No Device");
}

TEST_F(ServerDialogLogicTest, WindowListTimers) {
    TurnOn();
    auto device = rig.sockets.Connect();
    ServerRig::Send(*device, "3000:pw\n");
    logic.OnTimer(IDT_LIST_AFTER_ACTION);
    // No change found: one more try later.
    EXPECT_EQ(view.calls, (Calls{"KillTimer 1402", "SetTimer 1403 3000"}));
    view.calls.clear();
    logic.OnTimer(IDT_LIST_RETRY);
    EXPECT_EQ(view.calls, (Calls{"KillTimer 1403"}));
    EXPECT_EQ(lists.calls, (Calls{"SendWindowList(false)", "SendWindowList(false)"}));

    lists.SetWindowListChanged(true);
    view.calls.clear();
    logic.OnTimer(IDT_LIST_AFTER_ACTION);
    EXPECT_EQ(view.calls, (Calls{"KillTimer 1402"}));

    // The poll stays armed and asks only while a device that gave its password is there,
    // and only for changes; the other timers send nothing to anyone else either.
    ServerRig::Leave(*device);
    lists.calls.clear();
    view.calls.clear();
    for (unsigned id : {IDT_LIST_POLL, IDT_LIST_AFTER_ACTION, IDT_LIST_RETRY}) logic.OnTimer(id);
    EXPECT_TRUE(lists.calls.empty());
    auto stranger = rig.sockets.Connect();
    for (unsigned id : {IDT_LIST_POLL, IDT_LIST_AFTER_ACTION, IDT_LIST_RETRY}) logic.OnTimer(id);
    EXPECT_TRUE(lists.calls.empty());
    ServerRig::Leave(*stranger);
    auto accepted = rig.sockets.Connect();
    ServerRig::Send(*accepted, "3000:pw\n");
    view.calls.clear();
    logic.OnTimer(IDT_LIST_POLL);
    EXPECT_EQ(lists.calls, Calls{"SendWindowList(true)"});
    EXPECT_EQ(view.calls, Calls{});

    logic.OnTimer(999);
    EXPECT_EQ(view.calls, (Calls{"KillTimer 999"}));
}

TEST_F(ServerDialogLogicTest, StartupTimersAndHidingAtLaunch) {
    logic.ArmStartupTimers();
    EXPECT_EQ(view.calls, (Calls{"SetTimer 1404 15000"}));
    settings.visibleAtLaunch = 0;
    view.calls.clear();
    logic.ArmStartupTimers();
    EXPECT_EQ(view.calls, (Calls{"SetTimer 1401 150", "SetTimer 1404 15000"}));
    view.calls.clear();
    logic.OnTimer(IDT_HIDE_AT_LAUNCH);
    EXPECT_EQ(view.calls, (Calls{"KillTimer 1401", "Hide"}));
}

TEST_F(ServerDialogLogicTest, OnAndOffWithProtectionOnAsksNothing) {
    logic.OnServerOnOff();
    EXPECT_TRUE(rig.server.IsServerOn());
    EXPECT_TRUE(rig.server.IsListening());
    EXPECT_EQ(rig.sockets.state.createdPorts, std::vector<int>{12589});
    EXPECT_EQ(DnsCalls(), (Calls{"Register Office PC #1"}));
    EXPECT_EQ(view.calls.front(), "Status Turn Server Off/On/145/Listening");

    logic.OnServerOnOff();
    EXPECT_FALSE(rig.server.IsServerOn());
    EXPECT_FALSE(rig.server.IsListening());
    EXPECT_EQ(DnsCalls(), (Calls{"Register Office PC #1", "Withdraw #1"}));
    // Switching doesn't save.
    for (const std::string& c : view.calls) EXPECT_NE(c, "Save");
}

TEST_F(ServerDialogLogicTest, TurningOnWithoutProtectionNeedsTheAcknowledgement) {
    settings.passwordEnabled = 0;
    logic.OnServerOnOff();
    EXPECT_FALSE(rig.server.IsServerOn());
    EXPECT_EQ(view.calls, (Calls{"Confirm"}));
    EXPECT_TRUE(DnsCalls().empty());
    EXPECT_FALSE(settings.noPasswordAcknowledged);

    view.acknowledge = true;
    view.calls.clear();
    logic.OnServerOnOff();
    EXPECT_TRUE(rig.server.IsServerOn());
    EXPECT_TRUE(settings.noPasswordAcknowledged);
    EXPECT_EQ((Calls{view.calls[0], view.calls[1]}), (Calls{"Confirm", "Save"}));

    // Once acknowledged, never asked again.
    logic.OnServerOnOff();
    view.calls.clear();
    logic.OnServerOnOff();
    EXPECT_TRUE(rig.server.IsServerOn());
    for (const std::string& c : view.calls) EXPECT_NE(c, "Confirm");
}

TEST_F(ServerDialogLogicTest, UntickingWhileOnAndRefusingKeepsProtection) {
    TurnOn();
    logic.OnPasswordCheckBox();
    EXPECT_EQ(view.calls, (Calls{"Confirm", "Check 1"}));
    EXPECT_EQ(settings.passwordEnabled, 1);
    EXPECT_EQ(DnsCalls(), (Calls{"Register Office PC #1"}));
}

TEST_F(ServerDialogLogicTest, ProtectionChangesRenewTheAdvertisement) {
    TurnOn();
    view.acknowledge = true;
    logic.OnPasswordCheckBox();
    EXPECT_EQ(settings.passwordEnabled, 0);
    EXPECT_EQ(DnsCalls(), (Calls{"Register Office PC #1", "Withdraw #1", "Register Office PC #2"}));
    EXPECT_FALSE(rig.dnsSd.registrations.back().passwordEnabled);

    // Ticking it again asks nothing and advertises the flag at once.
    view.calls.clear();
    logic.OnPasswordCheckBox();
    EXPECT_EQ(view.calls, (Calls{"Save"}));
    EXPECT_TRUE(rig.dnsSd.registrations.back().passwordEnabled);
    EXPECT_EQ(rig.dnsSd.live.size(), 1u);
}

TEST_F(ServerDialogLogicTest, UntickingWhileOffAsksLaterAndAdvertisesNothing) {
    logic.OnPasswordCheckBox();
    EXPECT_EQ(view.calls, (Calls{"Save"}));
    EXPECT_EQ(settings.passwordEnabled, 0);
    // Nothing listens, so nothing is advertised.
    EXPECT_TRUE(DnsCalls().empty());
    logic.OnServerOnOff();
    EXPECT_EQ(view.calls.back(), "Confirm");
    EXPECT_FALSE(rig.server.IsServerOn());
}

TEST_F(ServerDialogLogicTest, SetPasswordWhileConnectedStoresButDoesNotAdvertise) {
    TurnOn();
    rig.sockets.Connect();
    settings.password = "new";
    logic.RenewAdvertisement();
    EXPECT_EQ(rig.server.Config().password, "new");
    EXPECT_EQ(DnsCalls(), (Calls{"Register Office PC #1", "Withdraw #1"}));
}

TEST_F(ServerDialogLogicTest, ApplyWithTheSameNameAdvertisesItWithOneBlank) {
    TurnOn();
    settings.port = 12600;
    logic.OnApplyNamePort();
    EXPECT_EQ(DnsCalls(),
              (Calls{"Register Office PC #1", "Withdraw #1", "Register Office PC  #2"}));
    EXPECT_EQ(rig.dnsSd.registrations.back().name, "Office PC ");
    EXPECT_EQ(rig.dnsSd.registrations.back().port, 12600);
    EXPECT_EQ(rig.sockets.state.createdPorts, (std::vector<int>{12589, 12600}));
    EXPECT_TRUE(rig.server.IsListening());
    // The blank is only for the advertisement: the greeting keeps the real name.
    EXPECT_EQ(rig.server.Config().serverName, "Office PC");
    EXPECT_EQ(rig.sockets.Connect()->sends.front(), "1000:Office PC:1:1.0 PC\n");
}

TEST_F(ServerDialogLogicTest, ApplyWithANewNameAdvertisesItAsItIs) {
    TurnOn();
    view.typedName = "Den";
    logic.OnApplyNamePort();
    EXPECT_EQ(rig.dnsSd.registrations.back().name, "Den");
    EXPECT_EQ(rig.server.Config().serverName, "Den");
}

TEST_F(ServerDialogLogicTest, ApplyWhileConnectedOnlyStores) {
    TurnOn();
    rig.sockets.Connect();
    settings.port = 12600;
    logic.OnApplyNamePort();
    EXPECT_EQ(rig.server.Config().port, 12600);
    EXPECT_EQ(rig.sockets.state.createdPorts, std::vector<int>{12589});
    EXPECT_TRUE(rig.server.IsConnected());
    EXPECT_EQ(DnsCalls(), (Calls{"Register Office PC #1", "Withdraw #1"}));
}

// A server that couldn't listen shows why, offers to be turned on, and tries again when a
// new port is applied; the stored switch stays on.
TEST_F(ServerDialogLogicTest, AServerThatCannotListenIsOffAndTriesAgainOnApply) {
    rig.sockets.state.listenSucceeds = false;
    logic.OnServerOnOff();
    EXPECT_FALSE(rig.server.IsServerOn());
    EXPECT_EQ(view.calls.front(), "Status Turn Server On/Port in use/146/Port in use");
    EXPECT_TRUE(rig.dnsSd.live.empty());

    rig.sockets.state.listenSucceeds = true;
    settings.port = 12600;
    logic.OnApplyNamePort();
    EXPECT_TRUE(rig.server.IsServerOn());
    EXPECT_TRUE(rig.server.IsListening());
    EXPECT_EQ(rig.sockets.state.createdPorts, (std::vector<int>{12589, 12600}));
    EXPECT_EQ(rig.dnsSd.live.size(), 1u);
}

TEST_F(ServerDialogLogicTest, ApplyWhileOffOnlyStores) {
    settings.port = 12600;
    logic.OnApplyNamePort();
    EXPECT_EQ(rig.server.Config().port, 12600);
    EXPECT_FALSE(rig.server.IsListening());
    EXPECT_TRUE(rig.sockets.state.createdPorts.empty());
    EXPECT_TRUE(DnsCalls().empty());
}

TEST_F(ServerDialogLogicTest, ApplyMovesTheListeningPortWithoutTheLibrary) {
    ServerRig bare;
    bare.dnsSd.present = false;
    bare.server.LoadServiceLibrary();
    bare.Start();
    settings.port = 12600;
    FakeView bareView{settings, bare};
    CServerDialogLogic bareLogic{settings, bare.server, lists, bareView};
    bareLogic.OnApplyNamePort();
    EXPECT_EQ(bare.sockets.state.createdPorts, (std::vector<int>{12589, 12600}));
    EXPECT_TRUE(bare.server.IsListening());
    EXPECT_TRUE(bare.dnsSd.registrations.empty());
}

TEST_F(ServerDialogLogicTest, RevertTakesTheAccountNameThenApplies) {
    TurnOn();
    logic.OnRevertToDefault();
    EXPECT_EQ(view.calls[0], "Refill alice");
    EXPECT_EQ(view.calls[1], "Save");
    // The name was already the default when the apply steps began, so it gets the blank.
    EXPECT_EQ(rig.dnsSd.registrations.back().name, "alice ");
    EXPECT_EQ(rig.server.Config().serverName, "alice");
}

}  // namespace
