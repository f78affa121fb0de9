#pragma once
#include "platform/common/DnsSdChoice.h"
#include "platform/win32/Win32BonjourDnsSd.h"
#include "platform/win32/Win32DnsApiDnsSd.h"

// The backends, made before the choice between them and gone after it.
struct Win32DnsSdBackends {
    Win32BonjourDnsSd bonjour;
    Win32DnsApiDnsSd dnsApi;
};

// Bonjour's dnssd.dll where it is installed, otherwise the system's own DNS-SD functions.
class Win32DnsSd : private Win32DnsSdBackends, public DnsSdChoice {
public:
    Win32DnsSd() : DnsSdChoice(bonjour, dnsApi) {}
};
