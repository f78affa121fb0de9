// The DNS-SD half of CConnectionServer: one registration of _tavrixremote._tcp at a time.
#include "net/ConnectionServer.h"
#include "platform/DnsSd.h"

namespace {

constexpr char kServiceType[] = "_tavrixremote._tcp";

}  // namespace

bool CConnectionServer::LoadServiceLibrary() {
    return m_services.dnsSd.Load();
}

void CConnectionServer::RegisterService(const std::string& name) {
    IDnsSd& dnsSd = m_services.dnsSd;
    if (!dnsSd.IsLoaded()) return;
    dnsSd.Withdraw();
    // Only the low 16 bits of the port travel.
    dnsSd.Register({name, kServiceType, static_cast<uint16_t>(m_config.port & 0xFFFF),
                    m_config.passwordEnabled});
}

void CConnectionServer::DeregisterService() {
    if (m_services.dnsSd.IsLoaded()) m_services.dnsSd.Withdraw();
}
