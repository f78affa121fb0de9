#pragma once
#include <memory>

#include "platform/DnsSd.h"

// The system's own DNS-SD functions in dnsapi.dll from the system folder, which newer
// Windows has. They answer on a thread of their own; the registration waits for the
// answers and frees what they hand back.
class Win32DnsApiDnsSd : public IDnsSd {
public:
    Win32DnsApiDnsSd();
    ~Win32DnsApiDnsSd() override;
    Win32DnsApiDnsSd(const Win32DnsApiDnsSd&) = delete;
    Win32DnsApiDnsSd& operator=(const Win32DnsApiDnsSd&) = delete;

    // False unless the library has all four functions.
    bool Load() override;
    bool IsLoaded() const override { return m_session != nullptr; }
    // Withdraws and waits, bounded, for the service's last answer.
    void Unload() override;
    void Register(const ServiceRecord& record) override;
    void Withdraw() override;

private:
    // The library and the registration on it, which live and go together.
    class Session;
    std::unique_ptr<Session> m_session;
};
