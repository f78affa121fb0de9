#include "app/linux/SettingsFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "settings/SettingsFile.h"

namespace {

constexpr char kFolderName[] = "tavrix-server";

bool Absolute(const char* path) {
    return path && path[0] == '/';
}

// Each missing folder on the way is made for the user alone.
bool MakeFolders(const std::string& path, std::string* error) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
            *error = "can't create " + part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos) return true;
    }
}

}  // namespace

std::string ChooseSettingsFolder(bool workingDirectoryHasFile, const char* xdgConfigHome,
                                 const char* home) {
    if (workingDirectoryHasFile) return ".";
    // An empty or relative XDG_CONFIG_HOME is to be ignored.
    if (Absolute(xdgConfigHome)) return std::string(xdgConfigHome) + "/" + kFolderName;
    if (Absolute(home)) return std::string(home) + "/.config/" + kFolderName;
    return std::string();
}

bool EnterSettingsFolder(std::string* folder, std::string* error) {
    struct stat status = {};
    const bool here = stat(kSettingsFileName, &status) == 0;
    *folder = ChooseSettingsFolder(here, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    if (folder->empty()) {
        *error = "no settings file here, and neither XDG_CONFIG_HOME nor HOME names a folder";
        return false;
    }
    if (here) {
        char* current = getcwd(nullptr, 0);
        if (current) *folder = current;
        std::free(current);
        return true;
    }
    if (!MakeFolders(*folder, error)) return false;
    if (chdir(folder->c_str()) != 0) {
        *error = "can't enter " + *folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
