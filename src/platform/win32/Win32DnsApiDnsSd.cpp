#include "platform/win32/Win32DnsApiDnsSd.h"

#include <windows.h>
// windns.h needs the types of windows.h.
#include <windns.h>

#include <chrono>
#include <string>
#include <utility>

#include "platform/common/AsyncServiceRegistration.h"
#include "platform/common/ServiceInstanceName.h"
#include "platform/win32/Win32Module.h"

namespace {

// What DnsServiceRegister and DnsServiceDeRegister return when they have taken a request;
// mingw's headers lack it.
constexpr DWORD kRequestPending = 9506;
// How long Unload waits for the service's last answers.
constexpr std::chrono::milliseconds kFinishWait(2000);
// Longer server names can't be one DNS label anyway.
constexpr size_t kMaxNameBytes = 1024;

using ConstructInstanceFunction = PDNS_SERVICE_INSTANCE(WINAPI*)(PCWSTR, PCWSTR, PIP4_ADDRESS,
                                                                 PIP6_ADDRESS, WORD, WORD, WORD,
                                                                 DWORD, PCWSTR*, PCWSTR*);
using RegisterFunction = DWORD(WINAPI*)(PDNS_SERVICE_REGISTER_REQUEST, PDNS_SERVICE_CANCEL);
using FreeInstanceFunction = VOID(WINAPI*)(PDNS_SERVICE_INSTANCE);

// The server name is text in the ANSI code page.
std::wstring Widen(const std::string& text) {
    if (text.empty() || text.size() > kMaxNameBytes) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], length);
    return wide;
}

std::wstring DnsHostName() {
    wchar_t name[256] = {};
    DWORD length = 256;
    if (GetComputerNameExW(ComputerNameDnsHostname, name, &length) && length < 256)
        return std::wstring(name, length);
    length = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(name, &length) && length <= MAX_COMPUTERNAME_LENGTH)
        return std::wstring(name, length);
    return L"localhost";
}

}  // namespace

class Win32DnsApiDnsSd::Session : private IAsyncDnsSdService {
public:
    struct Functions {
        ConstructInstanceFunction construct = nullptr;
        RegisterFunction registerService = nullptr;
        RegisterFunction deregisterService = nullptr;
        FreeInstanceFunction freeInstance = nullptr;
    };

    Session(Win32Module module, const Functions& functions)
        : m_module(std::move(module)), m_functions(functions) {}

    static std::unique_ptr<Session> Load() {
        Win32Module module = Win32Module::LoadFromSystemFolder("dnsapi.dll");
        Functions f;
        f.construct = module.Find<ConstructInstanceFunction>("DnsServiceConstructInstance");
        f.registerService = module.Find<RegisterFunction>("DnsServiceRegister");
        f.deregisterService = module.Find<RegisterFunction>("DnsServiceDeRegister");
        f.freeInstance = module.Find<FreeInstanceFunction>("DnsServiceFreeInstance");
        // Older systems have the library without these functions.
        if (!f.construct || !f.registerService || !f.deregisterService || !f.freeInstance)
            return nullptr;
        return std::make_unique<Session>(std::move(module), f);
    }

    AsyncServiceRegistration& Registration() { return m_registration; }

private:
    // One registration's instance and the request that registers and deregisters it; the
    // service may read both until its answer has come.
    struct Request {
        Session* session = nullptr;
        PDNS_SERVICE_INSTANCE instance = nullptr;
        DNS_SERVICE_REGISTER_REQUEST request = {};
    };

    Handle Prepare(const ServiceRecord& record) override {
        std::wstring name = Widen(record.name);
        const std::wstring host = DnsHostName();
        // As with Bonjour, no name means the computer's.
        if (name.empty()) name = host;
        const std::u16string full =
            ServiceInstanceName(std::u16string(name.begin(), name.end()), record.type);
        const std::wstring instanceName(full.begin(), full.end());
        const std::wstring hostName = host + L".local";
        PCWSTR keys[] = {L"PasswordEnabled"};
        PCWSTR values[] = {record.passwordEnabled ? L"1" : L"0"};
        PDNS_SERVICE_INSTANCE instance =
            m_functions.construct(instanceName.c_str(), hostName.c_str(), nullptr, nullptr,
                                  record.port, 0, 0, 1, keys, values);
        if (!instance) return nullptr;
        auto request = std::make_unique<Request>();
        request->session = this;
        request->instance = instance;
        request->request.Version = DNS_QUERY_REQUEST_VERSION1;
        request->request.InterfaceIndex = 0;
        request->request.pServiceInstance = instance;
        request->request.pRegisterCompletionCallback = &Answered;
        request->request.pQueryContext = request.get();
        // Owned by the registration from here until Release.
        return request.release();
    }

    bool BeginRegister(Handle registration) override {
        auto* request = static_cast<Request*>(registration);
        return m_functions.registerService(&request->request, nullptr) == kRequestPending;
    }

    bool BeginDeregister(Handle registration) override {
        auto* request = static_cast<Request*>(registration);
        return m_functions.deregisterService(&request->request, nullptr) == kRequestPending;
    }

    void FreeResult(void* result) override {
        m_functions.freeInstance(static_cast<PDNS_SERVICE_INSTANCE>(result));
    }

    void Release(Handle registration) override {
        const std::unique_ptr<Request> request(static_cast<Request*>(registration));
        m_functions.freeInstance(request->instance);
    }

    // Runs on the service's thread.
    static VOID WINAPI Answered(DWORD status, PVOID context, PDNS_SERVICE_INSTANCE instance) {
        auto* request = static_cast<Request*>(context);
        if (!request) return;
        request->session->m_registration.Completed(request, status == ERROR_SUCCESS, instance);
    }

    Win32Module m_module;
    Functions m_functions;
    AsyncServiceRegistration m_registration{*this};
};

Win32DnsApiDnsSd::Win32DnsApiDnsSd() = default;

Win32DnsApiDnsSd::~Win32DnsApiDnsSd() {
    Unload();
}

bool Win32DnsApiDnsSd::Load() {
    if (!m_session) m_session = Session::Load();
    return m_session != nullptr;
}

void Win32DnsApiDnsSd::Unload() {
    if (!m_session) return;
    if (!m_session->Registration().Finish(kFinishWait)) {
        // An answer is still owed: it will come into the session and call into the library,
        // so both stay for the rest of the process.
        static_cast<void>(m_session.release());
        return;
    }
    m_session.reset();
}

void Win32DnsApiDnsSd::Register(const ServiceRecord& record) {
    if (m_session) m_session->Registration().Register(record);
}

void Win32DnsApiDnsSd::Withdraw() {
    if (m_session) m_session->Registration().Withdraw();
}
