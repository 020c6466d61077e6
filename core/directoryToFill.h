// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DIRECTORYTOFILL_H
#define CORVANE_DIRECTORYTOFILL_H

// A directory the program fills, and nothing outside it: one it made, or
// one given empty. Everything below it is made by the program, by paths
// the caller checked ('/'-separated parts, none "..", none absolute or on
// a drive), each part new: nothing there is replaced and no link is
// followed (a name that stands there already fails). Names are UTF-8 on
// every platform. One implementation file per platform.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// A file being written, from its first byte.
class NewFile {
public:
    NewFile();
    ~NewFile();  // closes it when close() was not called
    NewFile(NewFile&&) noexcept;
    NewFile& operator=(NewFile&&) noexcept;

    // False with the system's reason when the bytes did not go in whole.
    bool write(std::string_view bytes, std::string& error);
    // Copies what is left of `source`, a file open for reading (on Linux
    // within the kernel where the file systems allow), adding to `copied`;
    // which side failed, with the system's reason.
    enum class Copy { copied, readFailed, writeFailed };
    Copy copyFrom(std::FILE* source, std::uint64_t& copied, std::string& error);
    // False with the reason when what was written could not be kept (a
    // full disk may say so only here).
    bool close(std::string& error);

private:
    friend class DirectoryToFill;
    struct Handle;
    std::unique_ptr<Handle> handle;
};

class DirectoryToFill {
public:
    DirectoryToFill();
    ~DirectoryToFill();
    DirectoryToFill(DirectoryToFill&&) noexcept;
    DirectoryToFill& operator=(DirectoryToFill&&) noexcept;

    // The directory `path`, made when nothing is there (the directory it
    // is in must be), taken when it is an empty directory. Anything else is
    // refused, false with the reason in `error`: a file, a directory with
    // anything in it, a symbolic link (on Windows any reparse point).
    static bool open(const std::string& path, DirectoryToFill& opened, std::string& error);

    bool makeDirectory(const std::string& path, std::string& error) const;
    bool makeFile(const std::string& path, NewFile& file, std::string& error) const;
    // Gives `from` the name `to`, never over something already there.
    bool rename(const std::string& from, const std::string& to, std::string& error) const;
    // Removes what the program made at `path`, a file or an empty directory.
    bool remove(const std::string& path, bool directory) const;

private:
    struct Handle;
    std::unique_ptr<Handle> handle;
};

}

#endif
