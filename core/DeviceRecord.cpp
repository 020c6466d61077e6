// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceRecord.h"

#include <utility>

DeviceRecord::DeviceRecord(std::string keyName, const std::string& instanceName)
    : keyName(std::move(keyName)), ids(PciIdentity::ofKeyName(this->keyName))
{
    instanceId = "PCI\\" + this->keyName + "\\" + instanceName;
    // The database's identifiers from the numbers; where the name holds no
    // number, its own characters at the places Windows writes them.
    entry.setIdsFromKeyName(this->keyName.c_str());
    if (ids.vendor)
        entry.vendorId = databaseId(*ids.vendor);
    if (ids.device)
        entry.deviceId = databaseId(*ids.device);
}

DeviceRecord::DeviceRecord(const PciIdentity& ids, const PciAddress& address, RecordedBy recordedBy)
    : address(address), recordedBy(recordedBy), ids(ids)
{
    entry.vendorId = ids.vendor ? databaseId(*ids.vendor) : "0x";
    entry.deviceId = ids.device ? databaseId(*ids.device) : "0x";
}

void DeviceRecord::matchDatabase(const HardwareDatabase& database)
{
    // The entry copied as find would find it, without the database keeping it.
    inDatabase = ids.vendor && ids.device && database.copyEntry(*ids.vendor, *ids.device, entry);
}

std::string DeviceRecord::identity() const
{
    if (!instanceId.empty())
        return instanceId;
    return address ? address->text() : std::string();
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
