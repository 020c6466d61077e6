// SPDX-License-Identifier: GPL-2.0-or-later
#include "AllocationHooks.h"

#include <cstdlib>
#include <new>

// new and delete are replaced together, on malloc and free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

long allocationCount = 0;
long liveAllocations = 0;
bool failNextAllocation = false;

void* operator new(std::size_t size)
{
    if (failNextAllocation) {
        failNextAllocation = false;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size ? size : 1)) {
        ++allocationCount;
        ++liveAllocations;
        return memory;
    }
    throw std::bad_alloc();
}

// The standard library asks for temporary buffers without exceptions (a
// stable sort's): they come from malloc too, and go back to free.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    liveAllocations -= memory != nullptr;
    std::free(memory);
}

void operator delete(void* memory) noexcept
{
    liveAllocations -= memory != nullptr;
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    liveAllocations -= memory != nullptr;
    std::free(memory);
}
