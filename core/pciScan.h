// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_PCISCAN_H
#define CORVANE_PCISCAN_H

#include "DeviceRecord.h"
#include "hardware.h"

#include <memory>
#include <vector>

class Registry;

// Reads the PCI branch of `registry` (SYSTEM\CurrentControlSet\Enum\PCI below
// localMachine): a record for every device key that can be read, in the
// registry's order, matched against `database`, with the class, manufacturer
// and description of the device's first instance. A branch that cannot be
// opened or enumerated raises flException; a device whose keys cannot be read
// is left out.
std::vector<std::unique_ptr<DeviceRecord>> scanPciRegistry(Registry& registry, const HardwareDatabase& database);

#endif
