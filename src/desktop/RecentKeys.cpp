#include "desktop/RecentKeys.h"

void CRecentKeys::Remember(const std::string& key) {
    const auto inserted = m_keys.insert(key);
    if (!inserted.second) return;
    m_order.push_back(inserted.first);
    if (m_order.size() <= kCapacity) return;
    m_keys.erase(m_order.front());
    m_order.pop_front();
}
