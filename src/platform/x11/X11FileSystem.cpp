#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// The mode is set explicitly: the umask may allow more or less than 0600, and a file left
// over from an interrupted save keeps the mode it had.
bool X11FileSystem::WritePrivateFile(const std::string& path, const std::string& contents) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                        S_IRUSR | S_IWUSR);
    if (fd < 0) return false;
    bool ok = fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    size_t done = 0;
    while (ok && done < contents.size()) {
        const ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    return close(fd) == 0 && ok;
}
