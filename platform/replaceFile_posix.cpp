// The atomic replace of a file on POSIX systems: rename over the old one.
#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

bool replaceFile(const std::string& path, const std::string& contents, std::string& error,
                 const std::function<void()>& beforeRename)
{
    std::string temporary = path + ".new-XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        error = "cannot create a file beside " + path + ": " + std::strerror(errno);
        return false;
    }
    fchmod(descriptor, 0644);
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t got = write(descriptor, contents.data() + written, contents.size() - written);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = "cannot write " + temporary + ": " + std::strerror(errno);
            close(descriptor);
            unlink(temporary.c_str());
            return false;
        }
        written += static_cast<std::size_t>(got);
    }
    if (fsync(descriptor) != 0 || close(descriptor) != 0) {
        error = "cannot write " + temporary + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    if (beforeRename)
        beforeRename();
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}
