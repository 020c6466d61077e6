// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceFields.h"

#include "deviceOutline.h"
#include "pciIdsReader.h"
#include "text.h"

#include <cstdio>

namespace {

// The identifiers of a key named VEN_vvvv&DEV_dddd&SUBSYS_ssssSSSS&REV_rr
// (SUBSYS: the subsystem, then its vendor), each where its part is there and
// well formed.
struct KeyIds {
    std::optional<std::uint16_t> vendor, device, subsystemVendor, subsystem;
    std::optional<std::uint8_t> revision;
};

std::optional<std::uint32_t> hexPart(std::string_view part, std::string_view prefix, std::size_t digits)
{
    if (part.size() != prefix.size() + digits || !text::startsWithAsciiFolded(part, text::asciiLowered(prefix)) ||
        !text::hasHexDigits(part.substr(prefix.size()), digits))
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : part.substr(prefix.size()))
        value = value * 16 + static_cast<std::uint32_t>(text::hexDigitValue(c));
    return value;
}

KeyIds idsOf(std::string_view name)
{
    KeyIds ids;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find('&', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (const auto vendor = hexPart(part, "VEN_", 4))
            ids.vendor = static_cast<std::uint16_t>(*vendor);
        else if (const auto device = hexPart(part, "DEV_", 4))
            ids.device = static_cast<std::uint16_t>(*device);
        else if (const auto subsystem = hexPart(part, "SUBSYS_", 8)) {
            ids.subsystem = static_cast<std::uint16_t>(*subsystem >> 16);
            ids.subsystemVendor = static_cast<std::uint16_t>(*subsystem & 0xFFFF);
        } else if (const auto revision = hexPart(part, "REV_", 2))
            ids.revision = static_cast<std::uint8_t>(*revision);
        start = end + 1;
    }
    return ids;
}

std::string hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

template <typename Number>
std::optional<std::string> hexOf(const std::optional<Number>& value, int digits)
{
    return value ? std::optional<std::string>(hex(*value, digits)) : std::nullopt;
}

// As `lspci -v` names a subsystem: its vendor's name and its own, or its
// device's where the subsystem is the device itself; numbers for what the
// list lacks. None for a device without one (both identifiers 0).
std::optional<std::string> subsystemName(const PciIdsNames& names, const KeyIds& ids)
{
    if (!ids.vendor || !ids.device || !ids.subsystemVendor || !ids.subsystem ||
        (*ids.subsystemVendor == 0 && *ids.subsystem == 0))
        return std::nullopt;
    const auto vendor = names.vendor(*ids.subsystemVendor);
    if (!vendor)
        return "Device " + hex(*ids.subsystemVendor, 4) + ":" + hex(*ids.subsystem, 4);
    auto name = names.subsystem(*ids.vendor, *ids.device, *ids.subsystemVendor, *ids.subsystem);
    if (!name && ids.subsystemVendor == ids.vendor && ids.subsystem == ids.device)
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

}

DeviceFields fieldsOf(const DeviceRecord& device, const PciIdsNames* names)
{
    const KeyIds ids = idsOf(device.keyName);
    DeviceFields fields;
    fields.key = text::validUtf8(device.keyName);
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
    fields.attention = device.needsAttention();
    if (device.inDatabase)
        fields.database = DeviceFields::Database{shown(device.entry.text1), shown(device.entry.text3),
                                                 shown(device.entry.text2)};
    if (names)
        if (const auto name = subsystemName(*names, ids))
            fields.subsystem = text::validUtf8(*name);
    return fields;
}
