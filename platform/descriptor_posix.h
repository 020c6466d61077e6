// SPDX-License-Identifier: GPL-2.0-or-later
// POSIX: the one owner of a file descriptor for the backends of this platform.
#ifndef CORVANE_DESCRIPTOR_POSIX_H
#define CORVANE_DESCRIPTOR_POSIX_H

#include <unistd.h>

#include <utility>

namespace platform {

// Closes the descriptor it holds (-1: none) when it goes; moved, never copied.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) noexcept : descriptor(descriptor) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : descriptor(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const noexcept { return descriptor; }
    bool valid() const noexcept { return descriptor >= 0; }
    // The descriptor handed over to another owner (a stream, say): not closed here.
    int release() noexcept { return std::exchange(descriptor, -1); }
    void reset(int replacement = -1) noexcept
    {
        if (descriptor >= 0)
            ::close(descriptor);
        descriptor = replacement;
    }
    // Closes it now, for a caller that wants close's own verdict (a written
    // file's last error shows there); false with errno set when it fails.
    bool close() noexcept { return ::close(release()) == 0; }

private:
    int descriptor;
};

}

#endif
