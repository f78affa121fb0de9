// A stand-in for the DNS-SD client library: it advertises nothing and writes every call,
// with all its arguments, as one line to a record in the working directory of the process
// that loaded it, dnssd_calls.txt unless the build names another.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

using DNSServiceRef = void*;
using DNSServiceRegisterReply = void(__stdcall*)(DNSServiceRef, uint32_t, int32_t, const char*,
                                                 const char*, const char*, void*);

#ifndef TAVRIX_RECORD_FILE
#define TAVRIX_RECORD_FILE "dnssd_calls.txt"
#endif

uintptr_t g_nextRef = 0;

void Append(const std::string& line) {
    FILE* file = std::fopen(TAVRIX_RECORD_FILE, "ab");
    if (!file) return;
    std::fwrite(line.data(), 1, line.size(), file);
    std::fputc('\n', file);
    std::fclose(file);
}

std::string Hex(const void* data, size_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < length; ++i) {
        if (i) out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::string Text(const char* text) {
    return text ? "\"" + std::string(text) + "\"" : "null";
}

}  // namespace

extern "C" __declspec(dllexport) int32_t
    __stdcall DNSServiceRegister(DNSServiceRef* ref, uint32_t flags, uint32_t interfaceIndex,
                                 const char* name, const char* regType, const char* domain,
                                 const char* host, uint16_t port, uint16_t txtLength,
                                 const void* txtRecord, DNSServiceRegisterReply callBack,
                                 void* context) {
    const uintptr_t id = ++g_nextRef;
    if (ref) *ref = reinterpret_cast<DNSServiceRef>(id);
    Append("Register ref=" + std::to_string(id) + " flags=" + std::to_string(flags) +
           " interface=" + std::to_string(interfaceIndex) + " name=" + Text(name) +
           " type=" + Text(regType) + " domain=" + Text(domain) + " host=" + Text(host) +
           " port=" + Hex(&port, sizeof(port)) + " txtlen=" + std::to_string(txtLength) +
           " txt=" + (txtRecord ? Hex(txtRecord, txtLength) : "null") +
           " callback=" + (callBack ? "set" : "null") + " context=" + (context ? "set" : "null"));
    return 0;
}

extern "C" __declspec(dllexport) void __stdcall DNSServiceRefDeallocate(DNSServiceRef ref) {
    Append("Deallocate ref=" + std::to_string(reinterpret_cast<uintptr_t>(ref)));
}

#ifdef TAVRIX_LOAD_MARKER
// Marks the mere loading, before any call.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    HANDLE marker = CreateFileA(TAVRIX_LOAD_MARKER, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    return TRUE;
}
#endif
