// A stand-in for the system's DNS-SD functions in dnsapi.dll. It advertises nothing and
// writes every call, with its arguments, as one line to dnsapi_calls.txt in the working
// directory of the process. It answers a registration or deregistration as the system
// does: later, from a thread of its own, reading the caller's request only then, and handing
// over a copy of the instance that the caller must free. When it is unloaded it writes which
// of its instances were never freed and how many answers were still owed.
#include <windows.h>
// windns.h needs the types of windows.h.
#include <windns.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD kRequestPending = 9506;  // DNS_REQUEST_PENDING
constexpr DWORD kAnswerDelayMs = 150;
constexpr DWORD kMaxProperties = 64;

// One instance with the strings it points to.
struct OwnedInstance {
    DNS_SERVICE_INSTANCE instance = {};
    int id = 0;
    std::wstring name;
    std::wstring host;
    std::vector<std::wstring> keys;
    std::vector<std::wstring> values;
    std::vector<PWSTR> keyPointers;
    std::vector<PWSTR> valuePointers;
};

CRITICAL_SECTION g_lock;
std::map<const DNS_SERVICE_INSTANCE*, std::unique_ptr<OwnedInstance>> g_instances;
int g_lastId = 0;
int g_owed = 0;

class Locked {
public:
    Locked() { EnterCriticalSection(&g_lock); }
    ~Locked() { LeaveCriticalSection(&g_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

void Append(const std::string& line) {
    Locked lock;
    HANDLE file = CreateFileA("dnsapi_calls.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Quoted(PCWSTR text) {
    if (!text) return "null";
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return "\"?\"";
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], length, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(length) - 1);
    return "\"" + utf8 + "\"";
}

std::wstring Copy(PCWSTR text) {
    return text ? std::wstring(text) : std::wstring();
}

// Makes and keeps an instance; its id goes into the record.
DNS_SERVICE_INSTANCE* Keep(std::unique_ptr<OwnedInstance> owned) {
    Locked lock;
    owned->id = ++g_lastId;
    owned->instance.pszInstanceName = owned->name.empty() ? nullptr : &owned->name[0];
    owned->instance.pszHostName = owned->host.empty() ? nullptr : &owned->host[0];
    for (size_t i = 0; i < owned->keys.size(); ++i) {
        owned->keyPointers.push_back(&owned->keys[i][0]);
        owned->valuePointers.push_back(&owned->values[i][0]);
    }
    owned->instance.dwPropertyCount = static_cast<DWORD>(owned->keys.size());
    owned->instance.keys = owned->keyPointers.empty() ? nullptr : owned->keyPointers.data();
    owned->instance.values = owned->valuePointers.empty() ? nullptr : owned->valuePointers.data();
    DNS_SERVICE_INSTANCE* instance = &owned->instance;
    g_instances[instance] = std::move(owned);
    return instance;
}

// The id of one of our live instances, or what else the pointer is.
std::string IdOf(const DNS_SERVICE_INSTANCE* instance) {
    if (!instance) return "null";
    Locked lock;
    const auto found = g_instances.find(instance);
    return found == g_instances.end() ? "unknown" : std::to_string(found->second->id);
}

DNS_SERVICE_INSTANCE* CopyOf(const DNS_SERVICE_INSTANCE* original) {
    auto copy = std::make_unique<OwnedInstance>();
    copy->instance = *original;
    copy->name = Copy(original->pszInstanceName);
    copy->host = Copy(original->pszHostName);
    for (DWORD i = 0; i < original->dwPropertyCount && i < kMaxProperties; ++i) {
        copy->keys.push_back(Copy(original->keys[i]));
        copy->values.push_back(Copy(original->values[i]));
    }
    return Keep(std::move(copy));
}

std::string Describe(const DNS_SERVICE_REGISTER_REQUEST* request,
                     const DNS_SERVICE_CANCEL* cancel) {
    return "instance=" + IdOf(request->pServiceInstance) +
           " version=" + std::to_string(request->Version) +
           " interface=" + std::to_string(request->InterfaceIndex) +
           " callback=" + (request->pRegisterCompletionCallback ? "set" : "null") +
           " context=" + (request->pQueryContext ? "set" : "null") +
           " credentials=" + (request->hCredentials ? "set" : "null") +
           " unicast=" + std::to_string(request->unicastEnabled) +
           " cancel=" + (cancel ? "set" : "null");
}

struct Answer {
    const char* kind;
    DNS_SERVICE_REGISTER_REQUEST* request;
    // As the request was when the call came, to see that it stayed the same until now.
    DNS_SERVICE_REGISTER_REQUEST asked;
};

DWORD WINAPI AnswerLater(void* parameter) {
    const std::unique_ptr<Answer> answer(static_cast<Answer*>(parameter));
    Sleep(kAnswerDelayMs);
    const DNS_SERVICE_REGISTER_REQUEST& now = *answer->request;
    const bool same =
        now.pServiceInstance == answer->asked.pServiceInstance &&
        now.pRegisterCompletionCallback == answer->asked.pRegisterCompletionCallback &&
        now.pQueryContext == answer->asked.pQueryContext;
    const std::string instance = IdOf(now.pServiceInstance);
    DNS_SERVICE_INSTANCE* result = nullptr;
    if (same && instance != "unknown" && instance != "null") result = CopyOf(now.pServiceInstance);
    Append(std::string("Answer ") + answer->kind + " instance=" + instance + " status=0" +
           " result=" + IdOf(result) + (same ? "" : " request=changed"));
    if (same && now.pRegisterCompletionCallback)
        now.pRegisterCompletionCallback(ERROR_SUCCESS, now.pQueryContext, result);
    {
        Locked lock;
        --g_owed;
    }
    return 0;
}

// Holds this library for the thread's life, so that it can't go while the thread runs.
DWORD WINAPI AnswerAndLetGo(void* parameter) {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&AnswerAndLetGo), &self);
    AnswerLater(parameter);
    FreeLibraryAndExitThread(self, 0);
}

DWORD Begin(const char* kind, PDNS_SERVICE_REGISTER_REQUEST request, PDNS_SERVICE_CANCEL cancel) {
    if (!request) {
        Append(std::string(kind) + " request=null");
        return ERROR_INVALID_PARAMETER;
    }
    Append(std::string(kind) + " " + Describe(request, cancel));
    auto answer = std::make_unique<Answer>(Answer{kind, request, *request});
    {
        Locked lock;
        ++g_owed;
    }
    HANDLE thread = CreateThread(nullptr, 0, &AnswerAndLetGo, answer.get(), 0, nullptr);
    if (!thread) {
        Locked lock;
        --g_owed;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    static_cast<void>(answer.release());  // the thread owns it now
    CloseHandle(thread);
    return kRequestPending;
}

}  // namespace

extern "C" __declspec(dllexport) PDNS_SERVICE_INSTANCE WINAPI
    DnsServiceConstructInstance(PCWSTR pServiceName, PCWSTR pHostName, PIP4_ADDRESS pIp4,
                                PIP6_ADDRESS pIp6, WORD wPort, WORD wPriority, WORD wWeight,
                                DWORD dwPropertiesCount, PCWSTR* keys, PCWSTR* values) {
    auto owned = std::make_unique<OwnedInstance>();
    owned->name = Copy(pServiceName);
    owned->host = Copy(pHostName);
    owned->instance.wPort = wPort;
    owned->instance.wPriority = wPriority;
    owned->instance.wWeight = wWeight;
    std::string keyList;
    std::string valueList;
    const bool listed =
        dwPropertiesCount <= kMaxProperties && (dwPropertiesCount == 0 || (keys && values));
    for (DWORD i = 0; listed && i < dwPropertiesCount; ++i) {
        owned->keys.push_back(Copy(keys[i]));
        owned->values.push_back(Copy(values[i]));
        keyList += (i ? "," : "") + Quoted(keys[i]);
        valueList += (i ? "," : "") + Quoted(values[i]);
    }
    DNS_SERVICE_INSTANCE* instance = Keep(std::move(owned));
    Append("Construct instance=" + IdOf(instance) + " name=" + Quoted(pServiceName) +
           " host=" + Quoted(pHostName) + " ip4=" + (pIp4 ? "set" : "null") +
           " ip6=" + (pIp6 ? "set" : "null") + " port=" + std::to_string(wPort) +
           " priority=" + std::to_string(wPriority) + " weight=" + std::to_string(wWeight) +
           " properties=" + std::to_string(dwPropertiesCount) + " keys=" +
           (listed ? keyList : "unreadable") + " values=" + (listed ? valueList : "unreadable"));
    return instance;
}

extern "C" __declspec(dllexport) DWORD WINAPI
    DnsServiceRegister(PDNS_SERVICE_REGISTER_REQUEST pRequest, PDNS_SERVICE_CANCEL pCancel) {
    return Begin("Register", pRequest, pCancel);
}

extern "C" __declspec(dllexport) DWORD WINAPI
    DnsServiceDeRegister(PDNS_SERVICE_REGISTER_REQUEST pRequest, PDNS_SERVICE_CANCEL pCancel) {
    return Begin("Deregister", pRequest, pCancel);
}

extern "C" __declspec(dllexport) VOID WINAPI
    DnsServiceFreeInstance(PDNS_SERVICE_INSTANCE pInstance) {
    Append("Free instance=" + IdOf(pInstance));
    Locked lock;
    g_instances.erase(pInstance);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) InitializeCriticalSection(&g_lock);
    if (reason != DLL_PROCESS_DETACH) return TRUE;
    std::string live;
    {
        Locked lock;
        for (const auto& entry : g_instances)
            live += (live.empty() ? "" : ",") + std::to_string(entry.second->id);
        Append("Unloaded live=" + (live.empty() ? std::string("none") : live) +
               " owed=" + std::to_string(g_owed));
    }
    return TRUE;
}
