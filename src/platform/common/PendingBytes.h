#pragma once
#include <cstddef>
#include <string>

// Bytes a non-blocking socket could not take yet, in order. A device that stops reading
// can't make it hold more than kMaxBytes, and what has gone out is let go of once it is half
// of what is held, so a queue that never empties can't grow without end either.
class CPendingBytes {
public:
    static constexpr size_t kMaxBytes = 64u * 1024u * 1024u;
    // The most handed to the system in one send.
    static constexpr size_t kMaxChunk = 0x100000;

    size_t Size() const { return m_bytes.size() - m_head; }
    bool Empty() const { return Size() == 0; }
    // Queues the bytes behind what waits; false, and nothing kept, past the bound.
    bool Append(const void* data, size_t length);
    // The next bytes to send, at most kMaxChunk of them.
    const char* Next() const { return m_bytes.data() + m_head; }
    size_t NextSize() const { return Size() < kMaxChunk ? Size() : kMaxChunk; }
    // The system took count bytes of Next.
    void Sent(size_t count);
    // The system would take no more for now.
    void Blocked();
    void Clear();

private:
    std::string m_bytes;
    size_t m_head = 0;
};
