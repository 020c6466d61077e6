// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_MAPPEDFILE_H
#define CORVANE_MAPPEDFILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// The bytes of a file, read only. A regular file is mapped into memory:
// nothing is copied, and a lookup that reads a few lines touches only their
// pages. What cannot be mapped (a pipe, a device, an empty file) is read.
// One implementation of the mapping per platform.
//
// Another program may truncate or rewrite a mapped file (an editor saving in
// place, `cp new.lst devices.lst`). Where the system lets a mapped file
// shrink (POSIX), reading past its new end would end the program (SIGBUS):
// there the pages lost read as zeros instead, and intact() tells the reader
// that what it read may not be the file as it was.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    ~MappedFile();

    enum Pages { mapOnUse, mapAhead };  // mapAhead: every page at once, not a fault every few

    // Takes the contents of `file`, open for reading in binary mode and not
    // read yet, up to `limit` bytes (a file that grows while it is read stops
    // at the size it had); the file may be closed afterwards. False when
    // reading fails.
    bool load(std::FILE* file, Pages pages = mapOnUse, std::uint64_t limit = UINT64_MAX);

    bool isMapped() const { return mapped != nullptr; }  // not read into memory

    // False once the mapped file has been shrunk or written since it was
    // taken: the bytes may then be a mix of old and new, or zeros.
    bool intact() const;

    std::string_view bytes() const
    {
        return mapped ? std::string_view(mapped, mappedSize) : std::string_view(copy);
    }

private:
    bool map(std::FILE* file, Pages pages, std::uint64_t limit);  // false when the file cannot be mapped
    void unmap();

    struct Watch;  // the platform's watch over a mapping
    std::shared_ptr<Watch> watch;
    const char* mapped = nullptr;
    std::size_t mappedSize = 0;
    std::string copy;  // what was read where nothing could be mapped
};

#endif
