// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_REGISTRY_LIBPCI_H
#define CORVANE_REGISTRY_LIBPCI_H

#include "registry_tree.h"

#include <string>
#include <utility>

// Linux: answers for the PCI branch below localMachine from libpci, the way
// Windows lays it out. Device keys are named
// VEN_vvvv&DEV_dddd&SUBSYS_ssssSSSS&REV_rr; each function is an instance
// sub-key named after its address ("0000:00:1f.3"), holding "Class", "Mfg"
// (when the vendor is known) and "DeviceDesc" (driver;device name, when the
// device is known). The bus (or a dump of one) is read when the branch is
// first opened. Names
// come from the pci.ids that libpci is set to read, looked up there without
// reading all of it, and from libpci's other sources where the list has none.
class LibpciRegistry : public Registry {
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

    LibpciRegistry() = default;
    explicit LibpciRegistry(Options options) : options(std::move(options)) {}
    // The devices of an lspci dump instead of the bus.
    LibpciRegistry(Options options, std::string dumpPath)
        : options(std::move(options)), dumpPath(std::move(dumpPath))
    {
    }

    long openKey(Key parent, const char* subKey, Key* result) override;
    long enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize) override;
    long queryValue(Key key, const char* valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* dataSize) override;
    long closeKey(Key key) override;

    bool recordsDrivers() const override { return dumpPath.empty(); }

    // What libpci said when reading the bus failed last.
    std::string lastError() const override { return error; }

private:
    bool load();

    Options options;
    std::string dumpPath;
    KeyTreeRegistry tree;
    bool loaded = false;
    std::string error;
};

#endif
