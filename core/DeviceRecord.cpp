// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceRecord.h"

#include "text.h"

#include <algorithm>

DeviceRecord::DeviceRecord(const char* keyName)
    : keyName(keyName ? keyName : ""), ids(PciIdentity::ofKeyName(this->keyName))
{
    entry.setIdsFromKeyName(keyName);
}

void DeviceRecord::matchDatabase(const HardwareDatabase& database)
{
    // The entry copied as find would find it, without the database keeping it.
    inDatabase = database.copyEntry(entry.getVendorId(), entry.getDeviceId(), entry);
    if (inDatabase)
        return;
    const auto inCapitals = [](const std::string& id) {  // devices.lst writes capitals after the 0x
        return "0x" + text::asciiUppered(std::string_view(id).substr(std::min<std::size_t>(2, id.size())));
    };
    const std::string vendorId = inCapitals(entry.vendorId);
    const std::string deviceId = inCapitals(entry.deviceId);
    if (vendorId != entry.vendorId || deviceId != entry.deviceId)
        inDatabase = database.copyEntry(vendorId, deviceId, entry);
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
