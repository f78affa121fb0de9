#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <string>

#include "protocol/DeviceLink.h"

class IStreamSocket;

// What a connection still has to send behind a stream, in order. A stream is read only as
// fast as the socket takes it, and bytes sent meanwhile wait behind it, so the wire carries
// every block whole and in the order it was sent.
class COutgoingQueue {
public:
    static constexpr size_t kChunkSize = 64 * 1024;
    // A device that stops reading can't make the server hold more than this behind a stream.
    static constexpr size_t kMaxHeldBytes = 16 * 1024 * 1024;

    // True while something waits, so that new bytes must be queued behind it.
    bool Busy() const { return !m_items.empty(); }
    // Queues bytes behind what waits; false (and nothing kept) when the bound is reached.
    bool Hold(const void* data, size_t length);
    void AddStream(std::unique_ptr<IOutgoingStream> stream);
    // Hands the socket what waits for as long as it takes everything at once.
    void Pump(IStreamSocket& socket);
    void Clear();

private:
    struct Item {
        std::string bytes;
        std::unique_ptr<IOutgoingStream> stream;
    };
    std::deque<Item> m_items;
    size_t m_heldBytes = 0;
};
