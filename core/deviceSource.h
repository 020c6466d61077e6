// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICESOURCE_H
#define CORVANE_DEVICESOURCE_H

#include "DeviceRecord.h"
#include "files.h"
#include "registry.h"

#include <memory>
#include <string>
#include <vector>

class HardwareDatabase;

using DeviceRecords = std::vector<std::unique_ptr<DeviceRecord>>;

// Where a machine's PCI devices are read from: this machine's system, or a
// file another machine recorded them in. Each source fills the records in its
// own terms: what is shaped like the Windows registry through the scan of its
// PCI branch (a record per device instance), libpci (the bus, an lspci dump)
// from its own data (a record per function).
class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    // Every device, in the source's order, its database line not yet looked
    // up; read anew at each call. Devices that would show the same name are
    // told apart (DeviceRecord::distinction). Raises flException when the
    // devices cannot be listed.
    DeviceRecords readDevices();
    // The devices for a caller that reads them this once (a file listed or
    // shown): a source holding devices read earlier hands them over rather
    // than copies, and holds none afterwards. Others read them as readDevices.
    DeviceRecords takeDevices();

protected:
    virtual DeviceRecords read() = 0;
    virtual DeviceRecords take() { return read(); }
};

class KeyTreeRegistry;

// The devices of a registry's PCI branch (pciScan.h).
class RegistryDevices : public DeviceSource {
public:
    explicit RegistryDevices(Registry& registry) : registry(registry) {}
    // One the source owns: a hive's.
    explicit RegistryDevices(std::unique_ptr<Registry> owned) : owned(std::move(owned)), registry(*this->owned) {}
    // A file's registry held in memory: each device's keys are let go as soon
    // as they are read when the devices are taken, the records taking the
    // place of the registry.
    explicit RegistryDevices(std::unique_ptr<KeyTreeRegistry> file);

protected:
    DeviceRecords read() override;
    DeviceRecords take() override;

private:
    KeyTreeRegistry* tree = nullptr;  // the owned registry, where it is a file's held in memory
    std::unique_ptr<Registry> owned;
    Registry& registry;
};

// Devices read once, when their file was opened, handed out as they were read.
class RecordedDevices : public DeviceSource {
public:
    explicit RecordedDevices(DeviceRecords records) : records(std::move(records)) {}

protected:
    DeviceRecords read() override;  // copies
    DeviceRecords take() override;

private:
    DeviceRecords records;
};

// Where functions of `devices` would show the same name, each gets what
// tells it apart: its location, or where that is shared too its identity.
void tellApartSameNames(DeviceRecords& devices);

// Looks every device up in `database`, as one scan's lookups: many devices
// have every line indexed first, and the file is confirmed unchanged once
// they are done (an flException when another program wrote it meanwhile).
void matchDatabase(const DeviceRecords& devices, const HardwareDatabase& database);

// Finds, for every device, the drivers of `folders` that fit it.
class DriverFolders;
void matchDrivers(const DeviceRecords& devices, const DriverFolders& folders);

// The devices of `source`, matched against `database`.
DeviceRecords readDevices(DeviceSource& source, const HardwareDatabase& database);
// The same, handed over (DeviceSource::takeDevices).
DeviceRecords takeDevices(DeviceSource& source, const HardwareDatabase& database);

// This machine's devices: libpci's on Linux, the registry's on Windows.
DeviceSource& systemDevices();

// The devices of an lspci dump, read now from `file`, opened and checked as
// `path`; null where this platform reads no dumps (Windows has no libpci).
// Raises flException naming the file when libpci cannot read it.
std::unique_ptr<DeviceSource> lspciDumpDevices(const platform::OpenedFile& file, const std::string& path);

#endif
