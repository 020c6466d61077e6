#ifndef CORVANE_TESTS_FAKESYSFS_H
#define CORVANE_TESTS_FAKESYSFS_H

#include "TempDir.h"

#include <string>

// A sysfs PCI tree and a pci.ids of our own, for the libpci backend.
struct FakeFunction {
    const char* address;  // "0000:00:1f.3"
    unsigned vendor, device, subsystemVendor, subsystemDevice, revision, classCode;  // classCode: 0xCCSSPP
    const char* driver;   // null: none bound
};

class FakeSysfs {
public:
    FakeSysfs();
    void add(const FakeFunction& function);
    std::string sysfsPath() const { return dir.file("sys"); }
    std::string idsPath() const { return dir.file("pci.ids"); }

private:
    TempDir dir;
};

#endif
