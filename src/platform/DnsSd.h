#pragma once
#include <cstdint>
#include <string>

// The DNS-SD client library, loaded at run time.
class IDnsSd {
public:
    using ServiceRef = void*;
    virtual ~IDnsSd() = default;
    virtual bool Load() = 0;
    virtual bool IsLoaded() const = 0;
    virtual void Unload() = 0;
    // Whether the entry point is resolved (each is looked up once and cached).
    virtual bool HasRegister() = 0;
    virtual bool HasDeallocate() = 0;
    // DNSServiceRegister with flags 0, interface 0, empty domain, no host, a reply callback
    // that does nothing and no context. The port is already in network byte order.
    virtual ServiceRef Register(const std::string& name, const char* regType,
                                uint16_t portNetworkOrder, const uint8_t* txt,
                                uint16_t txtLength) = 0;
    virtual void Deallocate(ServiceRef ref) = 0;
};
