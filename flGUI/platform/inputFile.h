#ifndef CORVANE_INPUTFILE_H
#define CORVANE_INPUTFILE_H

#include <cstddef>
#include <cstdint>
#include <string>

// A file the user named, read from start to end. Only a regular file is
// read: a FIFO or a device given as a file would block or never end, and
// its open must not wait for a writer either. Paths are UTF-8 on every
// platform. One implementation per platform.
class InputFile {
public:
    enum class Status { open, cannotOpen, notRegular };

    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    Status open(const std::string& path);
    // Up to `size` bytes into `buffer`: their number, 0 at the end, -1 when reading fails.
    long long read(char* buffer, std::size_t size);

private:
    std::intptr_t handle = -1;
};

#endif
