// SPDX-License-Identifier: GPL-2.0-or-later
// The .reg reader: a file of any bytes, recognised or not, read in two
// pieces split where the fuzzer says, then scanned as the program scans it.
// Both splits must give the same registry.
#include "pciScan.h"
#include "regExport.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The kept tree as text, to compare two readings: a walk with a list of
// open keys, not recursion, as keys may lie 512 levels deep.
void describe(KeyTreeRegistry& registry, std::string& out)
{
    struct Level {
        Registry::Key key;
        std::uint32_t next;
    };
    std::vector<Level> levels{{Registry::localMachine, 0}};
    while (!levels.empty()) {
        Level& level = levels.back();
        char name[256];
        if (registry.enumKey(level.key, level.next++, name, sizeof name) != 0) {
            if (level.key != Registry::localMachine)
                registry.closeKey(level.key);
            levels.pop_back();
            continue;
        }
        Registry::Key sub = 0;
        if (registry.openKey(level.key, name, &sub) != 0)
            std::abort();  // an enumerated key opens
        out += std::to_string(levels.size()) + ":" + name + "\n";  // depth and name: the path, cheaply
        for (const char* value : {"Class", "Mfg", "DeviceDesc", ""}) {
            unsigned char data[64];
            std::uint32_t size = sizeof data;
            const long status = registry.queryValue(sub, value, nullptr, data, &size);
            out += std::to_string(status) + ":" + std::to_string(size) + "\n";
        }
        levels.push_back({sub, 0});
    }
}

std::string emptyDatabase()
{
    const char* directory = std::getenv("TMPDIR");
    const std::string path = std::string(directory ? directory : "/tmp") + "/corvane-fuzz-" +
                             std::to_string(getpid()) + ".lst";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    std::fclose(file);
    return path;
}

std::string readWhole(std::string_view bytes, std::size_t split, std::size_t& skipped)
{
    const auto encoding = RegExportReader::recognise(bytes);
    if (!encoding)
        return "none";
    RegExportReader reader(*encoding);
    reader.read(bytes.substr(0, split));
    reader.read(bytes.substr(split));
    reader.finish();
    skipped = reader.skippedLines();
    if (!reader.hasPciBranch())
        return "no branch";
    auto registry = reader.takeRegistry();
    std::string out;
    describe(*registry, out);
    if (registry->openHandleCount() != 0)
        std::abort();
    static const std::string empty = emptyDatabase();
    const HardwareDatabase database(empty, false);
    std::vector<std::unique_ptr<DeviceRecord>> devices;
    devices = scanPciRegistry(*registry, database);
    return out;
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = bytes.empty() ? 0 : data[0] % (bytes.size() + 1);
    std::size_t skippedWhole = 0, skippedSplit = 0;
    if (readWhole(bytes, bytes.size(), skippedWhole) != readWhole(bytes, split, skippedSplit) ||
        skippedWhole != skippedSplit)
        std::abort();
    return 0;
}
