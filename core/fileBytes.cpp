// SPDX-License-Identifier: GPL-2.0-or-later
#include "fileBytes.h"

#include <algorithm>
#include <utility>

FileBytes::FileBytes(FileBytes&& other) noexcept
    : mapped(std::exchange(other.mapped, nullptr)), mappedSize(std::exchange(other.mappedSize, 0)),
      copy(std::move(other.copy))
{
}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept
{
    if (this != &other) {
        if (mapped)
            unmap();
        mapped = std::exchange(other.mapped, nullptr);
        mappedSize = std::exchange(other.mappedSize, 0);
        copy = std::move(other.copy);
    }
    return *this;
}

FileBytes::~FileBytes()
{
    if (mapped)
        unmap();
}

bool FileBytes::load(std::FILE* file, std::uint64_t limit)
{
    *this = FileBytes();
    switch (takeWhole(file, limit)) {
    case Taken::whole:
        return true;
    case Taken::failed:
        copy.clear();
        return false;
    case Taken::asStream:
        break;
    }
    return readStream(file, limit);
}

// In chunks: the size of what has no size is not known beforehand.
bool FileBytes::readStream(std::FILE* file, std::uint64_t limit)
{
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
