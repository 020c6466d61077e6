// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_PCISCAN_H
#define CORVANE_PCISCAN_H

#include "deviceSource.h"
#include "hardware.h"

#include <functional>
#include <string>

class Registry;

// Reads the PCI branch of `registry` (SYSTEM\CurrentControlSet\Enum\PCI below
// localMachine): a record for every device key that can be read, in the
// registry's order, with the class, manufacturer, description, driver,
// location and Windows IDs of the device's first instance. A branch that
// cannot be opened or enumerated raises flException; a device whose keys
// cannot be read is left out.
// `deviceRead`, when given, is told each device key's name once its keys are
// read and closed.
DeviceRecords readPciBranch(Registry& registry,
                            const std::function<void(const std::string& deviceKey)>& deviceRead = {});

// The same, each record matched against `database`.
DeviceRecords scanPciRegistry(Registry& registry, const HardwareDatabase& database);

#endif
