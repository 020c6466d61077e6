// SPDX-License-Identifier: GPL-2.0-or-later
// POSIX: mmap, with the pages mapped in by the call where Linux can, and a
// watch over each mapping. Another program truncating the file takes the
// pages past its new end out of the mapping, and reading one raises SIGBUS:
// the handler here puts zero pages in their place and marks the mapping, so
// the reader reads zeros, then learns from intact() that the file changed
// (as it learns from the file's times that it was written meanwhile).
#include "mappedFile.h"

#include "descriptor_posix.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace {

// The mappings the handler may mend; a file mapped when all are taken is read instead.
struct Region {
    std::atomic<char*> start{nullptr};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> shrunk{false};
};
std::array<Region, 16> regions;
std::uintptr_t pageSize = 4096;
struct sigaction previousAction;

void onBusError(int signal, siginfo_t* info, void* context)
{
    char* const address = static_cast<char*>(info->si_addr);
    for (Region& region : regions) {
        char* const start = region.start.load();
        const std::size_t size = region.size.load();
        if (!start || address < start || address >= start + size)
            continue;
        // Zeros from the lost page to the mapping's end (mmap, though not
        // listed as safe in a handler, is a plain system call).
        char* const page = reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(address) & ~(pageSize - 1));
        if (mmap(page, static_cast<std::size_t>(start + size - page), PROT_READ,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            region.shrunk = true;
            return;  // the read is made again, of a zero
        }
    }
    // Not a mapping of ours: what would have happened without this handler.
    if (previousAction.sa_flags & SA_SIGINFO) {
        previousAction.sa_sigaction(signal, info, context);
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
    } else {
        ::signal(SIGBUS, SIG_DFL);  // the fault comes again on return, and ends the program
    }
}

void installHandler()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previousAction);
    });
}

// Whether the contents are as they were: size and modification time. Not
// the change time: a file replaced by another under its name (renamed over)
// loses a link, which changes it, while its contents stay whole.
bool sameContents(const struct stat& before, const struct stat& after)
{
    return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
           before.st_mtim.tv_nsec == after.st_mtim.tv_nsec;
}

}

// A mapping's region for the handler, and the file's state once mapped.
struct MappedFile::Watch {
    Region* region = nullptr;
    platform::Descriptor descriptor;  // a copy of the file's own: its times are looked at again later
    struct stat taken {};

    ~Watch()
    {
        if (region) {
            region->start = nullptr;
            region->size = 0;
            region->shrunk = false;
        }
    }
};

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
    auto newWatch = std::make_shared<Watch>();
    for (Region& region : regions) {
        char* unused = nullptr;
        if (region.start.compare_exchange_strong(unused, reinterpret_cast<char*>(1))) {  // taken, not yet valid
            newWatch->region = &region;
            break;
        }
    }
    newWatch->descriptor.reset(dup(descriptor));
    if (!newWatch->region || !newWatch->descriptor.valid())
        return false;
    installHandler();
    void* address = mmap(nullptr, size, PROT_READ, flags, descriptor, 0);
    if (address == MAP_FAILED || fstat(descriptor, &newWatch->taken) != 0) {
        if (address != MAP_FAILED)
            munmap(address, size);
        return false;
    }
    newWatch->region->size = size;
    newWatch->region->start = static_cast<char*>(address);
    watch = std::move(newWatch);
    mapped = static_cast<const char*>(address);
    mappedSize = size;
    return true;
}

void MappedFile::unmap()
{
    watch.reset();  // before the pages go: another mapping may take their place
    munmap(const_cast<char*>(mapped), mappedSize);
}

bool MappedFile::intact() const
{
    if (!watch)
        return true;  // read into memory: it cannot change
    struct stat now;
    return !watch->region->shrunk && fstat(watch->descriptor.get(), &now) == 0 && sameContents(watch->taken, now);
}
