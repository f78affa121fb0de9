#pragma once
#include <memory>
#include <string>
#include <vector>

#include "protocol/DeviceLink.h"

// The way to the device, recording each send as the device would receive it. While no device
// is accepted, sends are dropped as the connection server drops them, and only counted.
class FakeDeviceLink : public IDeviceLink {
public:
    void SendText(const std::string& text) override { Deliver(text); }
    void SendBytes(const void* data, int32_t length) override {
        if (length < 0) {
            ++badLengths;
            return;
        }
        Deliver(std::string(static_cast<const char*>(data), static_cast<size_t>(length)));
    }
    // Read to the end at once: the device gets the stream as one send.
    void SendStream(std::unique_ptr<IOutgoingStream> stream) override {
        std::string all;
        char chunk[4096];
        for (size_t n; (n = stream->Read(chunk, sizeof chunk)) != 0;) all.append(chunk, n);
        Deliver(all);
    }
    bool DeviceAccepted() const override { return accepted; }

    // Everything the device received since the last call.
    std::string Received() {
        std::string all;
        for (; seen < sends.size(); ++seen) all += sends[seen];
        return all;
    }

    bool accepted = true;
    std::vector<std::string> sends;  // one entry per send that reached the device
    int dropped = 0;                 // sends while no device was accepted
    int badLengths = 0;              // SendBytes with a negative length

private:
    void Deliver(const std::string& bytes) {
        if (!accepted) {
            ++dropped;
            return;
        }
        sends.push_back(bytes);
    }

    size_t seen = 0;
};
