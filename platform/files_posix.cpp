// SPDX-License-Identifier: GPL-2.0-or-later
// POSIX: descriptors opened so that nothing found in the directory can hold
// the open, and the log is never written through a link.
#include "files.h"

#include "descriptor_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace {

platform::OpenedFile refusal(int reason)
{
    platform::OpenedFile refused;
    refused.reason = std::generic_category().message(reason);
    return refused;
}

using platform::Descriptor;

// A regular file with no other name: not a hard link someone else made.
bool isLoneRegularFile(const Descriptor& descriptor)
{
    struct stat status;
    return descriptor.valid() && fstat(descriptor.get(), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_nlink == 1;
}

// A regular file `name` of the directory `directory` (AT_FDCWD: of the
// working directory, or a path), looked at before it is opened, so that no
// device is ever opened; what was opened is looked at again, in case
// something else took the name in between. O_NONBLOCK: a FIFO put there
// meanwhile does not hold the open. `noFollow` (O_NOFOLLOW) refuses a link.
platform::OpenedFile openRegularFileAt(int directory, const char* name, int noFollow)
{
    struct stat named, opened;
    if (fstatat(directory, name, &named, noFollow ? AT_SYMLINK_NOFOLLOW : 0) != 0)
        return refusal(errno);
    if (S_ISDIR(named.st_mode))
        return refusal(EISDIR);
    if (!S_ISREG(named.st_mode)) {
        platform::OpenedFile refused;
        refused.notAFile = true;
        return refused;
    }
    Descriptor descriptor(openat(directory, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | noFollow));
    if (descriptor.get() < 0)
        return refusal(errno);
    if (fstat(descriptor.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino)
        return {};
    platform::FilePointer file(fdopen(descriptor.get(), "rb"));
    if (!file)
        return refusal(errno);
    descriptor.release();
    return {std::move(file), static_cast<std::uint64_t>(opened.st_size), false, {}};
}

platform::DirectoryEntry::Kind kindOf(int directory, const dirent& found)
{
    unsigned char type = found.d_type;
    struct stat status;
    if (type == DT_UNKNOWN && fstatat(directory, found.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
        type = S_ISREG(status.st_mode) ? DT_REG : S_ISDIR(status.st_mode) ? DT_DIR : S_ISLNK(status.st_mode) ? DT_LNK : DT_FIFO;
    return type == DT_REG   ? platform::DirectoryEntry::file
           : type == DT_DIR ? platform::DirectoryEntry::directory
           : type == DT_LNK ? platform::DirectoryEntry::link
                            : platform::DirectoryEntry::other;
}

}

namespace platform {

OpenedFile openRegularFile(const char* name)
{
    return openRegularFileAt(AT_FDCWD, name, 0);
}

bool appendLine(const char* name, const std::string& line, std::string* writeFailure)
{
    // O_NOFOLLOW: a link is refused, not written through; a second name of a
    // file (a hard link, which anyone may make to a file only the user can
    // write) is refused below as well. O_NONBLOCK: a FIFO without a reader
    // fails at once instead of waiting for one, and one with a reader is
    // refused below with everything else that is no file.
    const Descriptor log(open(name, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                              0644));
    if (!isLoneRegularFile(log))
        return false;
    const std::string text = line + '\n';
    const ssize_t written = write(log.get(), text.data(), text.size());
    const int reason = written < 0 ? errno : 0;
    // The report goes on without its line (or with part of it: a full disk);
    // the caller may say so.
    if (writeFailure && written != static_cast<ssize_t>(text.size()))
        *writeFailure = reason ? std::generic_category().message(reason) : "the line was cut short";
    else if (writeFailure)
        writeFailure->clear();
    return true;
}

struct OpenDirectory::Handle {
    explicit Handle(int descriptor) : descriptor(descriptor) {}
    Descriptor descriptor;
};

OpenDirectory::OpenDirectory() = default;
OpenDirectory::~OpenDirectory() = default;
OpenDirectory::OpenDirectory(OpenDirectory&&) noexcept = default;
OpenDirectory& OpenDirectory::operator=(OpenDirectory&&) noexcept = default;

Listing OpenDirectory::open(const std::string& path, OpenDirectory& opened)
{
    // O_DIRECTORY: anything else fails at once, a FIFO included, without waiting on it.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return errno == ENOENT ? Listing::missing : errno == ENOTDIR ? Listing::notADirectory : Listing::unreadable;
    opened.handle = std::make_unique<Handle>(descriptor);
    return Listing::listed;
}

Listing OpenDirectory::list(std::vector<DirectoryEntry>& entries) const
{
    entries.clear();
    // The stream takes a descriptor of its own, from the start of the directory.
    Descriptor own(handle ? dup(handle->descriptor.get()) : -1);
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(own.valid() ? fdopendir(own.get()) : nullptr, closedir);
    if (!directory)
        return Listing::unreadable;
    own.release();  // the stream closes it
    rewinddir(directory.get());
    errno = 0;
    while (const dirent* found = readdir(directory.get())) {
        if (std::strcmp(found->d_name, ".") != 0 && std::strcmp(found->d_name, "..") != 0)
            entries.push_back({found->d_name, kindOf(dirfd(directory.get()), *found)});
        errno = 0;
    }
    return errno == 0 ? Listing::listed : Listing::unreadable;
}

bool OpenDirectory::openSubdirectory(const std::string& name, OpenDirectory& opened) const
{
    const int descriptor =
        handle ? openat(handle->descriptor.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    if (descriptor < 0)
        return false;
    opened.handle = std::make_unique<Handle>(descriptor);
    return true;
}

bool OpenDirectory::openParent(const Identity& parent, OpenDirectory& opened) const
{
    const int descriptor = handle ? openat(handle->descriptor.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (descriptor < 0)
        return false;
    OpenDirectory candidate;
    candidate.handle = std::make_unique<Handle>(descriptor);
    if (!(candidate.identity() == parent))
        return false;
    opened = std::move(candidate);
    return true;
}

OpenDirectory::Identity OpenDirectory::identity() const
{
    struct stat status;
    if (!handle || fstat(handle->descriptor.get(), &status) != 0)
        return {};
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

OpenedFile OpenDirectory::openFile(const std::string& name) const
{
    if (!handle)
        return refusal(EBADF);
    return openRegularFileAt(handle->descriptor.get(), name.c_str(), O_NOFOLLOW);
}

std::optional<std::uint64_t> passHole(std::FILE* file, std::uint64_t most)
{
    const off_t at = ftello(file);
    if (at < 0)
        return 0;
    off_t data = lseek(fileno(file), at, SEEK_DATA);
    struct stat status;
    if (data < 0 && errno == ENXIO && fstat(fileno(file), &status) == 0)
        data = std::max(at, status.st_size);  // no data after `at`: a hole up to the end
    const std::uint64_t hole = data > at ? std::min<std::uint64_t>(static_cast<std::uint64_t>(data - at), most) : 0;
    if (fseeko(file, at + static_cast<off_t>(hole), SEEK_SET) != 0)
        return std::nullopt;
    return hole;
}

struct ScratchFile::Handle {
    explicit Handle(int descriptor) : memory(descriptor) {}
    Descriptor memory;
};

// Memory named by the process's own descriptor, which any open reaches.
ScratchFile::ScratchFile()
{
    auto made = std::make_unique<Handle>(memfd_create("corvane-scratch", MFD_CLOEXEC));
    if (made->memory.get() < 0) {
        failure = std::generic_category().message(errno);
        return;
    }
    name = "/proc/self/fd/" + std::to_string(made->memory.get());
    handle = std::move(made);
}

ScratchFile::~ScratchFile() = default;

bool ScratchFile::writeAt(std::uint64_t offset, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = pwrite(handle->memory.get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            failure = written < 0 ? std::generic_category().message(errno) : "nothing was written";
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

bool ScratchFile::resize(std::uint64_t size)
{
    if (ftruncate(handle->memory.get(), static_cast<off_t>(size)) == 0)
        return true;
    failure = std::generic_category().message(errno);
    return false;
}

}
