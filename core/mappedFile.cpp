// SPDX-License-Identifier: GPL-2.0-or-later
#include "mappedFile.h"

#include <algorithm>
#include <utility>

MappedFile::MappedFile(MappedFile&& other) noexcept
    : watch(std::move(other.watch)), mapped(std::exchange(other.mapped, nullptr)),
      mappedSize(std::exchange(other.mappedSize, 0)), copy(std::move(other.copy))
{
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept
{
    if (this != &other) {
        if (mapped)
            unmap();
        watch = std::move(other.watch);
        mapped = std::exchange(other.mapped, nullptr);
        mappedSize = std::exchange(other.mappedSize, 0);
        copy = std::move(other.copy);
    }
    return *this;
}

MappedFile::~MappedFile()
{
    if (mapped)
        unmap();
}

bool MappedFile::load(std::FILE* file, Pages pages, std::uint64_t limit)
{
    *this = MappedFile();
    if (map(file, pages, limit))
        return true;
    // Read in chunks: the size of what cannot be mapped is not known beforehand.
    char chunk[65536];
    while (copy.size() < limit) {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, limit - copy.size()));
        const std::size_t got = std::fread(chunk, 1, wanted, file);
        if (got == 0)
            break;
        copy.append(chunk, got);
    }
    return !std::ferror(file);
}
