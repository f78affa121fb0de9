#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What is advertised: the instance name, the service type, the port and whether the server
// asks for a password.
struct ServiceRecord {
    std::string name;
    std::string type;
    uint16_t port = 0;
    bool passwordEnabled = true;
};

// The single TXT string "PasswordEnabled=0" or "=1", with its length byte in front.
inline std::vector<uint8_t> PasswordTxtRecord(bool passwordEnabled) {
    uint8_t txt[] = {17, 'P', 'a', 's', 's', 'w', 'o', 'r', 'd', 'E',
                     'n', 'a', 'b', 'l', 'e', 'd', '=', '0'};
    if (passwordEnabled) txt[sizeof(txt) - 1] = '1';
    return std::vector<uint8_t>(txt, txt + sizeof(txt));
}

// The system's DNS-SD service, whichever library provides it; the choice is made once, by
// Load. One registration at a time.
class IDnsSd {
public:
    virtual ~IDnsSd() = default;
    // Finds a DNS-SD library; false when there is none and the server goes unadvertised.
    virtual bool Load() = 0;
    virtual bool IsLoaded() const = 0;
    virtual void Unload() = 0;
    // Advertises the record. The caller withdraws the previous registration first.
    virtual void Register(const ServiceRecord& record) = 0;
    // Withdraws the current registration; nothing when there is none.
    virtual void Withdraw() = 0;
};
