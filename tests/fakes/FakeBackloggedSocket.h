#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "platform/Socket.h"

// A connected socket whose system buffer can be full: while backsUp is set, everything sent
// stays queued until the test drains it.
class FakeBackloggedSocket : public IStreamSocket {
public:
    int Receive(void*, int) override { return -1; }
    void Send(const void* data, int length) override {
        sends.emplace_back(static_cast<const char*>(data), static_cast<size_t>(length));
        if (backsUp) queued += static_cast<size_t>(length);
    }
    void ShutdownSend() override { shutdownAfter = sends.size(); }
    size_t QueuedBytes() const override { return queued; }
    std::string PeerAddress() const override { return "127.0.0.1"; }
    void EnableKeepAlive(uint32_t, uint32_t) override {}

    std::string SentText() const {
        std::string all;
        for (const std::string& s : sends) all += s;
        return all;
    }

    bool backsUp = false;
    size_t queued = 0;
    std::vector<std::string> sends;
    // How many sends came before the shutdown; npos while there was none.
    size_t shutdownAfter = std::string::npos;
};
