#include <winsock2.h>

#include <cstdint>
#include <vector>

#include "platform/win32/Win32Services.h"

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

// The reference is never serviced, so the library never calls it.
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
}

void Win32DnsSd::Register(const ServiceRecord& record) {
    if (!m_register && m_module) m_register = GetProcAddress(m_module, "DNSServiceRegister");
    if (!m_register) return;
    const std::vector<uint8_t> txt = PasswordTxtRecord(record.passwordEnabled);
    const uint16_t port = htons(record.port);
    DNSServiceRef ref = nullptr;
    As<RegisterFunction>(m_register)(&ref, 0, 0, record.name.c_str(), record.type.c_str(), "",
                                     nullptr, port, static_cast<uint16_t>(txt.size()), txt.data(),
                                     &IgnoreRegisterReply, nullptr);
    m_ref = ref;
}

void Win32DnsSd::Withdraw() {
    if (!m_deallocate && m_module)
        m_deallocate = GetProcAddress(m_module, "DNSServiceRefDeallocate");
    if (!m_deallocate || !m_ref) return;
    As<DeallocateFunction>(m_deallocate)(m_ref);
    m_ref = nullptr;
}
