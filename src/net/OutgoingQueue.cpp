#include "net/OutgoingQueue.h"

#include <vector>

#include "platform/Socket.h"

bool COutgoingQueue::Hold(const void* data, size_t length) {
    if (m_heldBytes + length > kMaxHeldBytes) return false;
    if (m_items.empty() || m_items.back().stream) m_items.emplace_back();
    m_items.back().bytes.append(static_cast<const char*>(data), length);
    m_heldBytes += length;
    return true;
}

void COutgoingQueue::AddStream(std::unique_ptr<IOutgoingStream> stream) {
    if (!stream) return;
    m_items.push_back(Item{std::string(), std::move(stream)});
}

void COutgoingQueue::Pump(IStreamSocket& socket) {
    std::vector<char> chunk;
    while (!m_items.empty() && socket.QueuedBytes() == 0) {
        Item& front = m_items.front();
        if (!front.stream) {
            m_heldBytes -= front.bytes.size();
            const std::string bytes = std::move(front.bytes);
            m_items.pop_front();
            socket.Send(bytes.data(), static_cast<int>(bytes.size()));
            continue;
        }
        chunk.resize(kChunkSize);
        const size_t count = front.stream->Read(chunk.data(), chunk.size());
        if (count == 0) {
            m_items.pop_front();
            continue;
        }
        socket.Send(chunk.data(), static_cast<int>(count));
    }
}

void COutgoingQueue::Clear() {
    m_items.clear();
    m_heldBytes = 0;
}
