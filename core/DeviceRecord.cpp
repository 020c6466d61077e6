// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceRecord.h"

DeviceRecord::DeviceRecord(const char* keyName) : keyName(keyName ? keyName : "")
{
    entry.setIdsFromKeyName(keyName);
}

void DeviceRecord::matchDatabase(const HardwareDatabase& database)
{
    // The entry copied as find would find it, without the database keeping it.
    if (database.copyEntry(entry.getVendorId(), entry.getDeviceId(), entry))
        inDatabase = true;
}

bool DeviceRecord::needsAttention() const
{
    return !inDatabase || driverState == DriverState::none || driverState == DriverState::disabled ||
           problemCode.has_value();
}
