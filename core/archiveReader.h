// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_ARCHIVEREADER_H
#define CORVANE_ARCHIVEREADER_H

// Archives read in place: a .cab, .zip or .7z, a .tar plain or compressed
// with gzip, xz or bzip2. Entry after entry, in the archive's order; of each
// only what the caller asks for is inflated, into memory, never past the
// limit it gives, and nothing is ever written anywhere: an entry's name is
// only a name. What an archive says of its entries (their sizes above all)
// is never trusted: an entry is read until it ends or passes the limit. An
// archive as a whole may inflate to inflationBudget(its size); past that
// it is not read on (a bomb), and neither is one that is damaged or
// truncated: reason() says why.
//
// One backend per build: libarchive's, or none where the build has no
// libarchive (supported() is false; every archive then fails to open).
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace archives {

// Whether this build reads archives at all.
bool supported();

// Whether a file's name is that of an archive read here (by its ending,
// in any case: .cab .zip .7z .tar .tgz .tar.gz .txz .tar.xz .tbz2 .tar.bz2).
bool isArchiveName(std::string_view name);

// How much an archive of `size` bytes may inflate to, all its entries read
// or passed over: a hundred times its size and 64 MiB. Real driver
// archives inflate a few times over.
std::uint64_t inflationBudget(std::uint64_t size);

struct Entry {
    // As recorded, with '\' taken for '/', without a leading '/' or "./"
    // and without empty or "." parts; UTF-8 where the archive says which
    // encoding its names are in, else the bytes as recorded.
    std::string path;
    bool regularFile = false;  // not a folder, a link or a device
    // Its path has a ".." part, or was absolute: whoever copies it out
    // must not follow it.
    bool leavesArchive = false;
};
// The entry of a name as an archive recorded it (for the backends).
Entry entryNamed(std::string_view recorded, bool regularFile);

enum class DataResult {
    read,      // whole
    tooLarge,  // inflates past the limit: nothing of it is kept
    failed,    // could not be read (damaged, encrypted, of a method not read)
    stopped,   // the caller stopped it (stream), or the archive's budget is spent
};

class Reader {
public:
    virtual ~Reader() = default;

    // The next entry, or none at the end of the archive or where it cannot
    // be read on: reason() then says why. What of the current entry was
    // not read is passed over first, counted against the budget.
    virtual std::optional<Entry> next() = 0;
    // The current entry's bytes into `bytes`, when they come to at most `limit`.
    virtual DataResult read(std::string& bytes, std::uint64_t limit) = 0;
    // The current entry's bytes in pieces as they come, each handed to
    // `piece`, which returns false to stop: for a caller that copies an
    // entry of any size out (the archive's budget still holds).
    virtual DataResult stream(const std::function<bool(std::string_view piece)>& piece) = 0;
    // Empty while the archive reads well or once it was read to its end;
    // else why it was not (the library's words, or its budget spent).
    virtual const std::string& reason() const = 0;
    // Whether it stopped because it inflates past its budget.
    virtual bool overBudget() const = 0;
};

// An archive in `file`, open for reading, of `size` bytes (what is read of
// it stops there): null with the reason in `problem` when it is of no kind
// read here, or this build reads none. The file must stay open as long as
// the reader.
std::unique_ptr<Reader> openFile(std::FILE* file, std::uint64_t size, std::string& problem);
// An archive held in memory (one inside another): `bytes` must outlive the reader.
std::unique_ptr<Reader> openBytes(std::string_view bytes, std::string& problem);

}

#endif
