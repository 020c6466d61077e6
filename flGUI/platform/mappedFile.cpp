#include "mappedFile.h"

#include <utility>

MappedFile::MappedFile(MappedFile&& other) noexcept
    : mapped(std::exchange(other.mapped, nullptr)), mappedSize(std::exchange(other.mappedSize, 0)),
      copy(std::move(other.copy))
{
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept
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

MappedFile::~MappedFile()
{
    if (mapped)
        unmap();
}

bool MappedFile::load(std::FILE* file, Pages pages)
{
    *this = MappedFile();
    if (map(file, pages))
        return true;
    // Read in chunks: the size of what cannot be mapped is not known beforehand.
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        copy.append(chunk, got);
    return !std::ferror(file);
}
