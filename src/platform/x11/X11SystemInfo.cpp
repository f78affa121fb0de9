#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform/common/Windows1252.h"
#include "platform/x11/X11Services.h"

std::string X11SystemInfo::UserName() {
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
    passwd entry = {};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_name)
        return std::string();
    return Utf8ToWindows1252(found->pw_name);
}
