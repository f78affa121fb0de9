#include "platform/win32/Win32DnsSd.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The DNS-SD client interface, with the library's standard calling convention.
using DNSServiceRef = void*;
using DNSServiceRegisterReply = void(__stdcall*)(DNSServiceRef, uint32_t flags, int32_t error,
                                                 const char* name, const char* regType,
                                                 const char* domain, void* context);
using RegisterFunction = int32_t(__stdcall*)(DNSServiceRef* ref, uint32_t flags,
                                             uint32_t interfaceIndex, const char* name,
                                             const char* regType, const char* domain,
                                             const char* host, uint16_t port, uint16_t txtLength,
                                             const void* txtRecord,
                                             DNSServiceRegisterReply callBack, void* context);
using DeallocateFunction = void(__stdcall*)(DNSServiceRef ref);

// GetProcAddress hands back a generic function pointer; the generic one in between keeps
// the compiler's function-type check quiet for this deliberate cast.
template <typename Function>
Function As(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

uint16_t ToNetworkOrder(uint16_t port) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(port & 0xFF)};
    uint16_t value = 0;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
}

// The reference is never serviced, so this never runs.
void __stdcall IgnoreRegisterReply(DNSServiceRef, uint32_t, int32_t, const char*, const char*,
                                   const char*, void*) {}

}  // namespace

Win32DnsSd::~Win32DnsSd() {
    Unload();
}

bool Win32DnsSd::Load() {
    if (!m_module) m_module = LoadLibraryA("dnssd.dll");
    return m_module != nullptr;
}

void Win32DnsSd::Unload() {
    if (m_module) FreeLibrary(m_module);
    m_module = nullptr;
    m_register = nullptr;
    m_deallocate = nullptr;
    // The registration ends with the process; the reference isn't deallocated here.
    m_ref = nullptr;
}

bool Win32DnsSd::HasRegister() {
    if (!m_register && m_module) m_register = GetProcAddress(m_module, "DNSServiceRegister");
    return m_register != nullptr;
}

bool Win32DnsSd::HasDeallocate() {
    if (!m_deallocate && m_module)
        m_deallocate = GetProcAddress(m_module, "DNSServiceRefDeallocate");
    return m_deallocate != nullptr;
}

void Win32DnsSd::Register(const ServiceRecord& record) {
    if (!HasRegister()) return;
    Withdraw();
    const std::vector<uint8_t> txt = PasswordTxtRecord(record.passwordEnabled);
    DNSServiceRef ref = nullptr;
    As<RegisterFunction>(m_register)(&ref, 0, 0, record.name.c_str(), record.type.c_str(), "",
                                     nullptr, ToNetworkOrder(record.port),
                                     static_cast<uint16_t>(txt.size()), txt.data(),
                                     &IgnoreRegisterReply, nullptr);
    m_ref = ref;
}

void Win32DnsSd::Withdraw() {
    if (!HasDeallocate() || !m_ref) return;
    As<DeallocateFunction>(m_deallocate)(m_ref);
    m_ref = nullptr;
}
