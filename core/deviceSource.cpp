// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceSource.h"

#include "driverFolder.h"
#include "pciScan.h"
#include "registry_tree.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

DeviceRecords DeviceSource::readDevices()
{
    DeviceRecords devices = read();
    tellApartSameNames(devices);
    return devices;
}

DeviceRecords DeviceSource::takeDevices()
{
    DeviceRecords devices = take();
    tellApartSameNames(devices);
    return devices;
}

RegistryDevices::RegistryDevices(std::unique_ptr<KeyTreeRegistry> file)
    : tree(file.get()), owned(std::move(file)), registry(*owned)
{
}

DeviceRecords RegistryDevices::read()
{
    return readPciBranch(registry);
}

DeviceRecords RegistryDevices::take()
{
    if (!tree)
        return read();
    KeyTreeRegistry::Node* branch = nullptr;  // found once the scan has opened it
    return readPciBranch(registry, [this, &branch](const std::string& deviceKey) {
        if (!branch)
            branch = &tree->addKey(pciBranchPath);
        if (KeyTreeRegistry::Node* device = branch->subKey(deviceKey))
            device->clear();
    });
}

DeviceRecords RecordedDevices::read()
{
    DeviceRecords copies;
    copies.reserve(records.size());
    for (const auto& record : records)
        copies.push_back(std::make_unique<DeviceRecord>(*record));
    return copies;
}

DeviceRecords RecordedDevices::take()
{
    return std::exchange(records, DeviceRecords());
}

namespace {

// Gives the functions of one name what tells each apart: its location, or
// where another of them has that location too, its identity.
void tellApart(const std::vector<DeviceRecord*>& named)
{
    std::unordered_map<std::string_view, std::size_t> locations;
    for (const DeviceRecord* device : named)
        ++locations[device->location];
    for (DeviceRecord* device : named) {
        const bool ownLocation = !device->location.empty() && locations[device->location] == 1;
        device->distinction = ownLocation ? device->location : device->identity();
    }
}

}

void tellApartSameNames(DeviceRecords& devices)
{
    // By name, in the source's order within a name: a sorted list rather than
    // a table, as a file may hold hundreds of thousands of devices.
    std::vector<DeviceRecord*> byName;
    byName.reserve(devices.size());
    for (const auto& device : devices)
        byName.push_back(device.get());
    std::stable_sort(byName.begin(), byName.end(),
                     [](const DeviceRecord* a, const DeviceRecord* b) { return a->name() < b->name(); });
    for (auto first = byName.begin(); first != byName.end();) {
        const auto last = std::find_if(first, byName.end(), [first](const DeviceRecord* device) {
            return device->name() != (*first)->name();
        });
        if (last - first > 1)
            tellApart(std::vector<DeviceRecord*>(first, last));
        first = last;
    }
}

void matchDatabase(const DeviceRecords& devices, const HardwareDatabase& database)
{
    database.expectLookups(devices.size());
    for (const auto& device : devices)
        device->matchDatabase(database);
    database.confirmUnchanged();
}

void matchDrivers(const DeviceRecords& devices, const DriverFolders& folders)
{
    for (const auto& device : devices) {
        DriverFits found = folders.fits(device->hardwareIds(), device->compatibleIds());
        device->fits = std::move(found.best);
        device->moreFits = found.more;
        device->infFilesSearched = folders.infFilesRead();
    }
}

DeviceRecords readDevices(DeviceSource& source, const HardwareDatabase& database)
{
    DeviceRecords devices = source.readDevices();
    matchDatabase(devices, database);
    return devices;
}

DeviceRecords takeDevices(DeviceSource& source, const HardwareDatabase& database)
{
    DeviceRecords devices = source.takeDevices();
    matchDatabase(devices, database);
    return devices;
}
