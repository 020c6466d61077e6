// SPDX-License-Identifier: GPL-2.0-or-later
// Windows: a read-only view of a file mapping. While the view is open no
// program can shrink the file (SetEndOfFile fails), so nothing read through
// it can vanish.
#include "fileBytes.h"

#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cstdint>

FileBytes::Taken FileBytes::takeWhole(std::FILE* file, std::uint64_t limit)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    LARGE_INTEGER size;
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size) ||
        size.QuadPart <= 0 || static_cast<std::uint64_t>(size.QuadPart) > SIZE_MAX)
        return Taken::asStream;
    const std::uint64_t viewSize = std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), limit);
    if (viewSize == 0)
        return Taken::asStream;
    const HANDLE mapping = CreateFileMappingA(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        return Taken::asStream;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(viewSize));
    CloseHandle(mapping);  // the view keeps the mapping
    if (!view)
        return Taken::asStream;
    mapped = static_cast<const char*>(view);
    mappedSize = static_cast<std::size_t>(viewSize);
    return Taken::whole;
}

void FileBytes::unmap()
{
    UnmapViewOfFile(mapped);
}

