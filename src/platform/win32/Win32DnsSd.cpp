#include <cstdint>

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

// The reference is never serviced, so this never runs.
// GetProcAddress hands back a generic function pointer; the generic one in between keeps
// the compiler's function-type check quiet for this deliberate cast.
template <typename Function>
Function As(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

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

bool Win32DnsSd::HasRegister() {
    if (!m_register && m_module) m_register = GetProcAddress(m_module, "DNSServiceRegister");
    return m_register != nullptr;
}

bool Win32DnsSd::HasDeallocate() {
    if (!m_deallocate && m_module)
        m_deallocate = GetProcAddress(m_module, "DNSServiceRefDeallocate");
    return m_deallocate != nullptr;
}

IDnsSd::ServiceRef Win32DnsSd::Register(const std::string& name, const char* regType,
                                        uint16_t portNetworkOrder, const uint8_t* txt,
                                        uint16_t txtLength) {
    if (!HasRegister()) return nullptr;
    auto registerService = As<RegisterFunction>(m_register);
    DNSServiceRef ref = nullptr;
    registerService(&ref, 0, 0, name.c_str(), regType, "", nullptr, portNetworkOrder, txtLength,
                    txt, &IgnoreRegisterReply, nullptr);
    return ref;
}

void Win32DnsSd::Deallocate(ServiceRef ref) {
    if (!HasDeallocate() || !ref) return;
    As<DeallocateFunction>(m_deallocate)(ref);
}
