#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "fakes/FakeClock.h"
#include "fakes/FakeDnsSd.h"
#include "fakes/FakeSockets.h"
#include "fakes/FakeSound.h"
#include "fakes/FakeTimers.h"
#include "fakes/RecordingExecutor.h"
#include "fakes/RecordingServerEvents.h"
#include "fakes/RecordingSessionGate.h"
#include "net/ConnectionServer.h"
#include "net/DiagnosticLog.h"
#include "protocol/CommandDispatcher.h"

// A connection server wired to fakes the way the main window wires the real one: server
// "Office PC", password "pw" with protection on, server switched on. The dispatcher drives
// the recording executor, or the executor a test passes in; the gate hands every password to
// the server.
struct ServerRig {
    explicit ServerRig(const char* logPath = nullptr) : ServerRig(nullptr, logPath) {}
    explicit ServerRig(CCommandExecutor& driven, const char* logPath = nullptr)
        : ServerRig(&driven, logPath) {}

    bool Start() { return server.StartServer(); }

    // Started, with a device connected; its hello is already in its send log.
    std::shared_ptr<FakeStream> StartAndConnect() {
        Start();
        return sockets.Connect();
    }

    void SetPasswordEnabled(bool on) {
        ServerConfig config = server.Config();
        config.passwordEnabled = on;
        server.Configure(config);
    }
    void SetPort(int32_t port) {
        ServerConfig config = server.Config();
        config.port = port;
        server.Configure(config);
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
    FakeSound sound;
    FakeClock clock;
    FakeDnsSd dnsSd;
    FakeTimers timers;
    DiagnosticLog log;
    RecordingServerEvents events;
    RecordingSessionGate gate;
    RecordingExecutor executor;
    CCommandDispatcher dispatcher;
    CConnectionServer server;

private:
    ServerRig(CCommandExecutor* driven, const char* logPath)
        : log(logPath),
          dispatcher(driven ? *driven : executor, gate, sound),
          server(ConnectionServerServices{sockets, events, sound, clock, timers, dnsSd, log,
                                          dispatcher}) {
        gate.forwardPassword = [this](const std::string& text) { server.CheckPassword(text); };
        ServerConfig config;
        config.serverName = "Office PC";
        config.password = "pw";
        config.passwordEnabled = true;
        server.Configure(config);
        server.SetServerOn(true);
    }
};

inline const std::string kAck("\x0A\x00\x00\x00", 4);
