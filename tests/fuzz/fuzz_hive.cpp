// SPDX-License-Identifier: GPL-2.0-or-later
// The registry hive path: a file of any bytes read as the programs read a
// device file, then scanned. The first byte says whether the base block's
// checksum is set right first, so that most changes get past it to libhivex;
// the rest is the file. Any outcome but a crash, a hang or a leak is fine:
// the file reads, or it is an error that names it.
#include "deviceFile.h"
#include "flException.h"
#include "pciScan.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string scratchPath(const char* suffix)
{
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory ? directory : "/tmp") + "/corvane-fuzz-" + std::to_string(getpid()) + suffix;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0)
        std::abort();
}

void fixChecksum(std::string& bytes)
{
    if (bytes.size() < 512 || bytes.compare(0, 4, "regf") != 0)
        return;
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < 0x1FC; ++at)
        sum ^= std::uint32_t{static_cast<unsigned char>(bytes[at])} << (8 * (at % 4));
    for (std::size_t i = 0; i < 4; ++i)
        bytes[0x1FC + i] = static_cast<char>(sum >> (8 * i));
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (bytes.compare(0, 4, "regf") != 0)
        return 0;  // the other kinds have fuzz targets of their own
    if (data[0] & 1)
        fixChecksum(bytes);
    static const std::string path = scratchPath(".hive");
    static const std::string database = [] {
        const std::string empty = scratchPath(".lst");
        writeFile(empty, "");
        return empty;
    }();
    writeFile(path, bytes);
    try {
        const DeviceFile file = readDeviceFile(path);
        const HardwareDatabase noNames(database, false);
        readDevices(*file.source, noNames);
        noticeOf(path, file);
    } catch (const flException& failure) {
        if (failure.message.find(path) == std::string::npos)
            std::abort();  // every error of the file names it
    }
    return 0;
}
