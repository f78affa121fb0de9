// The device's byte stream, cut into reads of fuzzer-chosen sizes, through the framing,
// the queue and the dispatcher.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "net/ConnectionServer.h"
#include "net/DiagnosticLog.h"
#include "platform/Socket.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"

namespace {

struct Stream : IStreamSocket {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t nextRead = 0;  // bytes the next Receive may hand out
    int Receive(void* buffer, int maxCount) override {
        const size_t n = std::min({size, nextRead, static_cast<size_t>(maxCount)});
        std::memcpy(buffer, data, n);
        data += n;
        size -= n;
        return static_cast<int>(n);
    }
    void Send(const void*, int) override {}
    void ShutdownSend() override {}
};

struct Listener : IListeningSocket {
    Stream* stream = nullptr;
    bool Create(int) override { return true; }
    bool Listen(int) override { return true; }
    std::unique_ptr<IStreamSocket> Accept(ISocketNotify&) override {
        auto owned = std::make_unique<Stream>();
        stream = owned.get();
        return owned;
    }
};

struct Factory : ISocketFactory {
    Listener* listener = nullptr;
    std::unique_ptr<IListeningSocket> CreateListeningSocket(ISocketNotify&) override {
        auto owned = std::make_unique<Listener>();
        listener = owned.get();
        return owned;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    Factory factory;
    DiagnosticLog log(nullptr);
    ConnectionServerServices services;
    services.sockets = &factory;
    services.log = &log;
    CConnectionServer server(services);
    CCommandExecutor executor(&server);
    CCommandDispatcher dispatcher(&executor, nullptr, nullptr);
    server.m_passwordEnabled = (data[0] & 1) != 0;
    server.m_password = "pw";
    server.m_serverOn = true;
    server.m_pDispatcher = &dispatcher;
    server.StartServer(&dispatcher);
    server.AcceptConnection();
    if (!factory.listener || !factory.listener->stream || server.m_connections.empty()) return 0;
    Stream& stream = *factory.listener->stream;
    const uint8_t step = data[1];
    stream.data = data + 2;
    stream.size = size - 2;
    for (int reads = 0; reads < 4096 && (stream.size > 0 || reads == 0); ++reads) {
        stream.nextRead = 1 + (step * (reads + 1)) % 700;
        server.OnDataReceived(server.m_connections.front().get());
    }
    return 0;
}
