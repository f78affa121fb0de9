#include "net/LoginThrottle.h"

#include <algorithm>

namespace {

// Milliseconds from then to now on a clock that wraps at 2^32.
uint32_t Since(uint32_t then, uint32_t now) {
    return now - then;
}

}  // namespace

bool CLoginThrottle::IsBlocked(const std::string& address, uint32_t now) const {
    const auto it = m_records.find(address);
    if (it == m_records.end() || it->second.blockLength == 0) return false;
    return Since(it->second.blockStart, now) < it->second.blockLength;
}

void CLoginThrottle::RecordRefusal(const std::string& address, uint32_t now) {
    auto it = m_records.find(address);
    if (it == m_records.end()) {
        if (m_records.size() >= kMaxAddresses) ForgetOldest();
        it = m_records.emplace(address, Record{now, now, 0, 0, 0, 0}).first;
    }
    Record& record = it->second;
    // Quiet for the whole window after its last refusal and block: start counting afresh,
    // with a short first block again.
    if (Since(record.lastRefusal, now) >= uint64_t{record.blockLength} + kWindowMs)
        record = Record{now, now, 0, 0, 0, 0};
    // Refusals spread wider than the window don't add up to a block.
    if (record.blockLength == 0 && Since(record.firstRefusal, now) >= kWindowMs) {
        record.firstRefusal = now;
        record.refusals = 0;
    }
    record.lastRefusal = now;
    record.touched = ++m_touches;
    ++record.refusals;
    if (record.blockLength != 0) {
        record.blockLength = std::min(record.blockLength * 2, kLongestBlockMs);
        record.blockStart = now;
    } else if (record.refusals >= kMaxRefusals) {
        record.blockLength = kFirstBlockMs;
        record.blockStart = now;
    }
}

void CLoginThrottle::ForgetOldest() {
    const auto oldest = std::min_element(
        m_records.begin(), m_records.end(),
        [](const auto& a, const auto& b) { return a.second.touched < b.second.touched; });
    if (oldest != m_records.end()) m_records.erase(oldest);
}
