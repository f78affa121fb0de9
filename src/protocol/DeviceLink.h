#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Bytes produced a chunk at a time, for blocks too large to hold at once.
class IOutgoingStream {
public:
    virtual ~IOutgoingStream() = default;
    // Fills up to maxCount bytes; 0 at the end of the stream.
    virtual size_t Read(char* buffer, size_t maxCount) = 0;
};

// The way to the connected device. Everything sent goes only to a device that is connected
// now, adds no terminator and reports nothing.
class IDeviceLink {
public:
    virtual ~IDeviceLink() = default;
    virtual void SendText(const std::string& text) = 0;
    virtual void SendBytes(const void* data, int32_t length) = 0;
    // A block too large to hold at once, read as the connection drains.
    virtual void SendStream(std::unique_ptr<IOutgoingStream> stream) = 0;
    // Whether a device is connected and, where a password is asked, has given it.
    virtual bool DeviceAccepted() const = 0;
};
