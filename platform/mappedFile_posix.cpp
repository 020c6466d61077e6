// POSIX: mmap, with the pages mapped in by the call where Linux can.
#include "mappedFile.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>

bool MappedFile::map(std::FILE* file, Pages pages, std::uint64_t limit)
{
    struct stat status;
    const int descriptor = fileno(file);
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0 ||
        static_cast<std::uintmax_t>(status.st_size) > SIZE_MAX)
        return false;
    int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    if (pages == mapAhead)
        flags |= MAP_POPULATE;
#else
    (void)pages;
#endif
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(status.st_size, limit));
    if (size == 0)
        return false;
    void* address = mmap(nullptr, size, PROT_READ, flags, descriptor, 0);
    if (address == MAP_FAILED)
        return false;
    mapped = static_cast<const char*>(address);
    mappedSize = size;
    return true;
}

void MappedFile::unmap()
{
    munmap(const_cast<char*>(mapped), mappedSize);
}

