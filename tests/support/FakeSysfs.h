// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TESTS_FAKESYSFS_H
#define CORVANE_TESTS_FAKESYSFS_H

#include "TempDir.h"
#include "platform/pciDevices_libpci.h"

#include <string>

// A sysfs PCI tree and a pci.ids of our own, for the libpci backend.
struct FakeFunction {
    const char* address;  // "0000:00:1f.3"
    unsigned vendor, device, subsystemVendor, subsystemDevice, revision, classCode;  // classCode: 0xCCSSPP
    const char* driver;   // null: none bound
    const char* modalias = nullptr;  // the kernel's "pci:v...d..." of the function
};

class FakeSysfs {
public:
    FakeSysfs();
    void add(const FakeFunction& function);
    // A module that drives what matches `pattern` ("pci:v00001234d*"), as
    // the kernel's module aliases say.
    void addModuleAlias(const std::string& pattern, const std::string& module);
    std::string sysfsPath() const { return dir.file("sys"); }
    std::string idsPath() const { return dir.file("pci.ids"); }
    // The backend on this bus, its list and its modules alone.
    LibpciDevices::Options options() const;

private:
    TempDir dir;
};

#endif
