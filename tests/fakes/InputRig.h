#pragma once
#include <memory>
#include <string>
#include <vector>

#include "desktop/WindowRegistry.h"
#include "fakes/FakeAnsiCodePage.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeFileDialogs.h"
#include "fakes/FakeGlideClock.h"
#include "fakes/FakeKeyboard.h"
#include "fakes/FakeMainWindow.h"
#include "fakes/FakeSockets.h"
#include "fakes/FakeSound.h"
#include "fakes/FakeTestWindows.h"
#include "fakes/FakeTimers.h"
#include "input/FileExchange.h"
#include "input/KeyboardInput.h"
#include "input/PointerInput.h"
#include "net/ConnectionServer.h"
#include "net/DiagnosticLog.h"
#include "net/ServerEvents.h"
#include "platform/DnsSd.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"
#include "protocol/ModalNesting.h"
#include "protocol/SessionGate.h"

// A machine without a DNS-SD library: the server goes unadvertised.
class AbsentDnsSd : public IDnsSd {
public:
    bool Load() override { return false; }
    bool IsLoaded() const override { return false; }
    void Unload() override {}
    void Register(const ServiceRecord&) override {}
    void Withdraw() override {}
};

// The real parts behind the real executor, dispatcher and connection server, wired the way
// the main window wires them, on fakes. The rig plays the main window's session gate and
// takes the server's events. The server is switched on, without a password, and started.
struct InputRig : ISessionGate, IServerEvents {
    static constexpr WindowHandle kMainWindow = 0x500;

    InputRig() {
        ServerConfig config;
        config.passwordEnabled = false;
        server.Configure(config);
        server.SetServerOn(true);
        server.StartServer();
    }

    // A device connects; the hello it is sent is not kept.
    std::shared_ptr<FakeStream> Connect() {
        std::shared_ptr<FakeStream> device = sockets.Connect();
        device->sends.clear();
        return device;
    }
    // One arrival and the receive notifications it takes, as the socket layer delivers them.
    static void Arrive(FakeStream& device, const std::string& bytes) {
        device.Arrive(bytes);
        while (!device.incoming.empty()) device.notify->OnReceive();
    }
    void RequirePassword(bool on) {
        ServerConfig config = server.Config();
        config.passwordEnabled = on;
        server.Configure(config);
    }

    void CheckPassword(const std::string& text) override { server.CheckPassword(text); }
    void SetDeviceName(const std::string& name) override { window.deviceName = name; }
    void OnLinkChanged() override {}
    void PostDropConnection(uint32_t connectionId) override { drops.push_back(connectionId); }

    // What the server sends for every read of lines.
    static inline const std::string kAck{"\x0A\x00\x00\x00", 4};

    FakeDesktop desktop;
    FakeKeyboard keyboard;
    FakeMainWindow window{kMainWindow};
    FakeGlideClock clock;
    FakeAnsiCodePage codePage;
    FakeFileDialogs dialogs;
    FakeTestWindows testWindows;
    FakeSocketFactory sockets;
    FakeSound sound;
    AbsentDnsSd dnsSd;
    FakeTimers timers;
    CModalNesting modals;
    DiagnosticLog log{static_cast<std::FILE*>(nullptr)};
    std::vector<uint32_t> drops;

    CPointerInput pointer{desktop, desktop, window, clock};
    CKeyboardInput keys{keyboard};
    CWindowRegistry registry{desktop, codePage, clock, window, server, modals};
    CFileExchange files{dialogs, testWindows, desktop, window, server, modals};
    CCommandExecutor executor{CommandParts{pointer, keys, registry, files}};
    CCommandDispatcher dispatcher{executor, *this, sound};
    CConnectionServer server{
        ConnectionServerServices{sockets, *this, sound, clock, timers, dnsSd, log, dispatcher}};
};
