#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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
    EXPECT_TRUE(rig.server.IsListening());
    EXPECT_EQ(rig.events.linkChanges, 0);
    auto device = rig.sockets.Connect();
    EXPECT_EQ(device->sends, Sends{"1000:Office PC:1:1.0 PC\n"});
    EXPECT_TRUE(rig.server.IsConnected());
    EXPECT_EQ(rig.events.linkChanges, 1);

    ServerRig open;
    open.SetPasswordEnabled(false);
    EXPECT_EQ(open.StartAndConnect()->sends, Sends{"1000:Office PC:0:1.0 PC\n"});
}

TEST(ConnectionServer, SecondDeviceIsTurnedAwayAndLogged) {
    TempFile logFile;  // outlives the rig, whose log holds it open
    ServerRig rig(logFile.path.c_str());
    rig.SetPasswordEnabled(false);
    auto first = rig.StartAndConnect();
    ServerRig::Send(*first, "9\n2:5");  // a half line that the second device must not disturb
    auto second = rig.sockets.Connect();
    EXPECT_EQ(second->sends, Sends{"2000\n"});
    EXPECT_TRUE(second->destroyed);
    EXPECT_EQ(logFile.Content(), "Closed!! \n");

    ServerRig::Send(*first, ":7\n");
    EXPECT_EQ(rig.executor.calls, std::vector<std::string>{"MoveCursorBy(5,7)"});
    EXPECT_FALSE(first->destroyed);
    EXPECT_EQ(rig.events.linkChanges, 1);

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
    rig.Start();
    for (const char* wrong : {"3000:p\n", "3000:pww\n", "3000:PW\n", "3000\n"}) {
        auto device = rig.sockets.Connect();
        EXPECT_FALSE(rig.server.DeviceAccepted());
        ServerRig::Send(*device, wrong);
        EXPECT_EQ(device->sends.back(), "2000\n") << wrong;
        EXPECT_FALSE(rig.server.IsAuthenticated()) << wrong;
        ServerRig::Leave(*device);
    }
    // Every refusal asks to drop the connection that was refused, by its id.
    EXPECT_EQ(rig.events.drops, (std::vector<uint32_t>{1, 2, 3, 4}));

    auto device = rig.sockets.Connect();
    ServerRig::Send(*device, "3000:pw\n");
    EXPECT_EQ(device->sends.back(), "1500\n");
    EXPECT_TRUE(rig.server.IsAuthenticated());
    EXPECT_TRUE(rig.server.DeviceAccepted());

    // Wrong after right: refused and dropped, and nothing after it is obeyed.
    ServerRig::Send(*device, "3000:x\n2:1:1\n");
    EXPECT_EQ(device->sends.back(), "2000\n");
    EXPECT_EQ(rig.events.drops.size(), 5u);
    EXPECT_TRUE(rig.executor.calls.empty());
    ServerRig::Leave(*device);
    EXPECT_FALSE(rig.server.IsAuthenticated());
    EXPECT_FALSE(rig.server.DeviceAccepted());

    // Without protection any password is accepted, and none is needed.
    rig.SetPasswordEnabled(false);
    auto next = rig.sockets.Connect();
    EXPECT_TRUE(rig.server.DeviceAccepted());
    ServerRig::Send(*next, "3000:anything\n");
    EXPECT_EQ(next->sends.back(), "1500\n");
    EXPECT_TRUE(rig.server.IsAuthenticated());
    EXPECT_EQ(rig.events.drops.size(), 5u);
}

TEST(ConnectionServer, PasswordWithoutDeviceChangesOnlyTheFlag) {
    ServerRig rig;
    rig.server.CheckPassword("x");
    EXPECT_FALSE(rig.server.IsAuthenticated());
    rig.server.CheckPassword(std::string("pw\0", 3));  // same bytes, different length
    EXPECT_FALSE(rig.server.IsAuthenticated());
    rig.server.CheckPassword("pw");
    EXPECT_TRUE(rig.server.IsAuthenticated());
    EXPECT_FALSE(rig.server.DeviceAccepted()) << "no device is there to accept";
    EXPECT_TRUE(rig.events.drops.empty());
}

TEST(ConnectionServer, NewSettingsTakeEffectAtTheNextPassword) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerConfig config = rig.server.Config();
    config.password = "new";
    rig.server.Configure(config);
    ServerRig::Send(*device, "3000:pw\n");
    EXPECT_EQ(device->sends.back(), "2000\n");
    ServerRig::Leave(*device);
    auto next = rig.sockets.Connect();
    ServerRig::Send(*next, "3000:new\n");
    EXPECT_EQ(next->sends.back(), "1500\n");
}

TEST(ConnectionServer, LeavingDeviceIsForgottenAndAnnounced) {
    ServerRig rig;
    rig.dispatcher.SetAlertSound(true);
    auto device = rig.StartAndConnect();
    ServerRig::Leave(*device);
    EXPECT_TRUE(device->destroyed);
    EXPECT_FALSE(rig.server.IsConnected());
    EXPECT_EQ(rig.events.linkChanges, 2);
    EXPECT_EQ(rig.sound.played, std::vector<std::string>{"Windows XP Hardware Remove.wav"});
    // Nothing the device pressed or chose outlives it.
    EXPECT_EQ(rig.executor.Ends(),
              (std::vector<std::string>{"EndDeviceInput", "EndDeviceSession"}));

    rig.dispatcher.SetAlertSound(false);
    ServerRig::Leave(*rig.sockets.Connect());
    EXPECT_EQ(rig.sound.played.size(), 1u);
    EXPECT_EQ(rig.events.linkChanges, 4);
}

TEST(ConnectionServer, PortChangeTakesEffectWhenTheDeviceLeaves) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    rig.SetPort(4000);
    EXPECT_EQ(rig.sockets.state.createdPorts, std::vector<int>{12589});

    ServerRig::Leave(*device);
    EXPECT_EQ(rig.sockets.state.createdPorts, (std::vector<int>{12589, 4000}));
    EXPECT_EQ(rig.sockets.state.alive, 1);
    auto next = rig.sockets.Connect();
    EXPECT_EQ(next->sends.size(), 1u);
    // Listening on the new port now: the next departure leaves it alone.
    ServerRig::Leave(*next);
    EXPECT_EQ(rig.sockets.state.createdPorts.size(), 2u);
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

// A chunked block from a source, for the stream sends.
class Chunks : public IOutgoingStream {
public:
    explicit Chunks(std::string bytes) : m_bytes(std::move(bytes)) {}
    size_t Read(char* buffer, size_t maxCount) override {
        const size_t n = std::min(maxCount, m_bytes.size() - m_at);
        m_bytes.copy(buffer, n, m_at);
        m_at += n;
        return n;
    }

private:
    std::string m_bytes;
    size_t m_at = 0;
};

TEST(ConnectionServer, StreamGoesOnlyToAConnectedDevice) {
    ServerRig rig;
    rig.Start();
    rig.server.SendStream(std::make_unique<Chunks>("lost"));
    auto device = rig.sockets.Connect();
    rig.server.SendStream(std::make_unique<Chunks>("700:3\nabc"));
    EXPECT_EQ(device->SentText(), "1000:Office PC:1:1.0 PC\n700:3\nabc");
}

// A server that can't listen is off and says why; starting again tries again.
TEST(ConnectionServer, FailedStartTurnsTheServerOffWithTheReason) {
    for (bool createFails : {true, false}) {
        for (ListenFailure reason : {ListenFailure::PortInUse, ListenFailure::Other}) {
            ServerRig rig;
            rig.sockets.state.createSucceeds = !createFails;
            rig.sockets.state.listenSucceeds = createFails;
            rig.sockets.state.failure = reason;
            EXPECT_FALSE(rig.Start());
            EXPECT_FALSE(rig.server.IsListening());
            EXPECT_FALSE(rig.server.IsServerOn());
            EXPECT_EQ(rig.server.ListenFailureReason(), reason);
            EXPECT_EQ(rig.sockets.state.alive, 0);

            rig.sockets.state.createSucceeds = true;
            rig.sockets.state.listenSucceeds = true;
            EXPECT_TRUE(rig.Start());
            EXPECT_TRUE(rig.server.IsServerOn());
            EXPECT_EQ(rig.server.ListenFailureReason(), ListenFailure::None);
            EXPECT_EQ(rig.sockets.state.createdPorts, (std::vector<int>{12589, 12589}));
        }
    }
}

TEST(ConnectionServer, StopEndsListeningAndTheDevice) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "3000:pw\n");
    rig.server.StopServer();
    EXPECT_FALSE(rig.server.IsListening());
    EXPECT_FALSE(rig.server.IsConnected());
    EXPECT_FALSE(rig.server.IsAuthenticated());
    EXPECT_TRUE(device->destroyed);
    EXPECT_EQ(rig.sockets.state.alive, 0);
    EXPECT_EQ(rig.executor.Ends(),
              (std::vector<std::string>{"EndDeviceInput", "EndDeviceSession"}));
}

TEST(ConnectionServer, GracefulCloseDrainsAndIgnoresDepartedDevices) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "3000:wrong\n");
    ASSERT_EQ(rig.events.drops.size(), 1u);
    const uint32_t refused = rig.events.drops[0];
    device->Arrive(std::string(120, 'q'));
    device->receiveSizes.clear();
    rig.server.CloseConnectionGracefully(refused);
    EXPECT_EQ(device->shutdowns, 1);
    EXPECT_TRUE(device->incoming.empty());
    EXPECT_EQ(device->receiveSizes, (std::vector<int>{50, 50, 50, 50}));
    EXPECT_TRUE(rig.server.IsConnected());

    ServerRig::Leave(*device);
    rig.server.CloseConnectionGracefully(refused);  // posted before the device left
    EXPECT_EQ(device->shutdowns, 1);
}

// The drop request names the refused connection; by the time it is handled that device may
// have gone and the next one may be connected.
TEST(ConnectionServer, StaleDropRequestSparesTheNextDevice) {
    ServerRig rig;
    auto refused = rig.StartAndConnect();
    ServerRig::Send(*refused, "3000:wrong\n");
    ASSERT_EQ(rig.events.drops, std::vector<uint32_t>{1});
    ServerRig::Leave(*refused);
    auto next = rig.sockets.Connect();
    ASSERT_TRUE(rig.server.IsConnected());
    rig.server.CloseConnectionGracefully(1);
    // Nor is a connection that was never refused closed.
    rig.server.CloseConnectionGracefully(2);
    EXPECT_EQ(next->shutdowns, 0);
    ServerRig::Send(*next, "3000:pw\n");
    EXPECT_EQ(next->sends.back(), "1500\n");
}

TEST(ConnectionServer, GracefulCloseOfAFloodingDeviceEnds) {
    ServerRig rig;
    auto device = rig.StartAndConnect();
    ServerRig::Send(*device, "3000:wrong\n");
    ASSERT_EQ(rig.events.drops.size(), 1u);
    device->ArriveFill(size_t{16} << 20);  // faster than 50-byte reads can take it
    device->receiveSizes.clear();
    rig.server.CloseConnectionGracefully(rig.events.drops[0]);
    EXPECT_EQ(device->shutdowns, 1);
    EXPECT_LE(device->receiveSizes.size(), 64u * 1024u / 50u + 1u);
}

}  // namespace
