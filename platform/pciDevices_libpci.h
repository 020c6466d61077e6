// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_PCIDEVICES_LIBPCI_H
#define CORVANE_PCIDEVICES_LIBPCI_H

#include "deviceSource.h"

#include <string>
#include <utility>

// Linux: the PCI functions libpci reads, from the bus or from an lspci dump,
// made records from libpci's own numbers: one a function, in bus order, known
// by its address. Each says what libpci and the kernel know of it: class and
// vendor names, the device's name ("unknown value" when no source knows it),
// the bound driver or, without one, the modules that could drive it, and the
// address as `lspci -D` prints it. Names come from the pci.ids that libpci is
// set to read, looked up there without reading all of it, and from libpci's
// other sources where the list has none.
class LibpciDevices : public DeviceSource {
public:
    struct Options {
        Options(std::string sysfsPath = {}, std::string idsPath = {}, bool useHwdb = true)
            : sysfsPath(std::move(sysfsPath)), idsPath(std::move(idsPath)), useHwdb(useHwdb)
        {
        }
        std::string sysfsPath;    // empty: libpci's own choice of access method
        std::string idsPath;      // empty: libpci's pci.ids
        bool useHwdb;             // names from udev's hardware database too
        // Where the kernel's modules are looked up for a function without a
        // driver: empty, the running kernel's; a directory of module indexes
        // and a modprobe configuration of aliases (tests).
        std::string modulesDirectory;
        std::string modulesConfig;
    };

    LibpciDevices();
    explicit LibpciDevices(Options options);
    // The devices of an lspci dump instead of the bus: it records no drivers.
    LibpciDevices(Options options, std::string dumpPath);

    // The records, or false with libpci's words in lastError().
    bool tryRead(DeviceRecords& records);
    const std::string& lastError() const { return error; }

protected:
    // Raises flException with libpci's words when libpci fails.
    DeviceRecords read() override;

private:
    Options options;
    std::string dumpPath;
    std::string error;
};

#endif
