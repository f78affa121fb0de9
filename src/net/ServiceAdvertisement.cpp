// The DNS-SD half of CConnectionServer: one registration of _tavrixremote._tcp at a time.
#include "net/ConnectionServer.h"

namespace {

constexpr char kServiceType[] = "_tavrixremote._tcp";

}  // namespace

bool CConnectionServer::LoadServiceLibrary() {
    return m_services.dnsSd && m_services.dnsSd->Load();
}

void CConnectionServer::RegisterService(const char* name) {
    IDnsSd* dnsSd = m_services.dnsSd;
    if (!dnsSd || !dnsSd->IsLoaded()) return;
    dnsSd->Withdraw();
    dnsSd->Register(
        {name, kServiceType, static_cast<uint16_t>(m_port & 0xFFFF), m_passwordEnabled});
}

void CConnectionServer::DeregisterService() {
    IDnsSd* dnsSd = m_services.dnsSd;
    if (dnsSd && dnsSd->IsLoaded()) dnsSd->Withdraw();
}
