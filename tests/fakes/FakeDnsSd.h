#pragma once
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/DnsSd.h"

// Records the registrations in order; references are numbered from 1.
class FakeDnsSd : public IDnsSd {
public:
    struct Registration {
        std::string name;
        std::string type;
        std::vector<uint8_t> port;  // as it lies in memory, that is in network order
        std::vector<uint8_t> txt;
        uintptr_t ref;
    };

    bool Load() override {
        calls.push_back("Load");
        loaded = present;
        return loaded;
    }
    bool IsLoaded() const override { return loaded; }
    void Unload() override {
        calls.push_back("Unload");
        loaded = false;
    }
    bool HasRegister() override { return hasRegister; }
    bool HasDeallocate() override { return hasDeallocate; }
    ServiceRef Register(const std::string& name, const char* regType, uint16_t portNetworkOrder,
                        const uint8_t* txt, uint16_t txtLength) override {
        Registration r{name, regType, std::vector<uint8_t>(2), {txt, txt + txtLength}, ++m_next};
        std::memcpy(r.port.data(), &portNetworkOrder, 2);
        registrations.push_back(r);
        live.insert(r.ref);
        calls.push_back("Register " + name + " #" + std::to_string(r.ref));
        return reinterpret_cast<ServiceRef>(r.ref);
    }
    void Deallocate(ServiceRef ref) override {
        const uintptr_t id = reinterpret_cast<uintptr_t>(ref);
        live.erase(id);
        calls.push_back("Deallocate #" + std::to_string(id));
    }

    bool present = true;
    bool loaded = false;
    bool hasRegister = true;
    bool hasDeallocate = true;
    std::vector<std::string> calls;
    std::vector<Registration> registrations;
    std::set<uintptr_t> live;

private:
    uintptr_t m_next = 0;
};
