// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_REGISTRY_LIBPCI_H
#define CORVANE_REGISTRY_LIBPCI_H

#include "registry.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Linux: answers for the PCI branch below localMachine from libpci, the way
// Windows lays it out. Device keys are named
// VEN_vvvv&DEV_dddd&SUBSYS_ssssSSSS&REV_rr; each function is an instance
// sub-key named after its address ("0000:00:1f.3"), holding "Class", "Mfg"
// (when the vendor is known) and "DeviceDesc" (driver;device name, when the
// device is known), "Service" (the bound driver), "Modules" (the modules that
// could drive a function without one) and "LocationInformation" (the
// address). The bus (or a dump of one) is read when the branch is first
// opened; keys and values are then answered from the functions read, not
// copied into a tree, so that a machine of thousands of functions costs
// little more than libpci's reading of it. Names come from the pci.ids that
// libpci is set to read, looked up there without reading all of it, and from
// libpci's other sources where the list has none.
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

    LibpciRegistry();
    explicit LibpciRegistry(Options options);
    // The devices of an lspci dump instead of the bus.
    LibpciRegistry(Options options, std::string dumpPath);
    ~LibpciRegistry() override;
    LibpciRegistry(const LibpciRegistry&) = delete;
    LibpciRegistry& operator=(const LibpciRegistry&) = delete;

    long openKey(Key parent, const char* subKey, Key* result) override;
    long enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize) override;
    long queryValue(Key key, const char* valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* dataSize) override;
    long closeKey(Key key) override;

    bool recordsDrivers() const override { return dumpPath.empty(); }

    // What libpci said when reading the bus failed last.
    std::string lastError() const override { return error; }

private:
    struct Bus;  // the functions read, and their device keys
    // What an open key stands for: a key on the branch's path (depth 0 is
    // localMachine, pciBranchDepth the branch), a device key below it, or one
    // of the device's instances below that.
    struct Place {
        std::size_t depth = 0;
        std::size_t device = 0;
        std::size_t instance = 0;
    };

    bool load();
    bool placeOf(Key key, Place& place) const;
    bool descend(Place& place, std::string_view name) const;

    Options options;
    std::string dumpPath;
    std::unique_ptr<const Bus> bus;  // once read
    std::vector<std::pair<Key, Place>> openKeys;  // few at a time
    Key nextHandle = 0x1000;
    std::string error;
};

#endif
