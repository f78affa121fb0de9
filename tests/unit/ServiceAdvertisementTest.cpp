#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "fakes/ServerRig.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Calls = std::vector<std::string>;

TEST(ServiceAdvertisement, RegistrationCarriesNamePortAndPasswordFlag) {
    ServerRig rig;
    rig.server.m_passwordEnabled = false;
    ASSERT_TRUE(rig.server.LoadServiceLibrary());
    rig.Start();
    ASSERT_EQ(rig.dnsSd.registrations.size(), 1u);
    const ServiceRecord& r = rig.dnsSd.registrations[0];
    EXPECT_EQ(r.name, "Office PC");
    EXPECT_EQ(r.type, "_tavrixremote._tcp");
    EXPECT_EQ(r.port, 12589);
    EXPECT_FALSE(r.passwordEnabled);

    // Protection turned on while nobody is connected: the record follows the option, and
    // only the newer registration is left.
    rig.server.m_passwordEnabled = true;
    rig.server.RegisterService(rig.server.m_serverName.c_str());
    ASSERT_EQ(rig.dnsSd.registrations.size(), 2u);
    EXPECT_TRUE(rig.dnsSd.registrations[1].passwordEnabled);
    EXPECT_EQ(rig.dnsSd.live, std::set<int>{2});

    // Only the low 16 bits of the port travel.
    rig.server.m_port = 70000;
    rig.server.RegisterService("x");
    EXPECT_EQ(rig.dnsSd.registrations[2].port, 0x1170);
}

TEST(ServiceAdvertisement, PasswordTxtRecordIsOneLengthPrefixedString) {
    const Bytes off{0x11, 0x50, 0x61, 0x73, 0x73, 0x77, 0x6F, 0x72, 0x64,
                    0x45, 0x6E, 0x61, 0x62, 0x6C, 0x65, 0x64, 0x3D, 0x30};
    Bytes on = off;
    on.back() = 0x31;
    EXPECT_EQ(PasswordTxtRecord(false), off);
    EXPECT_EQ(PasswordTxtRecord(true), on);
}

TEST(ServiceAdvertisement, WithdrawnWhileADeviceIsConnected) {
    ServerRig rig;
    rig.server.LoadServiceLibrary();
    auto device = rig.StartAndConnect();
    EXPECT_TRUE(rig.dnsSd.live.empty());
    ServerRig::Leave(*device);
    EXPECT_EQ(rig.dnsSd.calls, (Calls{"Load", "Withdraw", "Register Office PC #1", "Withdraw #1",
                                      "Withdraw", "Register Office PC #2"}));

    // A new port: stop (nothing to withdraw), start, and the renewal of the departure.
    device = rig.sockets.Connect();
    rig.server.m_port = 4000;
    ServerRig::Leave(*device);
    EXPECT_EQ(rig.dnsSd.registrations.back().port, 4000);
    EXPECT_EQ(rig.dnsSd.live.size(), 1u);

    rig.server.StopServer();
    EXPECT_TRUE(rig.dnsSd.live.empty());
}

TEST(ServiceAdvertisement, AdvertisedEvenWhenListeningFails) {
    ServerRig rig;
    rig.server.LoadServiceLibrary();
    rig.sockets.state.listenSucceeds = false;
    EXPECT_FALSE(rig.Start());
    EXPECT_EQ(rig.dnsSd.live.size(), 1u);
}

TEST(ServiceAdvertisement, NothingWithoutTheLibrary) {
    ServerRig rig;
    rig.dnsSd.present = false;
    EXPECT_FALSE(rig.server.LoadServiceLibrary());
    auto device = rig.StartAndConnect();
    EXPECT_EQ(device->sends.size(), 1u);
    ServerRig::Leave(*device);
    rig.server.StopServer();
    EXPECT_EQ(rig.dnsSd.calls, Calls{"Load"});

    // Never loaded: the server doesn't even ask.
    ServerRig unloaded;
    ServerRig::Leave(*unloaded.StartAndConnect());
    EXPECT_TRUE(unloaded.dnsSd.calls.empty());
}

TEST(ServiceAdvertisement, LibraryIsUnloadedWithTheServer) {
    FakeDnsSd dnsSd;
    {
        ConnectionServerServices services;
        services.dnsSd = &dnsSd;
        CConnectionServer server(services);
        server.LoadServiceLibrary();
    }
    EXPECT_EQ(dnsSd.calls, (Calls{"Load", "Unload"}));
}

}  // namespace
