// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVERREADING_H
#define CORVANE_DRIVERREADING_H

// Folders of drivers read on a thread of their own while the window shows
// the devices: the window looks at its progress when it likes and takes the
// folders once read. Touches no toolkit. Its end stops the reading and
// waits only for the file being read.
#include "driverFolder.h"
#include "windowsTarget.h"

#include <atomic>
#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class DriverReading {
public:
    DriverReading(std::vector<std::string> folders, const WindowsTarget& target);
    ~DriverReading();
    DriverReading(const DriverReading&) = delete;
    DriverReading& operator=(const DriverReading&) = delete;

    bool done() const { return finished.load(std::memory_order_acquire); }
    // INF files read of those found so far.
    std::size_t filesRead() const { return read.load(std::memory_order_relaxed); }
    std::size_t filesFound() const { return found.load(std::memory_order_relaxed); }
    // Once done: the folders read; their failure (flException) goes on from here.
    std::unique_ptr<DriverFolders> take();
    // Until done.
    void wait();

private:
    void run(const std::vector<std::string>& folders);

    std::unique_ptr<DriverFolders> result;
    std::exception_ptr failure;
    std::atomic<bool> stop{false}, finished{false};
    std::atomic<std::size_t> read{0}, found{0};
    std::thread thread;
};

#endif
