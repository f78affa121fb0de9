#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

// Counts refused passwords per source address and turns an address away for a while once it
// has guessed too often: 5 refusals within 10 minutes block it for 30 s, and every refusal
// after a block doubles the next block, up to 15 minutes. On top of that the whole server
// takes at most 10 refusals a minute: while that budget is spent only the addresses that
// recently gave the right password get in, so that guessing from many addresses gains
// nothing and the owner's device still does. Times are the clock's wrapping millisecond
// ticks.
class CLoginThrottle {
public:
    static constexpr uint32_t kMaxRefusals = 5;
    static constexpr uint32_t kWindowMs = 10 * 60 * 1000;
    static constexpr uint32_t kFirstBlockMs = 30 * 1000;
    static constexpr uint32_t kLongestBlockMs = 15 * 60 * 1000;
    static constexpr size_t kMaxAddresses = 256;
    static constexpr size_t kBudget = 10;
    static constexpr uint32_t kBudgetWindowMs = 60 * 1000;
    static constexpr size_t kMaxKnownAddresses = 16;

    bool IsBlocked(const std::string& address, uint32_t now) const;
    void RecordRefusal(const std::string& address, uint32_t now);
    void RecordAcceptance(const std::string& address);
    size_t Size() const { return m_records.size(); }
    bool BudgetSpent(uint32_t now) const;

private:
    struct Record {
        uint32_t firstRefusal = 0;
        uint32_t lastRefusal = 0;
        uint32_t refusals = 0;
        uint32_t blockStart = 0;
        uint32_t blockLength = 0;  // 0 while never blocked
    };
    static bool Forgettable(const Record& record, uint32_t now);
    // Makes room for one more address; false when every record still matters.
    bool MakeRoom(uint32_t now);
    bool IsKnown(const std::string& address) const;

    std::map<std::string, Record> m_records;
    // The times of the last kBudget refusals, oldest first.
    std::deque<uint32_t> m_recentRefusals;
    // Most recent first.
    std::deque<std::string> m_known;
};
