// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_PCISCAN_H
#define CORVANE_PCISCAN_H

#include "deviceSource.h"
#include "hardware.h"

#include <functional>
#include <string>

class Registry;

// Reads the PCI branch of `registry` (SYSTEM\CurrentControlSet\Enum\PCI below
// localMachine): a record for every device instance that can be read, in the
// registry's order (the instances of each device key in theirs), with its
// class, manufacturer, description, friendly name, driver, location and
// Windows IDs, and its installed driver where the registry keeps the driver
// keys (controlClassPath; DeviceRecord::driverKeysRecorded). A branch that
// cannot be opened or enumerated raises flException; an instance whose keys
// cannot be read is left out.
// `deviceRead`, when given, is told each device key's name once its keys are
// read and closed.
DeviceRecords readPciBranch(Registry& registry,
                            const std::function<void(const std::string& deviceKey)>& deviceRead = {});

// The same, each record matched against `database`.
DeviceRecords scanPciRegistry(Registry& registry, const HardwareDatabase& database);

// The installed driver of a record whose driver key (DeviceRecord::driverKey)
// is known, read from the driver key it names; none where the key is
// missing or holds no driver.
void readInstalledDriver(Registry& registry, DeviceRecord& record);

#endif
