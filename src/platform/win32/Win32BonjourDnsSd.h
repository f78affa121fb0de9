#pragma once
#include <windows.h>

#include "platform/DnsSd.h"
#include "platform/win32/Win32Module.h"

// Apple's dnssd.dll from the system folder; its two entry points are looked up once each.
class Win32BonjourDnsSd : public IDnsSd {
public:
    ~Win32BonjourDnsSd() override;
    bool Load() override;
    bool IsLoaded() const override { return static_cast<bool>(m_module); }
    void Unload() override;
    void Register(const ServiceRecord& record) override;
    void Withdraw() override;

private:
    bool HasRegister();
    bool HasDeallocate();

    using DNSServiceRef = void*;
    using DNSServiceRegisterReply = void(__stdcall*)(DNSServiceRef, uint32_t flags, int32_t error,
                                                     const char* name, const char* regType,
                                                     const char* domain, void* context);
    using RegisterFunction = int32_t(__stdcall*)(DNSServiceRef* ref, uint32_t flags,
                                                 uint32_t interfaceIndex, const char* name,
                                                 const char* regType, const char* domain,
                                                 const char* host, uint16_t port,
                                                 uint16_t txtLength, const void* txtRecord,
                                                 DNSServiceRegisterReply callBack, void* context);
    using DeallocateFunction = void(__stdcall*)(DNSServiceRef ref);

    Win32Module m_module;
    RegisterFunction m_register = nullptr;
    DeallocateFunction m_deallocate = nullptr;
    DNSServiceRef m_ref = nullptr;
};
