// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_UPDATER_PCIIDS_H
#define CORVANE_UPDATER_PCIIDS_H

#include "hardware.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Turns the PCI ID Repository's list (pci.ids) into devices.lst: one line per
// vendor and device, "0xVVVV","0xDDDD","vendor","pci.ids VERSION","device",
// the texts with their control characters escaped (visibleText.h).
struct Conversion {
    std::string devicesList;            // the new devices.lst
    int vendors = 0;
    int devices = 0;
    int linesChanged = 0;               // lines in which a '"' became a '\''
    std::string version;                // from the list's "Version:" comment, as the list has it
    std::size_t malformedLines = 0;     // skipped
    std::vector<std::string> problems;  // "line N: ..." for the first maxProblemsKept of them
    static constexpr std::size_t maxProblemsKept = 1000;
    // The lines would make a devices.lst larger than the program reads
    // (every device line holds its vendor's name again): nothing was converted.
    bool tooLarge = false;
    static constexpr std::uint64_t maxDevicesListBytes = HardwareDatabase::maxFileBytes;

    // Whether the input was a pci.ids at all: it names at least one device,
    // and its malformed lines are no more than its vendor and device lines.
    // Anything else (devices.lst given for the list, an empty file, a
    // text of another kind) would make an empty or a bogus database.
    bool isPciIds() const
    {
        return devices > 0 && malformedLines <= static_cast<std::size_t>(vendors) + static_cast<std::size_t>(devices);
    }
};

Conversion convertPciIds(const std::string& list);

// The whole file, gzip-compressed or not; false with a reason when it cannot
// be read, also when compressed data end before the end of their stream (a
// download cut short) and when its text exceeds PciIdsLimits.
bool readListFile(const std::string& path, std::string& contents, std::string& error);

#endif
