// SPDX-License-Identifier: GPL-2.0-or-later
// POSIX: everything made relative to the directory's descriptor, files with
// O_EXCL | O_NOFOLLOW, renames with RENAME_NOREPLACE where the file system
// takes it.
#include "directoryToFill.h"
#include "descriptor_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace platform {

namespace {

constexpr std::size_t bufferSize = 1 << 20;

std::string reasonOf(int code)
{
    return std::generic_category().message(code);
}

bool isEmptyDirectory(int descriptor, std::string& error)
{
    const int own = dup(descriptor);
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(own >= 0 ? fdopendir(own) : nullptr, closedir);
    if (!directory) {
        if (own >= 0)
            close(own);
        error = reasonOf(errno);
        return false;
    }
    errno = 0;
    while (const dirent* found = readdir(directory.get()))
        if (std::strcmp(found->d_name, ".") != 0 && std::strcmp(found->d_name, "..") != 0) {
            error = "it is not empty";
            return false;
        }
    if (errno != 0)
        error = reasonOf(errno);
    return errno == 0;
}

}

struct NewFile::Handle {
    explicit Handle(int descriptor) : descriptor(descriptor) {}
    Descriptor descriptor;
};

NewFile::NewFile() = default;
NewFile::~NewFile() = default;
NewFile::NewFile(NewFile&&) noexcept = default;
NewFile& NewFile::operator=(NewFile&&) noexcept = default;

bool NewFile::write(std::string_view bytes, std::string& error)
{
    while (handle && !bytes.empty()) {
        const ssize_t written = ::write(handle->descriptor.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            error = reasonOf(written < 0 ? errno : ENOSPC);
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return handle != nullptr;
}

NewFile::Copy NewFile::copyFrom(std::FILE* source, std::uint64_t& copied, std::string& error)
{
    if (!handle)
        return Copy::writeFailed;
    // Nothing was read through the stream: its descriptor stands where the stream does.
    for (;;) {
        const ssize_t moved = copy_file_range(fileno(source), nullptr, handle->descriptor.get(), nullptr, 1u << 30, 0);
        if (moved == 0)
            return Copy::copied;
        if (moved < 0)
            break;  // not between these file systems, or a failure the copy below names
        copied += static_cast<std::uint64_t>(moved);
    }
    static thread_local std::unique_ptr<char[]> buffer(new char[bufferSize]);
    for (;;) {
        const ssize_t read = ::read(fileno(source), buffer.get(), bufferSize);
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0) {
            error = reasonOf(errno);
            return Copy::readFailed;
        }
        if (read == 0)
            return Copy::copied;
        if (!write(std::string_view(buffer.get(), static_cast<std::size_t>(read)), error))
            return Copy::writeFailed;
        copied += static_cast<std::uint64_t>(read);
    }
}

bool NewFile::close(std::string& error)
{
    if (!handle)
        return false;
    const bool closed = handle->descriptor.close();
    handle.reset();
    if (!closed)
        error = reasonOf(errno);
    return closed;
}

struct DirectoryToFill::Handle {
    explicit Handle(int descriptor) : descriptor(descriptor) {}
    Descriptor descriptor;
};

DirectoryToFill::DirectoryToFill() = default;
DirectoryToFill::~DirectoryToFill() = default;
DirectoryToFill::DirectoryToFill(DirectoryToFill&&) noexcept = default;
DirectoryToFill& DirectoryToFill::operator=(DirectoryToFill&&) noexcept = default;

bool DirectoryToFill::open(const std::string& path, DirectoryToFill& opened, std::string& error)
{
    std::string name = path;
    while (name.size() > 1 && name.back() == '/')  // "link/" would follow the link
        name.pop_back();
    const bool made = mkdir(name.c_str(), 0777) == 0;
    if (!made && errno != EEXIST) {
        error = reasonOf(errno);
        return false;
    }
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        const int reason = errno;
        struct stat status;
        const bool link = lstat(name.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
        error = link ? "it is a symbolic link" : reason == ENOTDIR ? "it is not a folder" : reasonOf(reason);
        return false;
    }
    auto handle = std::make_unique<Handle>(descriptor);
    if (!made && !isEmptyDirectory(handle->descriptor.get(), error))
        return false;
    opened.handle = std::move(handle);
    return true;
}

bool DirectoryToFill::makeDirectory(const std::string& path, std::string& error) const
{
    if (mkdirat(handle->descriptor.get(), path.c_str(), 0777) == 0)
        return true;
    error = reasonOf(errno);
    return false;
}

bool DirectoryToFill::makeFile(const std::string& path, NewFile& file, std::string& error) const
{
    const int descriptor =
        openat(handle->descriptor.get(), path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        error = reasonOf(errno);
        return false;
    }
    file.handle = std::make_unique<NewFile::Handle>(descriptor);
    return true;
}

bool DirectoryToFill::rename(const std::string& from, const std::string& to, std::string& error) const
{
    const int at = handle->descriptor.get();
    if (renameat2(at, from.c_str(), at, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EINVAL || errno == ENOSYS) {  // a file system without it: nothing else writes here
        struct stat status;
        if (fstatat(at, to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            error = reasonOf(EEXIST);
            return false;
        }
        if (renameat(at, from.c_str(), at, to.c_str()) == 0)
            return true;
    }
    error = reasonOf(errno);
    return false;
}

bool DirectoryToFill::remove(const std::string& path, bool directory) const
{
    return unlinkat(handle->descriptor.get(), path.c_str(), directory ? AT_REMOVEDIR : 0) == 0;
}

}
