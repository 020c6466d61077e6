// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_FILEBYTES_H
#define CORVANE_FILEBYTES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// The bytes of a file, read only, as they were when taken, whatever other
// programs do to the file afterwards. A mapped file that another program
// truncates kills the reader (SIGBUS) where the system lets a mapped file
// shrink, so there (POSIX) a regular file is read into memory, and taken
// only when its size and modification time held still while it was read;
// Windows refuses to shrink a mapped file, so there it is mapped. What has
// no size (a pipe, a device, an empty file) is read as it comes. One
// implementation of taking a regular file per platform.
class FileBytes {
public:
    FileBytes() = default;
    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    ~FileBytes();

    // Takes the contents of `file`, open for reading in binary mode and not
    // read yet, up to `limit` bytes (a file that grows while it is read stops
    // at the size it had); the file may be closed afterwards. False when
    // reading fails or the file keeps changing while it is read.
    bool load(std::FILE* file, std::uint64_t limit = UINT64_MAX);

    std::string_view bytes() const
    {
        return mapped ? std::string_view(mapped, mappedSize) : std::string_view(copy);
    }

private:
    enum class Taken { whole, asStream, failed };
    // The platform's way with a regular file: mapped or copied whole, or
    // left to be read as a stream (it has no size, or cannot be mapped).
    Taken takeWhole(std::FILE* file, std::uint64_t limit);
    bool readStream(std::FILE* file, std::uint64_t limit);
    void unmap();

    const char* mapped = nullptr;
    std::size_t mappedSize = 0;
    std::string copy;  // what was read rather than mapped
};

#endif
