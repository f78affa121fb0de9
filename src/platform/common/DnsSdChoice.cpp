#include "platform/common/DnsSdChoice.h"

DnsSdChoice::~DnsSdChoice() {
    Unload();
}

bool DnsSdChoice::Load() {
    if (m_chosen) return true;
    if (m_preferred.Load())
        m_chosen = &m_preferred;
    else if (m_fallback.Load())
        m_chosen = &m_fallback;
    return m_chosen != nullptr;
}

void DnsSdChoice::Unload() {
    if (!m_chosen) return;
    m_chosen->Unload();
    m_chosen = nullptr;
}

void DnsSdChoice::Register(const ServiceRecord& record) {
    if (m_chosen) m_chosen->Register(record);
}

void DnsSdChoice::Withdraw() {
    if (m_chosen) m_chosen->Withdraw();
}
