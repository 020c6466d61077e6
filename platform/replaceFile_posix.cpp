// SPDX-License-Identifier: GPL-2.0-or-later
// The atomic replace of a file on POSIX systems: rename over the old one.
#include "files.h"

#include "descriptor_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* kindOf(mode_t mode)
{
    return S_ISDIR(mode) ? "a directory" : S_ISFIFO(mode) ? "a FIFO" : S_ISSOCK(mode) ? "a socket"
           : S_ISCHR(mode) ? "a character device" : S_ISBLK(mode) ? "a block device" : "no regular file";
}

// The directory part of a path, with its last slash ("" for a bare name).
std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The mode the new file gets: that of the file it replaces (a link's
// target's), else what creating a file gives, 0666 less the umask.
mode_t modeFor(const std::string& path)
{
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        return existing.st_mode & 0777;
    const mode_t mask = umask(0);  // the one way to read it; put back at once
    umask(mask);
    return 0666 & ~mask;
}

// Writes all of `contents`, then puts it on the disk and closes the file:
// a full disk may show only there. False, with errno set, when a step fails.
bool writeWholeAndClose(platform::Descriptor& descriptor, const std::string& contents)
{
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t got = write(descriptor.get(), contents.data() + written, contents.size() - written);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        written += static_cast<std::size_t>(got);
    }
    return fsync(descriptor.get()) == 0 && descriptor.close();
}

}

namespace platform {

bool replaceableFile(const std::string& path, std::string& error)
{
    struct stat named;
    if (lstat(path.c_str(), &named) != 0) {
        if (errno == ENOENT)
            return true;  // nothing there yet
        error = "cannot replace " + path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISREG(named.st_mode))
        return true;
    if (!S_ISLNK(named.st_mode)) {
        error = "cannot write " + path + ": " + kindOf(named.st_mode) + ", not a file";
        return false;
    }
    // A link is replaced as a link, never written through: one to a file or
    // to nothing is fine, one to anything else is refused like that thing.
    struct stat target;
    if (stat(path.c_str(), &target) != 0 || S_ISREG(target.st_mode))
        return true;
    error = "cannot write " + path + ": a symbolic link to " + kindOf(target.st_mode) + ", not to a file";
    return false;
}

bool replaceFile(const std::string& path, const std::string& contents, std::string& error,
                 const std::function<void()>& beforeRename)
{
    if (!replaceableFile(path, error))
        return false;
    // A short name of its own in the same directory: one derived from the
    // output's would not fit beside a name near the 255-byte limit.
    std::string temporary = directoryOf(path) + "corvane-update.XXXXXX";
    platform::Descriptor descriptor(mkstemp(temporary.data()));
    if (!descriptor.valid()) {
        error = "cannot create a file beside " + path + ": " + std::strerror(errno);
        return false;
    }
    if (fchmod(descriptor.get(), modeFor(path)) != 0 || !writeWholeAndClose(descriptor, contents)) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        descriptor.reset();
        unlink(temporary.c_str());
        return false;
    }
    if (beforeRename)
        beforeRename();
    // Once more: something else may have taken the name meanwhile.
    if (!replaceableFile(path, error)) {
        unlink(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}
