#pragma once
#include "platform/DnsSd.h"

// Two DNS-SD backends in order of preference. Load settles on the first one that loads and
// keeps it until Unload; the other one is never asked anything meanwhile.
class DnsSdChoice : public IDnsSd {
public:
    DnsSdChoice(IDnsSd& preferred, IDnsSd& fallback)
        : m_preferred(preferred), m_fallback(fallback) {}
    ~DnsSdChoice() override;
    DnsSdChoice(const DnsSdChoice&) = delete;
    DnsSdChoice& operator=(const DnsSdChoice&) = delete;

    bool Load() override;
    bool IsLoaded() const override { return m_chosen != nullptr; }
    void Unload() override;
    void Register(const ServiceRecord& record) override;
    void Withdraw() override;

private:
    IDnsSd& m_preferred;
    IDnsSd& m_fallback;
    IDnsSd* m_chosen = nullptr;
};
