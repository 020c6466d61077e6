// SPDX-License-Identifier: GPL-2.0-or-later
// Windows: a read-only view of a file mapping.
#include "mappedFile.h"

#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cstdint>

bool MappedFile::map(std::FILE* file, Pages, std::uint64_t limit)
{
    // Windows maps a view's pages in clusters as they are read, ahead or not.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    LARGE_INTEGER size;
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size) ||
        size.QuadPart <= 0 || static_cast<std::uint64_t>(size.QuadPart) > SIZE_MAX)
        return false;
    const std::uint64_t viewSize = std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), limit);
    if (viewSize == 0)
        return false;
    const HANDLE mapping = CreateFileMappingA(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        return false;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(viewSize));
    CloseHandle(mapping);  // the view keeps the mapping
    if (!view)
        return false;
    mapped = static_cast<const char*>(view);
    mappedSize = static_cast<std::size_t>(viewSize);
    return true;
}

void MappedFile::unmap()
{
    UnmapViewOfFile(mapped);
}


// A mapped file cannot be shrunk on Windows (SetEndOfFile fails while a view
// is open), so nothing read through the view can vanish.
bool MappedFile::intact() const
{
    return true;
}
