// POSIX: opened without waiting (a FIFO would wait for a writer), then kept
// only when it is a regular file.
#include "inputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

InputFile::~InputFile()
{
    if (handle >= 0)
        close(static_cast<int>(handle));
}

InputFile::Status InputFile::open(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return Status::cannotOpen;
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        // A directory cannot be read, as for devices.lst; the rest is no file.
        return S_ISDIR(status.st_mode) || status.st_mode == 0 ? Status::cannotOpen : Status::notRegular;
    }
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    handle = descriptor;
    return Status::open;
}

long long InputFile::read(char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t count = ::read(static_cast<int>(handle), buffer, size);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}
