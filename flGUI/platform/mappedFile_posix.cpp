// POSIX: mmap, and madvise for the hints.
#include "mappedFile.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

bool MappedFile::map(std::FILE* file)
{
    struct stat status;
    const int descriptor = fileno(file);
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0 ||
        static_cast<std::uintmax_t>(status.st_size) > SIZE_MAX)
        return false;
    const std::size_t size = static_cast<std::size_t>(status.st_size);
    void* address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
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

namespace {

std::size_t pageSize()
{
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

}

void MappedFile::prefetch(std::size_t from, std::size_t to) const
{
#ifdef MADV_POPULATE_READ
    from -= from % pageSize();
    if (mapped && from < to && to <= mappedSize)
        madvise(const_cast<char*>(mapped) + from, to - from, MADV_POPULATE_READ);  // older systems refuse: faults then
#else
    (void)from;
    (void)to;
#endif
}

void MappedFile::release(std::size_t from, std::size_t to) const
{
    from += (pageSize() - from % pageSize()) % pageSize();
    to -= to < mappedSize ? to % pageSize() : 0;  // the last page ends the file
    if (mapped && from < to && to <= mappedSize)
        madvise(const_cast<char*>(mapped) + from, to - from, MADV_DONTNEED);  // the mapping is private and read only: nothing is lost
}
