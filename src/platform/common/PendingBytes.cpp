#include "platform/common/PendingBytes.h"

bool CPendingBytes::Append(const void* data, size_t length) {
    if (length > kMaxBytes - Size()) return false;
    m_bytes.append(static_cast<const char*>(data), length);
    return true;
}

void CPendingBytes::Sent(size_t count) {
    m_head += count < Size() ? count : Size();
    if (m_head == m_bytes.size()) Clear();
}

void CPendingBytes::Blocked() {
    if (m_head <= m_bytes.size() / 2) return;
    m_bytes.erase(0, m_head);
    m_head = 0;
}

void CPendingBytes::Clear() {
    m_bytes.clear();
    m_head = 0;
}
