#include "platform/win32/Win32BonjourDnsSd.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

uint16_t ToNetworkOrder(uint16_t port) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(port & 0xFF)};
    uint16_t value = 0;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
}

// The reference is never serviced, so this never runs.
void __stdcall IgnoreRegisterReply(void*, uint32_t, int32_t, const char*, const char*, const char*,
                                   void*) {}

}  // namespace

Win32BonjourDnsSd::~Win32BonjourDnsSd() {
    Unload();
}

bool Win32BonjourDnsSd::Load() {
    if (!m_module) m_module = Win32Module::LoadFromSystemFolder("dnssd.dll");
    return static_cast<bool>(m_module);
}

void Win32BonjourDnsSd::Unload() {
    m_module.Reset();
    m_register = nullptr;
    m_deallocate = nullptr;
    // The registration ends with the process; the reference isn't deallocated here.
    m_ref = nullptr;
}

bool Win32BonjourDnsSd::HasRegister() {
    if (!m_register) m_register = m_module.Find<RegisterFunction>("DNSServiceRegister");
    return m_register != nullptr;
}

bool Win32BonjourDnsSd::HasDeallocate() {
    if (!m_deallocate) m_deallocate = m_module.Find<DeallocateFunction>("DNSServiceRefDeallocate");
    return m_deallocate != nullptr;
}

void Win32BonjourDnsSd::Register(const ServiceRecord& record) {
    if (!HasRegister()) return;
    Withdraw();
    const std::vector<uint8_t> txt = PasswordTxtRecord(record.passwordEnabled);
    DNSServiceRef ref = nullptr;
    m_register(&ref, 0, 0, record.name.c_str(), record.type.c_str(), "", nullptr,
               ToNetworkOrder(record.port), static_cast<uint16_t>(txt.size()), txt.data(),
               &IgnoreRegisterReply, nullptr);
    m_ref = ref;
}

void Win32BonjourDnsSd::Withdraw() {
    if (!HasDeallocate() || !m_ref) return;
    m_deallocate(m_ref);
    m_ref = nullptr;
}
