#pragma once
#include <memory>
#include <string>

#include "fakes/FakeClock.h"
#include "fakes/FakeDnsSd.h"
#include "fakes/FakeMainWindow.h"
#include "fakes/FakeSockets.h"
#include "fakes/FakeSound.h"
#include "fakes/RecordingExecutor.h"
#include "net/ConnectionServer.h"
#include "net/DiagnosticLog.h"
#include "protocol/CommandDispatcher.h"

// A connection server wired to fakes the way the main window wires the real one: server
// "Office PC", password "pw" with protection on, server switched on.
struct ServerRig {
    explicit ServerRig(const char* logPath = nullptr) : log(logPath) {
        executor.m_pServer = &server;
        server.m_serverName = "Office PC";
        server.m_password = "pw";
        server.m_serverOn = true;
    }

    ConnectionServerServices Services() {
        ConnectionServerServices s;
        s.sockets = &sockets;
        s.mainWindow = &window;
        s.sound = &sound;
        s.clock = &clock;
        s.dnsSd = &dnsSd;
        s.log = &log;
        return s;
    }

    bool Start() { return server.StartServer(&dispatcher); }

    // Started, with a device connected; its hello is already in its send log.
    std::shared_ptr<FakeStream> StartAndConnect() {
        Start();
        return sockets.Connect();
    }

    // One arrival and the one receive notification that it causes.
    static void Send(FakeStream& device, const std::string& bytes) {
        device.Arrive(bytes);
        device.notify->OnReceive();
    }
    static void ReceiveAll(FakeStream& device) {
        while (!device.incoming.empty()) device.notify->OnReceive();
    }
    static void Leave(FakeStream& device) { device.notify->OnClose(); }

    FakeSocketFactory sockets;
    FakeMainWindow window;
    FakeSound sound;
    FakeClock clock;
    FakeDnsSd dnsSd;
    DiagnosticLog log;
    RecordingExecutor executor;
    CCommandDispatcher dispatcher{&executor, &window, &sound};
    CConnectionServer server{Services()};
};

inline const std::string kAck("\x0A\x00\x00\x00", 4);
