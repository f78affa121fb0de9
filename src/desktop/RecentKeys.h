#pragma once
#include <cstddef>
#include <deque>
#include <set>
#include <string>

// The last kCapacity distinct window keys sent to the device. A key the device sends back
// after its window went is one of these, and must never be taken for a program path: any
// program or web page chooses its window's title.
class CRecentKeys {
public:
    static constexpr size_t kCapacity = 4096;

    void Remember(const std::string& key);
    bool Contains(const std::string& key) const { return m_keys.count(key) != 0; }
    size_t Size() const { return m_keys.size(); }

private:
    std::set<std::string> m_keys;
    // Oldest first, for forgetting.
    std::deque<std::set<std::string>::const_iterator> m_order;
};
