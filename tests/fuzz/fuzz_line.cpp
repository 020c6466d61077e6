// SPDX-License-Identifier: GPL-2.0-or-later
// devices.lst line splitting: any bytes, never outside the line.
#include "hardware.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const HardwareEntry entry(line);
    const auto fields = splitLine(line);
    const std::string* made[] = {&entry.vendorId, &entry.deviceId, &entry.text1, &entry.text2, &entry.text3};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        // Each field is a piece of the line itself, and the entry holds it.
        if (!fields[i].empty() &&
            (fields[i].data() < line.data() || fields[i].data() + fields[i].size() > line.data() + line.size()))
            std::abort();
        if (*made[i] != fields[i])
            std::abort();
        // Only the last field may run on past a quote... none may hold one.
        if (fields[i].find('"') != std::string_view::npos)
            std::abort();
    }
    return 0;
}
