// SPDX-License-Identifier: GPL-2.0-or-later
// The device-file layer: a file of any bytes given as another machine's
// devices, read as the programs read it (a registry export, an lspci dump
// through libpci, or neither) and, when it is read, scanned. A file that is
// refused is refused by a report that names it; what a file that is read
// says is shown without a character that would act on a terminal.
#include "deviceFile.h"
#include "deviceOutline.h"
#include "flException.h"
#include "hardware.h"
#include "pciScan.h"
#include "visibleText.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string scratch(const char* suffix)
{
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory ? directory : "/tmp") + "/corvane-fuzz-" + std::to_string(getpid()) + suffix;
}

const HardwareDatabase& database()
{
    static const HardwareDatabase loaded = [] {
        const std::string path = scratch(".lst");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file)
            std::abort();
        std::fputs("\"0x8086\",\"0x10D3\",\"Intel\",\"\",\"82574L\"\n", file);
        std::fclose(file);
        return HardwareDatabase(path, false);
    }();
    return loaded;
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = scratch(".devices");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    DeviceFile read;
    try {
        read = readDeviceFile(path);
    } catch (const flException& failure) {
        if (!failure.userFacing || failure.message.find(path) == std::string::npos)
            std::abort();  // the user is told which file
        return 0;
    }
    if (!read.source)
        std::abort();  // read means a registry to scan
    // A failure here would be the program's.
    for (const auto& device : readDevices(*read.source, database()))
        for (const OutlineLine& line : outlineOf(*device))
            if (text::visibleText(line.text) != line.text)
                std::abort();  // shown as is, it would hold a control, or no UTF-8
    return 0;
}
