#pragma once
#include <cstdint>
#include <map>
#include <string>

// Counts refused passwords per source address and turns an address away for a while once it
// has guessed too often: 5 refusals within 10 minutes block it for 30 s, and every refusal
// after a block doubles the next block, up to 15 minutes. Times are the clock's wrapping
// millisecond ticks.
class CLoginThrottle {
public:
    static constexpr uint32_t kMaxRefusals = 5;
    static constexpr uint32_t kWindowMs = 10 * 60 * 1000;
    static constexpr uint32_t kFirstBlockMs = 30 * 1000;
    static constexpr uint32_t kLongestBlockMs = 15 * 60 * 1000;
    // Beyond this many addresses the one heard from longest ago is forgotten.
    static constexpr size_t kMaxAddresses = 256;

    bool IsBlocked(const std::string& address, uint32_t now) const;
    void RecordRefusal(const std::string& address, uint32_t now);
    void RecordAcceptance(const std::string& address) { m_records.erase(address); }
    size_t Size() const { return m_records.size(); }

private:
    struct Record {
        uint32_t firstRefusal = 0;
        uint32_t lastRefusal = 0;
        uint32_t refusals = 0;
        uint32_t blockStart = 0;
        uint32_t blockLength = 0;  // 0 while never blocked
        uint64_t touched = 0;      // order of the last refusal among all addresses
    };
    void ForgetOldest();

    std::map<std::string, Record> m_records;
    uint64_t m_touches = 0;
};
