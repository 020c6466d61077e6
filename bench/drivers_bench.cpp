// SPDX-License-Identifier: GPL-2.0-or-later
// A folder of drivers matched against devices, as the programs will do it:
// every INF below STORE read into the index, then each device of DEVICES (a
// line each: hardware IDs, " | ", compatible IDs) answered. Prints what was
// found and the program's peak memory (its own, VmHWM: a parent's memory
// before the exec does not count); bench/drivers.sh times it against cat of
// the same INF files.
// Usage: drivers-bench STORE DEVICES
#include "driverFolder.h"
#include "flException.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Device = std::pair<std::vector<std::string>, std::vector<std::string>>;

std::vector<Device> readDevices(const char* path)
{
    std::vector<Device> devices;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        Device device;
        std::istringstream words(line);
        bool compatible = false;
        for (std::string word; words >> word;) {
            if (word == "|")
                compatible = true;
            else
                (compatible ? device.second : device.first).push_back(word);
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

// The peak resident memory of this process, in kB, or 0 where /proc does not say.
long peakMemory()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "Usage: drivers-bench STORE DEVICES\n");
        return 2;
    }
    const std::vector<Device> devices = readDevices(argv[2]);
    try {
        DriverFolders folders;
        folders.read(argv[1]);
        std::size_t fitting = 0, fits = 0;
        for (const Device& device : devices) {
            const DriverFits found = folders.fits(device.first, device.second);
            fitting += !found.best.empty();
            fits += found.best.size() + found.more;
        }
        std::printf("%zu INF files read, %zu skipped; %zu of %zu devices fit %zu drivers; peak %.1f MB\n",
                    folders.infFilesRead(), folders.filesSkipped(), fitting, devices.size(), fits,
                    static_cast<double>(peakMemory()) / 1024);
    } catch (const flException& failure) {
        std::fprintf(stderr, "%s\n", failure.message.c_str());
        return 1;
    }
    return 0;
}
