#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/ServerRig.h"
#include "fakes/TempFile.h"
#include "net/ServerSockets.h"

namespace {

using Sends = std::vector<std::string>;

TEST(ConnectionServer, AcceptedDeviceIsGreeted) {
    ServerRig rig;
    ASSERT_TRUE(rig.Start());
    EXPECT_EQ(rig.sockets.state.createdPorts, std::vector<int>{12589});
    EXPECT_EQ(rig.sockets.state.backlogs, std::vector<int>{5});
    EXPECT_EQ(rig.server.m_listeningPort, 12589);
    auto device = rig.sockets.Connect();
    EXPECT_EQ(device->sends, Sends{"1000:Office PC:1:1.0 PC\n"});
    EXPECT_TRUE(rig.server.IsConnected());
    EXPECT_EQ(rig.window.statusUpdates, 1);

    ServerRig open;
    open.server.m_passwordEnabled = false;
    EXPECT_EQ(open.StartAndConnect()->sends, Sends{"1000:Office PC:0:1.0 PC\n"});
}

TEST(ConnectionServer, SecondDeviceIsTurnedAwayAndLogged) {
    TempFile logFile;  // outlives the rig, whose log holds it open
    ServerRig rig(logFile.path.c_str());
    rig.server.m_passwordEnabled = false;
    auto first = rig.StartAndConnect();
    ServerRig::Send(*first, "9\n2:5");  // a half line that the second device must not disturb
    auto second = rig.sockets.Connect();
    EXPECT_EQ(second->sends, Sends{"2000\n"});
    EXPECT_TRUE(second->destroyed);
    EXPECT_EQ(logFile.Content(), "Closed!! \n");

    ServerRig::Send(*first, ":7\n");
    EXPECT_EQ(rig.executor.calls, std::vector<std::string>{"MoveCursorBy(5,7)"});
    EXPECT_FALSE(first->destroyed);
    EXPECT_EQ(rig.window.statusUpdates, 1);

    // Leaving, being stopped or failing to be accepted writes nothing to the log.
    ServerRig::Leave(*first);
    auto third = rig.sockets.Connect();
    EXPECT_EQ(third->sends, Sends{"1000:Office PC:0:1.0 PC\n"});
    rig.sockets.state.waiting.push_back(nullptr);
    rig.sockets.state.target->OnAccept();
    EXPECT_TRUE(rig.server.IsConnected());
    rig.server.StopServer();
    EXPECT_TRUE(third->destroyed);
    EXPECT_EQ(third->sends.size(), 1u);
    EXPECT_EQ(logFile.Content(), "Closed!! \n");
}

TEST(ConnectionServer, PasswordVerdicts) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    for (const char* wrong : {"3000:p\n", "3000:pww\n", "3000:PW\n", "3000\n"}) {
        ServerRig::Send(*device, wrong);
        EXPECT_EQ(device->sends.back(), "2000\n") << wrong;
        EXPECT_FALSE(rig.server.m_authenticated) << wrong;
    }
    ASSERT_EQ(rig.window.drops.size(), 4u);
    EXPECT_EQ(rig.window.drops[0], rig.server.m_connections.front().get());

    ServerRig::Send(*device, "3000:pw\n");
    EXPECT_EQ(device->sends.back(), "1500\n");
    EXPECT_TRUE(rig.server.m_authenticated);

    // Wrong after right: refused and dropped, but obeyed until the device has gone.
    ServerRig::Send(*device, "3000:x\n2:1:1\n");
    EXPECT_EQ(device->sends.back(), "2000\n");
    EXPECT_EQ(rig.window.drops.size(), 5u);
    EXPECT_EQ(rig.executor.calls, std::vector<std::string>{"MoveCursorBy(1,1)"});
    ServerRig::Leave(*device);
    EXPECT_FALSE(rig.server.m_authenticated);

    // Without protection any password is accepted.
    rig.server.m_passwordEnabled = false;
    auto next = rig.sockets.Connect();
    ServerRig::Send(*next, "3000:anything\n");
    EXPECT_EQ(next->sends.back(), "1500\n");
    EXPECT_TRUE(rig.server.m_authenticated);
    EXPECT_EQ(rig.window.drops.size(), 5u);
}

TEST(ConnectionServer, PasswordWithoutDeviceChangesOnlyTheFlag) {
    ServerRig rig;
    rig.server.CheckPassword("x");
    EXPECT_FALSE(rig.server.m_authenticated);
    rig.server.CheckPassword(std::string("pw\0", 3));  // same bytes, different length
    EXPECT_FALSE(rig.server.m_authenticated);
    rig.server.CheckPassword("pw");
    EXPECT_TRUE(rig.server.m_authenticated);
    EXPECT_TRUE(rig.window.drops.empty());
}

TEST(ConnectionServer, LeavingDeviceIsForgottenAndAnnounced) {
    ServerRig rig;
    rig.dispatcher.m_alertSound = true;
    auto device = rig.StartAndConnect();
    ServerRig::Leave(*device);
    EXPECT_TRUE(device->destroyed);
    EXPECT_FALSE(rig.server.IsConnected());
    EXPECT_EQ(rig.window.statusUpdates, 2);
    EXPECT_EQ(rig.sound.played, std::vector<std::string>{"Windows XP Hardware Remove.wav"});

    rig.dispatcher.m_alertSound = false;
    ServerRig::Leave(*rig.sockets.Connect());
    EXPECT_EQ(rig.sound.played.size(), 1u);
}

TEST(ConnectionServer, PortChangeTakesEffectWhenTheDeviceLeaves) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    rig.server.m_port = 4000;
    EXPECT_EQ(rig.server.m_listeningPort, 12589);
    EXPECT_EQ(rig.sockets.state.createdPorts, std::vector<int>{12589});

    ServerRig::Leave(*device);
    EXPECT_EQ(rig.sockets.state.createdPorts, (std::vector<int>{12589, 4000}));
    EXPECT_EQ(rig.server.m_listeningPort, 4000);
    EXPECT_EQ(rig.sockets.state.alive, 1);
    EXPECT_EQ(rig.sockets.Connect()->sends.size(), 1u);
}

TEST(ConnectionServer, SendsNeedExactlyOneDevice) {
    ServerRig rig;
    rig.Start();
    rig.server.SendText("x");  // nothing to send to, and nothing to fail
    auto device = rig.sockets.Connect();
    rig.server.SendText("124:0:\n");
    rig.server.SendBytes("a\0b", 3);
    rig.server.SendBytes("c", -1);
    EXPECT_EQ(device->sends,
              (Sends{"1000:Office PC:1:1.0 PC\n", "124:0:\n", std::string("a\0b", 3)}));
    ServerRig::Leave(*device);
    rig.server.SendText("late");
    rig.server.SendBytes("late", 4);
    EXPECT_EQ(device->sends.size(), 3u);
}

TEST(ConnectionServer, FailedStartLeavesThePortUnset) {
    for (bool createFails : {true, false}) {
        ServerRig rig;
        rig.sockets.state.createSucceeds = !createFails;
        rig.sockets.state.listenSucceeds = createFails;
        EXPECT_FALSE(rig.Start());
        EXPECT_EQ(rig.server.m_listeningPort, -1);
        EXPECT_NE(rig.server.m_pListenSocket, nullptr);
        EXPECT_EQ(rig.dispatcher.m_pConnection, &rig.server);
    }
}

TEST(ConnectionServer, GracefulCloseDrainsAndIgnoresDepartedDevices) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "3000:wrong\n");
    ASSERT_EQ(rig.window.drops.size(), 1u);
    CConnectionSocket* connection = rig.window.drops[0];
    device->Arrive(std::string(120, 'q'));
    device->receiveSizes.clear();
    rig.server.CloseConnectionGracefully(connection);
    EXPECT_EQ(device->shutdowns, 1);
    EXPECT_TRUE(device->incoming.empty());
    EXPECT_EQ(device->receiveSizes, (std::vector<int>{50, 50, 50, 50}));
    EXPECT_TRUE(rig.server.IsConnected());

    ServerRig::Leave(*device);
    rig.server.CloseConnectionGracefully(connection);  // posted before the device left
    EXPECT_EQ(device->shutdowns, 1);
}

// The drop request carries the refused connection's address; by the time it is handled that
// device may have gone and the next one may live at the same address.
TEST(ConnectionServer, StaleDropRequestSparesTheNextDevice) {
    ServerRig rig;
    auto refused = rig.StartAndConnect();
    ServerRig::Send(*refused, "3000:wrong\n");
    ASSERT_EQ(rig.window.drops.size(), 1u);
    ServerRig::Leave(*refused);
    auto next = rig.sockets.Connect();
    ASSERT_TRUE(rig.server.IsConnected());
    rig.server.CloseConnectionGracefully(rig.server.m_connections.front().get());
    EXPECT_EQ(next->shutdowns, 0);
    ServerRig::Send(*next, "3000:pw\n");
    EXPECT_EQ(next->sends.back(), "1500\n");
}

TEST(ConnectionServer, GracefulCloseOfAFloodingDeviceEnds) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "3000:wrong\n");
    ASSERT_EQ(rig.window.drops.size(), 1u);
    device->ArriveFill(size_t{16} << 20);  // faster than 50-byte reads can take it
    device->receiveSizes.clear();
    rig.server.CloseConnectionGracefully(rig.window.drops[0]);
    EXPECT_EQ(device->shutdowns, 1);
    EXPECT_LE(device->receiveSizes.size(), 64u * 1024u / 50u + 1u);
}

}  // namespace
