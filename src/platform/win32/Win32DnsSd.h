#pragma once
#include <windows.h>

#include "platform/DnsSd.h"

// dnssd.dll, loaded by name at run time; its two entry points are looked up once each.
class Win32DnsSd : public IDnsSd {
public:
    ~Win32DnsSd() override;
    bool Load() override;
    bool IsLoaded() const override { return m_module != nullptr; }
    void Unload() override;
    void Register(const ServiceRecord& record) override;
    void Withdraw() override;

private:
    bool HasRegister();
    bool HasDeallocate();

    HMODULE m_module = nullptr;
    FARPROC m_register = nullptr;
    FARPROC m_deallocate = nullptr;
    void* m_ref = nullptr;
};
