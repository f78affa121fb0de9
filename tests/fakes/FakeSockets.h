#pragma once
#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Socket.h"

// The device's end of one connection. Shared with the test, because the server destroys the
// socket object when the device leaves and the test still wants to look at what it saw.
struct FakeStream {
    // What arrives, one entry per arrival. A read smaller than an entry leaves the rest for
    // the next read, as TCP does.
    struct Chunk {
        std::string bytes;
        size_t fill = 0;  // that many 'x' bytes, for payloads too large to keep in memory
        int result = -1;  // returned as is when there are no bytes: 0 closed, -1 error
    };
    std::deque<Chunk> incoming;
    std::vector<std::string> sends;  // one entry per Send call
    std::vector<int> receiveSizes;   // the maxCount of every Receive call
    int shutdowns = 0;
    bool destroyed = false;
    ISocketNotify* notify = nullptr;
    std::string peerAddress;
    // Idle and interval of the keep-alive the server asked for; zeros while it asked none.
    std::pair<uint32_t, uint32_t> keepAlive{0, 0};

    void Arrive(const std::string& bytes) { incoming.push_back({bytes, 0, -1}); }
    void ArriveFill(size_t count) { incoming.push_back({{}, count, -1}); }
    void ArriveResult(int result) { incoming.push_back({{}, 0, result}); }

    std::string SentText() const {
        std::string all;
        for (const std::string& s : sends) all += s;
        return all;
    }

    int Receive(void* buffer, int maxCount) {
        receiveSizes.push_back(maxCount);
        if (incoming.empty()) return -1;
        Chunk& c = incoming.front();
        if (c.fill > 0) {
            const size_t n = std::min(c.fill, static_cast<size_t>(maxCount));
            std::memset(buffer, 'x', n);
            if ((c.fill -= n) == 0) incoming.pop_front();
            return static_cast<int>(n);
        }
        if (c.bytes.empty()) {
            const int result = c.result;
            incoming.pop_front();
            return result;
        }
        const size_t n = std::min(c.bytes.size(), static_cast<size_t>(maxCount));
        std::memcpy(buffer, c.bytes.data(), n);
        c.bytes.erase(0, n);
        if (c.bytes.empty()) incoming.pop_front();
        return static_cast<int>(n);
    }
};

class FakeStreamSocket : public IStreamSocket {
public:
    explicit FakeStreamSocket(std::shared_ptr<FakeStream> stream) : m_stream(std::move(stream)) {}
    ~FakeStreamSocket() override { m_stream->destroyed = true; }
    int Receive(void* buffer, int maxCount) override { return m_stream->Receive(buffer, maxCount); }
    void Send(const void* data, int length) override {
        m_stream->sends.emplace_back(static_cast<const char*>(data), static_cast<size_t>(length));
    }
    void ShutdownSend() override { ++m_stream->shutdowns; }
    size_t QueuedBytes() const override { return 0; }
    std::string PeerAddress() const override { return m_stream->peerAddress; }
    void EnableKeepAlive(uint32_t idle, uint32_t interval) override {
        m_stream->keepAlive = {idle, interval};
    }

private:
    std::shared_ptr<FakeStream> m_stream;
};

// What every listening socket made by one factory was asked and will answer.
struct FakeListenerState {
    bool createSucceeds = true;
    bool listenSucceeds = true;
    ListenFailure failure = ListenFailure::PortInUse;  // what a failed Create or Listen says
    std::vector<int> createdPorts;
    std::vector<int> backlogs;
    // Devices waiting to be accepted, in order; a null entry makes Accept fail.
    std::deque<std::shared_ptr<FakeStream>> waiting;
    ISocketNotify* target = nullptr;
    int alive = 0;  // listening sockets not yet destroyed
};

class FakeListeningSocket : public IListeningSocket {
public:
    explicit FakeListeningSocket(FakeListenerState& state) : m_state(state) { ++m_state.alive; }
    ~FakeListeningSocket() override { --m_state.alive; }
    bool Create(int port) override {
        m_state.createdPorts.push_back(port);
        return m_state.createSucceeds;
    }
    bool Listen(int backlog) override {
        m_state.backlogs.push_back(backlog);
        return m_state.listenSucceeds;
    }
    ListenFailure Failure() const override { return m_state.failure; }
    std::unique_ptr<IStreamSocket> Accept(ISocketNotify& target) override {
        if (m_state.waiting.empty()) return nullptr;
        std::shared_ptr<FakeStream> stream = m_state.waiting.front();
        m_state.waiting.pop_front();
        if (!stream) return nullptr;
        stream->notify = &target;
        return std::make_unique<FakeStreamSocket>(stream);
    }

private:
    FakeListenerState& m_state;
};

class FakeSocketFactory : public ISocketFactory {
public:
    std::unique_ptr<IListeningSocket> CreateListeningSocket(ISocketNotify& target) override {
        state.target = &target;
        return std::make_unique<FakeListeningSocket>(state);
    }

    // A device connects: the listening socket is notified and accepts it (or not).
    std::shared_ptr<FakeStream> Connect(const std::string& peerAddress = "192.168.1.20") {
        auto stream = std::make_shared<FakeStream>();
        stream->peerAddress = peerAddress;
        state.waiting.push_back(stream);
        state.target->OnAccept();
        return stream;
    }

    FakeListenerState state;
};
