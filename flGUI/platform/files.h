#ifndef CORVANE_FILES_H
#define CORVANE_FILES_H

#include <string>

// The files the program uses in its working directory, which anyone may have
// filled: what is found there is never waited for, and used only when it is a
// plain file. One implementation file per platform, chosen by the build.
namespace platform {

// Appends `line` and the platform's line end to the file `name` in a single
// write at its end, so that the lines of programs failing at once never mix.
// Makes the file when it is absent (0644 less the umask on POSIX). A symbolic
// link (on Windows any reparse point) named so is not followed, and anything
// but a regular file (a FIFO, a socket, a device, a directory) is not written.
// True when the file could be opened for appending, whether the write then
// succeeded or not.
bool appendLine(const char* name, const std::string& line);

}

#endif
