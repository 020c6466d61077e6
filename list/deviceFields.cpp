// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceFields.h"

#include "deviceOutline.h"
#include "installedDriver.h"
#include "pciIdsReader.h"
#include "text.h"


namespace {

std::string hex(unsigned value, int digits)
{
    return text::hex(value, digits, text::HexCase::small);
}

template <typename Number>
std::optional<std::string> hexOf(const std::optional<Number>& value, int digits)
{
    return value ? std::optional<std::string>(hex(*value, digits)) : std::nullopt;
}

// As `lspci -v` names a subsystem: its vendor's name and its own, or, where
// the list does not name it below its device, the device's name; numbers for
// what the list lacks. None for a device without one (both identifiers 0).
std::optional<std::string> subsystemName(const PciIdsNames& names, const PciIdentity& ids)
{
    if (!ids.vendor || !ids.device || !ids.subsystemVendor || !ids.subsystem ||
        (*ids.subsystemVendor == 0 && *ids.subsystem == 0))
        return std::nullopt;
    const auto vendor = names.vendor(*ids.subsystemVendor);
    if (!vendor)
        return "Device " + hex(*ids.subsystemVendor, 4) + ":" + hex(*ids.subsystem, 4);
    auto name = names.subsystem(*ids.vendor, *ids.device, *ids.subsystemVendor, *ids.subsystem);
    if (!name)
        name = names.device(*ids.vendor, *ids.device);
    return std::string(*vendor) + " " + (name ? std::string(*name) : "Device " + hex(*ids.subsystem, 4));
}

std::string shown(const std::string& value)
{
    return text::validUtf8(lineText(value));
}

const char* stateName(DriverState state)
{
    switch (state) {
    case DriverState::bound: return "bound";
    case DriverState::disabled: return "disabled";
    case DriverState::notNeeded: return "not_needed";
    case DriverState::none: return "none";
    case DriverState::unknown: break;
    }
    return "unknown";
}

std::optional<std::string> unlessEmpty(const std::string& text)
{
    return text.empty() ? std::nullopt : std::optional<std::string>(text::validUtf8(text));
}

const char* standingName(FitStanding standing)
{
    switch (standing) {
    case FitStanding::installed: return "installed";
    case FitStanding::newer: return "newer";
    case FitStanding::betterMatch: return "better_match";
    case FitStanding::none: break;
    }
    return nullptr;
}

const char* rankFromName(RankMadeFrom from)
{
    switch (from) {
    case RankMadeFrom::recorded: return "recorded";
    case RankMadeFrom::folderInf: return "folder_inf";
    case RankMadeFrom::matchingId: return "matching_id";
    case RankMadeFrom::unknown: break;
    }
    return nullptr;
}

DeviceFields::Installed installedOf(const InstalledDriver& driver, const std::optional<DriverComparison>& compared)
{
    DeviceFields::Installed fields;
    fields.description = shown(driver.description);
    fields.provider = shown(driver.provider);
    fields.inf = shown(driver.inf);
    fields.section = shown(driver.section);
    fields.matchingId = text::validUtf8(driver.matchingId);
    fields.driverDate = unlessEmpty(driver.date);
    fields.driverVersion = unlessEmpty(lineText(driver.version));
    if (compared && compared->installedRank) {
        fields.rank = rankText(*compared->installedRank);
        fields.rankFrom = rankFromName(compared->rankFrom);
    }
    return fields;
}

DeviceFields::Fit fitOf(const DriverFit& fit, FitStanding standing)
{
    DeviceFields::Fit fields{fit, {}};
    for (std::string* text : {&fields.inf, &fields.folder, &fields.model, &fields.provider, &fields.infClass,
                              &fields.driverDate, &fields.driverVersion, &fields.matchedId})
        *text = text::validUtf8(*text);
    for (std::string& archive : fields.archives)
        archive = text::validUtf8(archive);
    if (const char* name = standingName(standing))
        fields.versusInstalled = name;
    return fields;
}

const char* reasonName(AttentionReason reason)
{
    switch (reason) {
    case AttentionReason::noDriver: return "no_driver";
    case AttentionReason::disabled: return "disabled";
    case AttentionReason::problem: return "problem";
    case AttentionReason::notInDatabase: break;
    }
    return "not_in_database";
}

}

DeviceFields fieldsOf(const DeviceRecord& device, const PciIdsNames* names)
{
    const PciIdentity& ids = device.ids;
    DeviceFields fields;
    if (device.address)
        fields.address = device.address->text();
    if (!device.instanceId.empty())
        fields.instanceId = text::validUtf8(device.instanceId);
    // The registry's key where one was recorded; elsewhere what tells the function apart.
    fields.key = device.keyName.empty() ? fields.address.value_or(std::string()) : text::validUtf8(device.keyName);
    fields.vendorId = hexOf(ids.vendor, 4);
    fields.deviceId = hexOf(ids.device, 4);
    fields.subsystemVendorId = hexOf(ids.subsystemVendor, 4);
    fields.subsystemId = hexOf(ids.subsystem, 4);
    fields.revision = hexOf(ids.revision, 2);
    // The texts as the tree shows them, made UTF-8 whatever a registry held.
    fields.description = shown(device.description);
    fields.deviceClass = shown(device.deviceClass);
    fields.manufacturer = shown(device.manufacturer);
    if (device.driverState == DriverState::bound || device.driverState == DriverState::disabled)
        fields.driver = text::validUtf8(device.driver);
    fields.driverState = stateName(device.driverState);
    fields.problemCode = device.problemCode;
    for (const std::string& module : device.modules)
        fields.modules.push_back(text::validUtf8(module));
    if (!device.location.empty())
        fields.location = shown(device.location);
    if (!device.friendlyName.empty())
        fields.friendlyName = shown(device.friendlyName);
    for (const AttentionReason reason : device.attentionReasons())
        fields.attentionReasons.push_back(reasonName(reason));
    fields.attention = !fields.attentionReasons.empty();
    if (device.inDatabase)
        fields.database = DeviceFields::Database{shown(device.entry.text1), shown(device.entry.text3),
                                                 shown(device.entry.text2)};
    if (names)
        if (const auto name = subsystemName(*names, ids))
            fields.subsystem = text::validUtf8(*name);
    for (const std::string& id : device.hardwareIds())
        fields.hardwareIds.push_back(text::validUtf8(id));
    for (const std::string& id : device.compatibleIds())
        fields.compatibleIds.push_back(text::validUtf8(id));
    if (device.fits) {
        const std::vector<FitStanding> standings = fitStandings(device);
        fields.fits.emplace();
        for (std::size_t at = 0; at < device.fits->size(); ++at)
            fields.fits->push_back(fitOf((*device.fits)[at], standings[at]));
        fields.moreFits = device.moreFits;
    }
    if (device.installedDriver)
        fields.installedDriver = installedOf(*device.installedDriver, installedRankOf(device));
    if (const auto compared = compareWithInstalled(device))
        fields.betterDriver = compared->betterFit.has_value();
    return fields;
}
