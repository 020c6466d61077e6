// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_FILES_H
#define CORVANE_FILES_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The files the program reads and writes: its working directory's, which
// anyone may have filled, and those the user names. What is found there is
// never waited for, and used only when it is a plain file. Names are UTF-8
// on every platform. One implementation file per platform, chosen by the build.
namespace platform {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

// A regular file open for reading in binary mode, and its size then: what
// is read of it stops there, however it grows meanwhile.
struct OpenedFile {
    FilePointer file;  // null when `name` was no regular file or could not be opened
    std::uint64_t size = 0;
    // Without `file`: something other than a file or a directory stands
    // under the name (a FIFO, a socket, a device), rather than nothing
    // that can be opened.
    bool notAFile = false;
    // Without `file`: why, in the system's words ("No such file or
    // directory", "Is a directory"); empty when it did not say.
    std::string reason;
};

// Opens `name` for reading when it is a regular file; a symbolic link to one
// is fine. Anything else is refused without waiting on it: a FIFO, a socket,
// a directory, a device such as /dev/zero (on Windows a DOS device name like
// CON, NUL or COM1, a pipe). On POSIX a device is not even opened, as opening
// some does something (a watchdog starts counting). Other programs may read
// and write the file meanwhile.
OpenedFile openRegularFile(const char* name);

// Appends `line` and the platform's line end to the file `name` in a single
// write at its end, so that the lines of programs failing at once never mix.
// Makes the file when it is absent (0644 less the umask on POSIX). A symbolic
// link (on Windows any reparse point) named so is not followed, a file that
// has another name too (a hard link) is not written, and neither is anything
// but a regular file (a FIFO, a socket, a device, a directory; on Windows a
// DOS device name, not even opened).
// True when the file could be opened for appending, whether the write then
// succeeded or not; then `writeFailure`, when given, gets the system's
// reason when the line did not go in whole, and is left empty when it did.
bool appendLine(const char* name, const std::string& line, std::string* writeFailure = nullptr);

// Whether replaceFile may put a file at `path`: there is nothing there, a
// regular file, or a symbolic link to one or to nothing (replaced as a link,
// never written through). Anything else (a directory, a FIFO, a socket, a
// device, a link to one of those; on Windows a DOS device name) is refused,
// false with the reason in `error`.
bool replaceableFile(const std::string& path, std::string& error);

// Writes a temporary file in the directory of `path`, flushes it to disk and
// renames it over `path`, so that `path` is always either the old or the new
// file whole. The new file keeps the mode of the file it replaces; a new
// one gets 0666 less the umask, as other programs' files do (POSIX).
// Nothing is written where replaceableFile refuses `path`; that is looked at
// first and again just before the rename. False with the reason
// in `error` when it cannot, which names `path`, never the temporary file. `beforeRename` runs between the two (tests stop
// the process there).
bool replaceFile(const std::string& path, const std::string& contents, std::string& error,
                 const std::function<void()>& beforeRename = {});

// One name in a directory, and what stands there, told without following
// anything.
struct DirectoryEntry {
    enum Kind {
        file,
        directory,
        link,   // a symbolic link; on Windows a symbolic link or a junction
        other,  // a FIFO, a socket, a device
    };
    std::string name;  // UTF-8
    Kind kind;
};

enum class Listing { listed, missing, notADirectory, unreadable };

// A directory held open while what is in it is read: each name in it is
// opened relative to it (openat, or on Windows below it while it is held
// and cannot be renamed), so that directories nest as deep as they like and
// nothing renamed or swapped for a symbolic link meanwhile leads out of the
// tree. Nothing below it is opened through a link (on Windows a junction).
class OpenDirectory {
public:
    // What tells a directory from all others on the machine.
    struct Identity {
        std::uint64_t device = 0, file = 0;
        bool operator==(const Identity& other) const { return device == other.device && file == other.file; }
    };

    OpenDirectory();
    ~OpenDirectory();
    OpenDirectory(OpenDirectory&&) noexcept;
    OpenDirectory& operator=(OpenDirectory&&) noexcept;

    // The directory `path` names; a link to one is followed, as the user
    // named it (on Windows a DOS device name is no directory).
    static Listing open(const std::string& path, OpenDirectory& opened);
    // The names in it, without "." and "..", in no particular order; nothing
    // is opened but the directory.
    Listing list(std::vector<DirectoryEntry>& entries) const;
    // Its directory `name`; false for anything else, a link to one included.
    bool openSubdirectory(const std::string& name, OpenDirectory& opened) const;
    // The directory it is in, when that is still the one of `parent`: one of
    // them may have been moved since it was opened.
    bool openParent(const Identity& parent, OpenDirectory& opened) const;
    Identity identity() const;
    // Its file `name` when that is a regular file, as openRegularFile opens
    // one, but never through a link.
    OpenedFile openFile(const std::string& name) const;

private:
    struct Handle;
    std::unique_ptr<Handle> handle;
};

}

#endif
