// SPDX-License-Identifier: GPL-2.0-or-later
// The whole loader: a devices.lst of any bytes, loaded from a file, then
// looked up with identifiers taken from it.
#include "flException.h"
#include "hardware.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string scratchFile()
{
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory ? directory : "/tmp") + "/corvane-fuzz-" + std::to_string(getpid()) + ".lst";
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = scratchFile();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    // The line count a plain reading of the bytes gives, after a leading
    // byte-order mark (not part of the first line).
    std::string text(reinterpret_cast<const char*>(data), size);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    std::size_t expectedLines = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        const bool hasLineFeed = end != std::string::npos;
        if (!hasLineFeed)
            end = text.size();
        std::size_t length = end - start;
        if (hasLineFeed && length > 0 && text[end - 1] == '\r')
            --length;
        expectedLines += length > 0;
        start = end + 1;
    }

    const HardwareDatabase database(path);
    if (database.size() != expectedLines)
        std::abort();
    // The identifiers of the first line are found, the very ones.
    const std::size_t lineFeed = text.find('\n');
    std::string firstLine = text.substr(0, lineFeed);
    if (lineFeed != std::string::npos && !firstLine.empty() && firstLine.back() == '\r')
        firstLine.pop_back();
    if (!firstLine.empty()) {
        const HardwareEntry first(firstLine);
        const HardwareEntry* found = database.find(first.vendorId, first.deviceId);
        if (!found || found->vendorId != first.vendorId || found->deviceId != first.deviceId)
            std::abort();
    }
    database.find("0x8086", "0x10D3");
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Every load writes a line feed to standard output.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}
