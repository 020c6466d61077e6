// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceOutline.h"

#include <algorithm>

std::string lineText(const std::string& text)
{
    return text.substr(0, text.find('\0'));
}

namespace {

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

}

std::optional<std::string> driverLine(const DeviceRecord& device)
{
    std::string line;
    switch (device.driverState) {
    case DriverState::unknown:
        return std::nullopt;
    case DriverState::bound:
        line = "Driver: " + device.driver;
        break;
    case DriverState::disabled:
        line = "Driver: " + device.driver + " (disabled)";
        break;
    case DriverState::notNeeded:
        line = "No driver needed";
        break;
    case DriverState::none:
        line = device.modules.empty() ? "No driver" : "No driver (modules: " + joined(device.modules) + ")";
        break;
    }
    if (device.problemCode)
        line += " (code " + std::to_string(*device.problemCode) + ")";
    return line;
}

DeviceMark markOf(const DeviceRecord& device)
{
    if (device.driverState == DriverState::none || device.problemCode)
        return DeviceMark::problem;
    if (device.driverState == DriverState::disabled)
        return DeviceMark::disabled;
    return device.inDatabase ? DeviceMark::none : DeviceMark::notInDatabase;
}

DeviceOutline outlineOf(const DeviceRecord& device)
{
    const HardwareEntry& entry = device.entry;
    DeviceOutline outline = {
        {0, device.description, markOf(device)},
        {1, "Windows"},
        {2, device.deviceClass},
        {2, device.manufacturer},
    };
    if (const auto driver = driverLine(device))
        outline.push_back({2, *driver});
    if (!device.location.empty())
        outline.push_back({2, "Location: " + device.location});
    outline.insert(outline.end(), {
        {1, "Database"},
        {2, entry.getVendorId()},
        {2, entry.getDeviceId()},
        {2, entry.getText1()},
        {2, entry.getText3()},  // the database's third text comes before its second
        {2, entry.getText2()},
    });
    for (OutlineLine& line : outline)
        line.text.resize(std::min(line.text.size(), line.text.find('\0')));  // as lineText, in place
    return outline;
}

void appendOutlineText(std::string& text, const DeviceOutline& outline)
{
    for (const OutlineLine& line : outline) {
        text.append(2 * static_cast<std::size_t>(line.depth), ' ');
        text += line.text;
        text += '\n';
    }
}
