// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceRecord.h"

#include "text.h"

DeviceRecord::DeviceRecord(const char* keyName)
    : keyName(keyName ? keyName : ""), ids(PciIdentity::ofKeyName(this->keyName))
{
    entry.setIdsFromKeyName(keyName);
}

void DeviceRecord::matchDatabase(const HardwareDatabase& database)
{
    // The entry copied as find would find it, without the database keeping it.
    inDatabase = database.copyEntry(entry.getVendorId(), entry.getDeviceId(), entry);
    const std::string vendorId = "0x" + text::asciiUppered(entry.vendorId.substr(2));
    const std::string deviceId = "0x" + text::asciiUppered(entry.deviceId.substr(2));
    if (!inDatabase && (vendorId != entry.vendorId || deviceId != entry.deviceId))
        inDatabase = database.copyEntry(vendorId, deviceId, entry);  // devices.lst writes capitals
}

std::vector<std::string> DeviceRecord::hardwareIds() const
{
    return recordedHardwareIds.empty() ? windowsHardwareIds(ids) : recordedHardwareIds;
}

std::vector<std::string> DeviceRecord::compatibleIds() const
{
    return recordedCompatibleIds.empty() ? windowsCompatibleIds(ids) : recordedCompatibleIds;
}

std::vector<AttentionReason> DeviceRecord::attentionReasons() const
{
    std::vector<AttentionReason> reasons;
    if (driverState == DriverState::none)
        reasons.push_back(AttentionReason::noDriver);
    if (driverState == DriverState::disabled)
        reasons.push_back(AttentionReason::disabled);
    if (problemCode)
        reasons.push_back(AttentionReason::problem);
    if (!inDatabase)
        reasons.push_back(AttentionReason::notInDatabase);
    return reasons;
}
