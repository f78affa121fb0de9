#include "net/LoginThrottle.h"

#include <algorithm>

namespace {

// Milliseconds from then to now on a clock that wraps at 2^32.
uint32_t Since(uint32_t then, uint32_t now) {
    return now - then;
}

}  // namespace

bool CLoginThrottle::IsBlocked(const std::string& address, uint32_t now) const {
    if (BudgetSpent(now) && !IsKnown(address)) return true;
    const auto it = m_records.find(address);
    if (it == m_records.end() || it->second.blockLength == 0) return false;
    return Since(it->second.blockStart, now) < it->second.blockLength;
}

bool CLoginThrottle::BudgetSpent(uint32_t now) const {
    return m_recentRefusals.size() >= kBudget &&
           Since(m_recentRefusals.front(), now) < kBudgetWindowMs;
}

// Quiet for the whole window after its last refusal and block: the record would start
// afresh at its next refusal, so forgetting it loses nothing.
bool CLoginThrottle::Forgettable(const Record& record, uint32_t now) {
    return Since(record.lastRefusal, now) >= uint64_t{record.blockLength} + kWindowMs;
}

void CLoginThrottle::RecordRefusal(const std::string& address, uint32_t now) {
    m_recentRefusals.push_back(now);
    if (m_recentRefusals.size() > kBudget) m_recentRefusals.pop_front();

    auto it = m_records.find(address);
    if (it == m_records.end()) {
        // A full table of records that still count leaves the newcomer to the budget.
        if (m_records.size() >= kMaxAddresses && !MakeRoom(now)) return;
        it = m_records.emplace(address, Record{now, now, 0, 0, 0}).first;
    }
    Record& record = it->second;
    if (Forgettable(record, now)) record = Record{now, now, 0, 0, 0};
    // Refusals spread wider than the window don't add up to a block.
    if (record.blockLength == 0 && Since(record.firstRefusal, now) >= kWindowMs) {
        record.firstRefusal = now;
        record.refusals = 0;
    }
    record.lastRefusal = now;
    ++record.refusals;
    if (record.blockLength != 0) {
        record.blockLength = std::min(record.blockLength * 2, kLongestBlockMs);
        record.blockStart = now;
    } else if (record.refusals >= kMaxRefusals) {
        record.blockLength = kFirstBlockMs;
        record.blockStart = now;
    }
}

void CLoginThrottle::RecordAcceptance(const std::string& address) {
    m_records.erase(address);
    const auto known = std::find(m_known.begin(), m_known.end(), address);
    if (known != m_known.end()) m_known.erase(known);
    m_known.push_front(address);
    if (m_known.size() > kMaxKnownAddresses) m_known.pop_back();
}

bool CLoginThrottle::IsKnown(const std::string& address) const {
    return std::find(m_known.begin(), m_known.end(), address) != m_known.end();
}

bool CLoginThrottle::MakeRoom(uint32_t now) {
    // The record quiet for longest among those that no longer count.
    auto oldest = m_records.end();
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if (!Forgettable(it->second, now)) continue;
        if (oldest == m_records.end() ||
            Since(it->second.lastRefusal, now) > Since(oldest->second.lastRefusal, now))
            oldest = it;
    }
    if (oldest == m_records.end()) return false;
    m_records.erase(oldest);
    return true;
}
