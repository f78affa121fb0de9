#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/x11/X11Services.h"

// The new file reaches the disk before it takes the old one's place, so a crash leaves one
// whole file or the other.
bool X11FileSystem::ReplaceFile(const std::string& source, const std::string& target) {
    const int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced && std::rename(source.c_str(), target.c_str()) == 0;
}
