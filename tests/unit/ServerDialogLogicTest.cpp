#include <gtest/gtest.h>

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

// The window list operation with a chosen answer.
class ListExecutor : public CCommandExecutor {
public:
    ListExecutor() : CCommandExecutor(nullptr) {}
    bool SendWindowList(bool onlyIfChanged) override {
        lists.push_back(onlyIfChanged);
        return changed;
    }
    bool changed = false;
    std::vector<bool> lists;
};

class ServerDialogLogicTest : public ::testing::Test {
protected:
    ServerDialogLogicTest() {
        settings.serverName = "Office PC";
        settings.password = "pw";
        rig.server.m_serverOn = false;
        rig.server.LoadServiceLibrary();
        ApplySettings(settings, rig.executor, rig.server, rig.dispatcher);
    }

    void TurnOn() {
        rig.server.m_serverOn = true;
        rig.server.StartServer(&rig.dispatcher);
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
    ListExecutor lists;
    CServerDialogLogic logic{settings, rig.server, rig.dispatcher, lists, view};
};

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
    logic.deviceName = "Phone";
    logic.UpdateStatusDisplay();
    EXPECT_EQ(view.calls, (Calls{"Status Turn Server On/Off/146/Off", "Name No Device"}));

    TurnOn();
    rig.sockets.Connect();
    rig.server.AcceptConnection();
    view.calls.clear();
    logic.deviceName = "Phone";
    logic.UpdateStatusDisplay();
    // A connected device keeps its name; the name timeout is armed instead.
    EXPECT_EQ(view.calls,
              (Calls{"Status Turn Server Off/Connected/147/Connected", "SetTimer 1400 3000"}));
    EXPECT_EQ(logic.deviceName, "Phone");
}

TEST_F(ServerDialogLogicTest, SilentDeviceIsUnknownAfterTheTimeout) {
    TurnOn();
    auto device = rig.sockets.Connect();
    rig.server.AcceptConnection();
    view.calls.clear();
    logic.OnTimer(IDT_NAME_TIMEOUT);
    EXPECT_EQ(view.calls, (Calls{"KillTimer 1400", "Name (Unknown)"}));

    // A device that has named itself keeps its name.
    logic.SetDeviceName("Phone");
    logic.OnTimer(IDT_NAME_TIMEOUT);
    EXPECT_EQ(logic.deviceName, "Phone");

    // Gone before the timer fires: nothing to call unknown.
    ServerRig::Leave(*device);
    logic.SetDeviceName(kNoDevice);
    logic.OnTimer(IDT_NAME_TIMEOUT);
    EXPECT_EQ(logic.deviceName, "No Device");
}

TEST_F(ServerDialogLogicTest, WindowListTimers) {
    logic.OnTimer(IDT_LIST_AFTER_ACTION);
    // No change found: one more try later.
    EXPECT_EQ(view.calls, (Calls{"KillTimer 1402", "SetTimer 1403 3000"}));
    view.calls.clear();
    logic.OnTimer(IDT_LIST_RETRY);
    EXPECT_EQ(view.calls, (Calls{"KillTimer 1403"}));
    EXPECT_EQ(lists.lists, (std::vector<bool>{false, false}));

    lists.changed = true;
    view.calls.clear();
    logic.OnTimer(IDT_LIST_AFTER_ACTION);
    EXPECT_EQ(view.calls, (Calls{"KillTimer 1402"}));

    // The poll stays armed and asks only while a device is there, and only for changes.
    lists.lists.clear();
    view.calls.clear();
    logic.OnTimer(IDT_LIST_POLL);
    EXPECT_TRUE(lists.lists.empty());
    TurnOn();
    rig.sockets.Connect();
    rig.server.AcceptConnection();
    logic.OnTimer(IDT_LIST_POLL);
    EXPECT_EQ(lists.lists, (std::vector<bool>{true}));
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
    EXPECT_TRUE(rig.server.m_serverOn);
    EXPECT_EQ(rig.server.m_listeningPort, 12589);
    EXPECT_EQ(DnsCalls(), (Calls{"Register Office PC #1"}));
    EXPECT_EQ(view.calls.front(), "Status Turn Server Off/On/145/Listening");

    logic.OnServerOnOff();
    EXPECT_FALSE(rig.server.m_serverOn);
    EXPECT_EQ(rig.server.m_listeningPort, -1);
    EXPECT_EQ(DnsCalls(), (Calls{"Register Office PC #1", "Withdraw #1"}));
    // Switching doesn't save.
    for (const std::string& c : view.calls) EXPECT_NE(c, "Save");
}

TEST_F(ServerDialogLogicTest, TurningOnWithoutProtectionNeedsTheAcknowledgement) {
    settings.passwordEnabled = 0;
    logic.OnServerOnOff();
    EXPECT_FALSE(rig.server.m_serverOn);
    EXPECT_EQ(view.calls, (Calls{"Confirm"}));
    EXPECT_TRUE(DnsCalls().empty());
    EXPECT_FALSE(settings.noPasswordAcknowledged);

    view.acknowledge = true;
    view.calls.clear();
    logic.OnServerOnOff();
    EXPECT_TRUE(rig.server.m_serverOn);
    EXPECT_TRUE(settings.noPasswordAcknowledged);
    EXPECT_EQ((Calls{view.calls[0], view.calls[1]}), (Calls{"Confirm", "Save"}));

    // Once acknowledged, never asked again.
    logic.OnServerOnOff();
    view.calls.clear();
    logic.OnServerOnOff();
    EXPECT_TRUE(rig.server.m_serverOn);
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
    EXPECT_FALSE(rig.server.m_serverOn);
}

TEST_F(ServerDialogLogicTest, SetPasswordWhileConnectedStoresButDoesNotAdvertise) {
    TurnOn();
    rig.sockets.Connect();
    rig.server.AcceptConnection();
    settings.password = "new";
    logic.RenewAdvertisement();
    EXPECT_EQ(rig.server.m_password, "new");
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
    EXPECT_EQ(rig.server.m_listeningPort, 12600);
    // The blank is only for the advertisement: the greeting keeps the real name.
    EXPECT_EQ(rig.server.m_serverName, "Office PC");
}

TEST_F(ServerDialogLogicTest, ApplyWithANewNameAdvertisesItAsItIs) {
    TurnOn();
    view.typedName = "Den";
    logic.OnApplyNamePort();
    EXPECT_EQ(rig.dnsSd.registrations.back().name, "Den");
    EXPECT_EQ(rig.server.m_serverName, "Den");
}

TEST_F(ServerDialogLogicTest, ApplyWhileConnectedOnlyStores) {
    TurnOn();
    rig.sockets.Connect();
    rig.server.AcceptConnection();
    settings.port = 12600;
    logic.OnApplyNamePort();
    EXPECT_EQ(rig.server.m_port, 12600);
    EXPECT_EQ(rig.server.m_listeningPort, 12589);
    EXPECT_TRUE(rig.server.IsConnected());
    EXPECT_EQ(DnsCalls(), (Calls{"Register Office PC #1", "Withdraw #1"}));
}

TEST_F(ServerDialogLogicTest, ApplyWhileOffOnlyStores) {
    settings.port = 12600;
    logic.OnApplyNamePort();
    EXPECT_EQ(rig.server.m_port, 12600);
    EXPECT_EQ(rig.server.m_listeningPort, -1);
    EXPECT_TRUE(DnsCalls().empty());
}

TEST_F(ServerDialogLogicTest, ApplyMovesTheListeningPortWithoutTheLibrary) {
    ServerRig bare;
    bare.dnsSd.present = false;
    bare.server.LoadServiceLibrary();
    bare.server.m_port = 12589;
    bare.server.StartServer(&bare.dispatcher);
    settings.port = 12600;
    FakeView bareView{settings, bare};
    CServerDialogLogic bareLogic{settings, bare.server, bare.dispatcher, lists, bareView};
    bareLogic.OnApplyNamePort();
    EXPECT_EQ(bare.server.m_listeningPort, 12600);
    EXPECT_TRUE(bare.dnsSd.registrations.empty());
}

TEST_F(ServerDialogLogicTest, RevertTakesTheAccountNameThenApplies) {
    TurnOn();
    logic.OnRevertToDefault();
    EXPECT_EQ(view.calls[0], "Refill alice");
    EXPECT_EQ(view.calls[1], "Save");
    // The name was already the default when the apply steps began, so it gets the blank.
    EXPECT_EQ(rig.dnsSd.registrations.back().name, "alice ");
    EXPECT_EQ(rig.server.m_serverName, "alice");
}

}  // namespace
