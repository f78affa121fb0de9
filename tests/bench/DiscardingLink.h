#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "protocol/DeviceLink.h"

// A connected device that takes everything and keeps only the count, so that sending costs
// nothing beyond the core's own work.
class DiscardingLink : public IDeviceLink {
public:
    void SendText(const std::string& text) override {
        ++messages;
        bytes += text.size();
    }
    void SendBytes(const void*, int32_t length) override {
        ++messages;
        bytes += static_cast<size_t>(length);
    }
    void SendStream(std::unique_ptr<IOutgoingStream>) override { ++messages; }
    bool DeviceAccepted() const override { return true; }

    size_t messages = 0;
    size_t bytes = 0;
};
