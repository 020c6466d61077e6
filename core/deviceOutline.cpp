// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceOutline.h"

#include "installedDriver.h"
#include "visibleText.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

std::string lineText(const std::string& text)
{
    return text.substr(0, text.find('\0'));
}

namespace {

// A text as every line of the outline shows it: up to its first zero byte,
// with what would act rather than show (a terminal's controls, a line feed
// that would forge a line) escaped visibly, for every form made from it.
std::string shownText(std::string_view text)
{
    return text::visibleText(text.substr(0, text.find('\0')));
}

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
    const bool unknown = !device.inDatabase;
    if (device.driverState == DriverState::none || device.problemCode)
        return unknown ? DeviceMark::problemNotInDatabase : DeviceMark::problem;
    if (device.driverState == DriverState::disabled)
        return unknown ? DeviceMark::disabledNotInDatabase : DeviceMark::disabled;
    return unknown ? DeviceMark::notInDatabase : DeviceMark::none;
}

std::string rankText(std::uint32_t rank)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(rank));
    return text;
}

std::string fitSummary(const DriverFit& fit)
{
    std::string summary = fit.model;
    for (const std::string* fact : {&fit.driverVersion, &fit.driverDate})
        if (!fact->empty())
            summary += ", " + *fact;
    return summary + (fit.signedPackage ? ", signed" : ", unsigned");
}

std::string fitLine(const DriverFit& fit, bool best, FitStanding standing)
{
    std::string line = (best ? "Best: " : "") + fitSummary(fit);
    const std::string versusInstalled = fitStandingWords(standing);
    if (!versusInstalled.empty())
        line += ", " + versusInstalled;
    return line + " \u2014 " + fit.inf;
}

std::vector<std::string> fitDetails(const DriverFit& fit)
{
    std::vector<std::string> lines;
    if (!fit.provider.empty())
        lines.push_back("Provider: " + fit.provider);
    lines.push_back("Rank " + rankText(fit.rank) + ": " + rankWords(fit.rank));
    lines.push_back("Matched: " + fit.matchedId);
    return lines;
}

std::string rankWords(std::uint32_t rank)
{
    const std::uint32_t signature = rank >> 24, feature = rank >> 16 & 0xFF;
    const std::uint32_t match = rank >> 12 & 0xF, position = rank & 0xFFF;
    std::string words = signature == 0 ? "signed" : "unsigned";
    words += feature == 0xFF ? ", no feature score" : ", feature score " + rankText(feature).substr(6);
    const std::string deviceId = (match < 2 ? "hardware ID " : "compatible ID ") +
                                 std::to_string((match == 3 ? position & 0xFF : position) + 1);
    const std::string infId = match == 0 || match == 2 ? "hardware ID"
                              : match == 1            ? "compatible ID"
                                                      : "compatible ID " + std::to_string((position >> 8) + 1);
    return words + ", the device's " + deviceId + " matched the INF's " + infId;
}

std::string deviceLineText(const DeviceRecord& device)
{
    std::string name = device.name().substr(0, device.name().find('\0'));
    if (!device.distinction.empty())
        name += " (" + device.distinction + ")";
    return shownText(name);
}

const char* recordedByName(RecordedBy recordedBy)
{
    switch (recordedBy) {
    case RecordedBy::linuxKernel: return "Linux";
    case RecordedBy::lspciDump: return "lspci";
    case RecordedBy::windowsRegistry: break;
    }
    return "Windows";
}

DeviceOutline outlineOf(const DeviceRecord& device)
{
    const HardwareEntry& entry = device.entry;
    DeviceOutline outline;
    outline.reserve(13);
    const auto add = [&outline](int depth, std::string_view text, DeviceMark mark = DeviceMark::none) {
        outline.push_back({depth, shownText(text), mark});
    };
    outline.push_back({0, deviceLineText(device), markOf(device)});
    add(1, recordedByName(device.recordedBy));
    add(2, device.deviceClass);
    add(2, device.manufacturer);
    if (const auto driver = driverLine(device))
        add(2, *driver);
    if (device.installedDriver) {
        add(2, installedDriverLine(*device.installedDriver));
        for (const std::string& detail : installedDriverDetails(device))
            add(3, detail);
    }
    if (!device.location.empty())
        add(2, "Location: " + device.location);
    add(1, "Database");
    add(2, entry.vendorId);
    add(2, entry.deviceId);
    add(2, entry.text1);
    add(2, entry.text3);  // the database's third text comes before its second
    add(2, entry.text2);
    if (device.fits) {
        add(1, "Drivers that fit");
        if (const auto comparison = comparisonLine(device))
            add(2, *comparison);
        const std::vector<FitStanding> standings = fitStandings(device);
        for (std::size_t at = 0; at < device.fits->size(); ++at) {
            const DriverFit& fit = (*device.fits)[at];
            add(2, fitLine(fit, at == 0, standings[at]));
            for (const std::string& detail : fitDetails(fit))  // opened below it
                add(3, detail);
        }
        if (device.fits->empty())
            add(2, device.infFilesSearched ? "None of the folder's drivers fits" : "The folder holds no INF files");
        if (device.moreFits)
            add(2, std::to_string(device.moreFits) + " more drivers fit; the best " + std::to_string(device.fits->size()) +
                       " are listed");
    }
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
