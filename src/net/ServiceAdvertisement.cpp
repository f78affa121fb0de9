// The DNS-SD half of CConnectionServer: one registration of _tavrixremote._tcp at a time.
#include <cstring>

#include "net/ConnectionServer.h"

namespace {

constexpr char kServiceType[] = "_tavrixremote._tcp";
constexpr char kTxtKey[] = "PasswordEnabled=";
constexpr uint16_t kTxtLength = 18;

uint16_t ToNetworkOrder(int32_t port) {
    const uint8_t bytes[2] = {static_cast<uint8_t>((port >> 8) & 0xFF),
                              static_cast<uint8_t>(port & 0xFF)};
    uint16_t value = 0;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
}

}  // namespace

bool CConnectionServer::LoadServiceLibrary() {
    return m_services.dnsSd && m_services.dnsSd->Load();
}

void CConnectionServer::RegisterService(const char* name) {
    IDnsSd* dnsSd = m_services.dnsSd;
    if (!dnsSd || !dnsSd->IsLoaded() || !dnsSd->HasRegister()) return;
    DeregisterService();
    uint8_t txt[kTxtLength];
    txt[0] = kTxtLength - 1;
    std::memcpy(txt + 1, kTxtKey, sizeof(kTxtKey) - 1);
    txt[kTxtLength - 1] = m_passwordEnabled ? '1' : '0';
    m_serviceRef = dnsSd->Register(name, kServiceType, ToNetworkOrder(m_port), txt, kTxtLength);
}

void CConnectionServer::DeregisterService() {
    IDnsSd* dnsSd = m_services.dnsSd;
    if (!dnsSd || !dnsSd->IsLoaded() || !dnsSd->HasDeallocate()) return;
    if (!m_serviceRef) return;
    dnsSd->Deallocate(m_serviceRef);
    m_serviceRef = nullptr;
}
