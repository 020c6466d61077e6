#ifndef CORVANE_UPDATER_PCIIDS_H
#define CORVANE_UPDATER_PCIIDS_H

#include <string>
#include <vector>

// Turns the PCI ID Repository's list (pci.ids) into devices.lst: one line per
// vendor and device, "0xVVVV","0xDDDD","vendor","pci.ids VERSION","device".
struct Conversion {
    std::string devicesList;            // the new devices.lst
    int vendors = 0;
    int devices = 0;
    int linesChanged = 0;               // lines in which a '"' became a '\''
    std::string version;                // from the list's "Version:" comment
    std::vector<std::string> problems;  // "line N: ..." for each line skipped as malformed
};

Conversion convertPciIds(const std::string& list);

// The whole file, gzip-compressed or not; false with a reason when it cannot be read.
bool readListFile(const std::string& path, std::string& contents, std::string& error);

#endif
