// SPDX-License-Identifier: GPL-2.0-or-later
// POSIX: a regular file read whole into memory, not mapped: a mapping dies
// of SIGBUS when another program truncates the file (an editor saving in
// place, `cp new.lst devices.lst`), and a copy costs little more than
// mapping every page at once did.
#include "fileBytes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace {

bool sameState(const struct stat& before, const struct stat& after)
{
    return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
           before.st_mtim.tv_nsec == after.st_mtim.tv_nsec && before.st_ctim.tv_sec == after.st_ctim.tv_sec &&
           before.st_ctim.tv_nsec == after.st_ctim.tv_nsec;
}

// Up to `size` bytes from the start; fewer when the file is shorter now. -1 on an error.
long long readFrom(int descriptor, char* into, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t count = pread(descriptor, into + got, size - got, static_cast<off_t>(got));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        got += static_cast<std::size_t>(count);
    }
    return static_cast<long long>(got);
}

}

FileBytes::Taken FileBytes::takeWhole(std::FILE* file, std::uint64_t limit)
{
    const int descriptor = fileno(file);
    struct stat before;
    if (fstat(descriptor, &before) != 0 || !S_ISREG(before.st_mode) || before.st_size <= 0)
        return Taken::asStream;
    // A file rewritten while it is read is read again; one that never holds still is not taken.
    constexpr int attempts = 3;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const auto size = std::min<std::uint64_t>(static_cast<std::uint64_t>(before.st_size), limit);
        if (size > copy.max_size())
            return Taken::failed;
        copy.resize(static_cast<std::size_t>(size));
        const long long got = readFrom(descriptor, copy.data(), copy.size());
        struct stat after;
        if (got < 0 || fstat(descriptor, &after) != 0)
            return Taken::failed;
        if (static_cast<std::uint64_t>(got) == size && sameState(before, after))
            return Taken::whole;
        before = after;
    }
    return Taken::failed;
}

void FileBytes::unmap() {}  // nothing is mapped here
