#include "platform/win32/Win32Services.h"

std::string Win32SystemInfo::UserName() {
    char name[50] = {};
    DWORD size = sizeof(name);
    if (!GetUserNameA(name, &size)) return std::string();
    name[sizeof(name) - 1] = '\0';
    return std::string(name);
}
