// SPDX-License-Identifier: GPL-2.0-or-later
#include "installedDriver.h"

#include "DeviceRecord.h"
#include "deviceOutline.h"
#include "text.h"

#include <algorithm>
#include <string_view>

namespace {

// The last name of a '/'- or '\'-separated path.
std::string_view fileNameOf(std::string_view path)
{
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// yyyy-mm-dd as yyyymmdd; 0 for none.
std::uint32_t dateNumber(const std::string& iso)
{
    if (iso.size() != 10)
        return 0;
    const auto number = text::decimalNumber(iso.substr(0, 4) + iso.substr(5, 2) + iso.substr(8, 2), 8);
    return number.value_or(0);
}

// w.x.y.z, 16 bits each, as DriverVer and DriverVersion write it; 0 for
// what is none (infFile.h's reading of DriverVer).
std::uint64_t versionNumber(std::string_view version)
{
    std::uint64_t number = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = std::min(version.find('.'), version.size());
        const auto value = version.empty() && part > 0 ? std::optional<std::uint32_t>(0)
                                                       : text::decimalNumber(version.substr(0, end), 5);
        if (!value || *value >= 65535)
            return 0;
        number = number << 16 | *value;
        version.remove_prefix(std::min(end + 1, version.size()));
    }
    return version.empty() ? number : 0;
}

// Where the installed driver's matching ID stands among the device's IDs
// (as Windows recorded them, else as it makes them), as an identifier
// score: the INF's line taken to name it as its hardware ID.
std::optional<std::uint32_t> matchingIdScore(const DeviceRecord& device, const std::string& matchingId)
{
    const auto position = [&matchingId](const std::vector<std::string>& ids) -> std::optional<std::uint32_t> {
        for (std::size_t at = 0; at < ids.size(); ++at)
            if (text::equalAsciiFolded(ids[at], matchingId))
                return static_cast<std::uint32_t>(std::min<std::size_t>(at, 0xFFF));
        return std::nullopt;
    };
    if (matchingId.empty())
        return std::nullopt;
    if (const auto hardware = position(device.hardwareIds()))
        return *hardware;
    if (const auto compatible = position(device.compatibleIds()))
        return 0x2000 + *compatible;
    return std::nullopt;
}

// Signed (Windows installed it), no feature score: what a rank made from the
// matching ID takes for the rest.
constexpr std::uint32_t assumedScores = 0x00FF0000;

// Whether a fit is the installed driver: the same INF (by name: a copy in
// Windows\INF, oemNN.inf, has the installed one's) or model, of the same
// version and date.
bool isInstalled(const DriverFit& fit, const InstalledDriver& driver)
{
    const bool sameInf = !driver.inf.empty() && text::equalAsciiFolded(fileNameOf(fit.inf), fileNameOf(driver.inf));
    const bool sameModel = !driver.description.empty() && fit.model == driver.description;
    return (sameInf || sameModel) && versionNumber(fit.driverVersion) == versionNumber(driver.version) &&
           dateNumber(fit.driverDate) == dateNumber(driver.date);
}

struct Ordering {
    std::optional<std::uint32_t> rank;
    std::uint32_t date;
    std::uint64_t version;
};

// Windows' order: the lower rank, then the newer date, then the higher
// version. Without the installed driver's rank, date and version alone.
bool chosenOver(const Ordering& a, const Ordering& b)
{
    if (a.rank && b.rank && *a.rank != *b.rank)
        return *a.rank < *b.rank;
    if (a.date != b.date)
        return a.date > b.date;
    return a.version > b.version;
}

Ordering orderingOf(const DriverFit& fit)
{
    return {fit.rank, dateNumber(fit.driverDate), versionNumber(fit.driverVersion)};
}

Ordering orderingOf(const InstalledDriver& driver, const std::optional<std::uint32_t>& rank)
{
    return {rank, dateNumber(driver.date), versionNumber(driver.version)};
}

// "100.100.0.0 (2024-01-10)", either alone, or "of unknown version".
std::string versionAndDate(const std::string& version, const std::string& date)
{
    if (version.empty() && date.empty())
        return "of unknown version";
    if (version.empty() || date.empty())
        return version.empty() ? date : version;
    return version + " (" + date + ")";
}

std::string rankLine(const DeviceRecord& device, const DriverComparison& compared)
{
    if (!compared.installedRank)
        return "Rank unknown: the ID it matched is none of the device's";
    const std::string words = rankWords(*compared.installedRank);
    const std::string rank = "Rank " + rankText(*compared.installedRank);
    switch (compared.rankFrom) {
    case RankMadeFrom::recorded:
        return rank + ", recorded by Windows: " + words;
    case RankMadeFrom::folderInf:
        return rank + ", of its INF in the folder (" + (*device.fits)[*compared.installedFit].inf + "): " + words;
    case RankMadeFrom::matchingId:
        return rank + ", made from the ID it matched (signed and no feature score taken): " + words;
    case RankMadeFrom::unknown:
        break;
    }
    return rank;
}

// The installed driver's rank and what it was made from, without the
// comparison's fits: where they are none, the folder has no say.
DriverComparison rankOf(const DeviceRecord& device, const std::vector<DriverFit>& fits)
{
    DriverComparison compared;
    const InstalledDriver& driver = *device.installedDriver;
    for (std::size_t at = 0; at < fits.size() && !compared.installedFit; ++at)
        if (isInstalled(fits[at], driver))
            compared.installedFit = at;
    if (device.driverRank) {
        compared.installedRank = device.driverRank;
        compared.rankFrom = RankMadeFrom::recorded;
    } else if (compared.installedFit) {
        compared.installedRank = fits[*compared.installedFit].rank;
        compared.rankFrom = RankMadeFrom::folderInf;
    } else if (const auto score = matchingIdScore(device, driver.matchingId)) {
        compared.installedRank = assumedScores | *score;
        compared.rankFrom = RankMadeFrom::matchingId;
    }
    return compared;
}

}

std::optional<DriverComparison> compareWithInstalled(const DeviceRecord& device)
{
    if (!device.fits || !device.installedDriver)
        return std::nullopt;
    const std::vector<DriverFit>& fits = *device.fits;
    DriverComparison compared = rankOf(device, fits);
    const Ordering installed = orderingOf(*device.installedDriver, compared.installedRank);
    // The best fit is what Windows would choose among the folder's: the
    // installed one itself, or one chosen over it, or nothing better.
    if (!fits.empty() && compared.installedFit != std::size_t(0) && chosenOver(orderingOf(fits.front()), installed))
        compared.betterFit = 0;
    return compared;
}

std::optional<DriverComparison> installedRankOf(const DeviceRecord& device)
{
    if (!device.installedDriver)
        return std::nullopt;
    static const std::vector<DriverFit> none;
    return rankOf(device, device.fits ? *device.fits : none);
}

bool hasBetterDriver(const DeviceRecord& device)
{
    const auto compared = compareWithInstalled(device);
    return compared && compared->betterFit;
}

FitStanding fitStanding(const DeviceRecord& device, const std::optional<DriverComparison>& compared, std::size_t fit)
{
    if (!compared || fit >= device.fits->size())
        return FitStanding::none;
    if (compared->installedFit == fit)
        return FitStanding::installed;
    const DriverFit& candidate = (*device.fits)[fit];
    const Ordering installed = orderingOf(*device.installedDriver, compared->installedRank);
    if (!chosenOver(orderingOf(candidate), installed))
        return FitStanding::none;
    const Ordering newer{std::nullopt, dateNumber(candidate.driverDate), versionNumber(candidate.driverVersion)};
    return chosenOver(newer, {std::nullopt, installed.date, installed.version}) ? FitStanding::newer
                                                                                : FitStanding::betterMatch;
}

std::vector<FitStanding> fitStandings(const DeviceRecord& device)
{
    std::vector<FitStanding> standings;
    if (!device.fits)
        return standings;
    const auto compared = compareWithInstalled(device);
    for (std::size_t fit = 0; fit < device.fits->size(); ++fit)
        standings.push_back(fitStanding(device, compared, fit));
    return standings;
}

std::string fitStandingWords(FitStanding standing)
{
    switch (standing) {
    case FitStanding::installed: return "installed";
    case FitStanding::newer: return "newer than installed";
    case FitStanding::betterMatch: return "better match than installed";
    case FitStanding::none: break;
    }
    return std::string();
}

std::string installedDriverLine(const InstalledDriver& driver)
{
    std::string line = "Installed driver: " + (driver.description.empty() ? driver.inf : driver.description);
    for (const std::string* fact : {&driver.version, &driver.date})
        if (!fact->empty())
            line += ", " + *fact;
    return line;
}

std::vector<std::string> installedDriverDetails(const DeviceRecord& device)
{
    std::vector<std::string> lines;
    if (!device.installedDriver)
        return lines;
    const InstalledDriver& driver = *device.installedDriver;
    if (!driver.provider.empty())
        lines.push_back("Provider: " + driver.provider);
    if (!driver.inf.empty())
        lines.push_back("INF: " + driver.inf + (driver.section.empty() ? "" : ", section " + driver.section));
    if (!driver.matchingId.empty())
        lines.push_back("Matched: " + driver.matchingId);
    lines.push_back(rankLine(device, *installedRankOf(device)));
    return lines;
}

std::optional<std::string> comparisonLine(const DeviceRecord& device)
{
    const auto compared = compareWithInstalled(device);
    if (!compared)
        return std::nullopt;
    if (!compared->betterFit)
        return std::string("The installed driver is the best there is");
    const DriverFit& better = (*device.fits)[*compared->betterFit];
    const InstalledDriver& installed = *device.installedDriver;
    return "Better than the installed driver: " + better.model + ", " +
           versionAndDate(better.driverVersion, better.driverDate) + "; installed " +
           versionAndDate(installed.version, installed.date);
}

std::string updateLineText(const DeviceRecord& device)
{
    const auto compared = compareWithInstalled(device);
    if (!compared || !compared->betterFit)
        return deviceLineText(device);
    const DriverFit& better = (*device.fits)[*compared->betterFit];
    const InstalledDriver& installed = *device.installedDriver;
    return deviceLineText(device) + " \u2014 installed " + versionAndDate(installed.version, installed.date) +
           ", better " + versionAndDate(better.driverVersion, better.driverDate);
}

std::string updatesVerdictOf(const std::vector<std::unique_ptr<DeviceRecord>>& devices)
{
    std::size_t compared = 0, better = 0;
    for (const auto& device : devices) {
        if (const auto comparison = compareWithInstalled(*device)) {
            ++compared;
            better += comparison->betterFit.has_value();
        }
    }
    if (compared == 0)  // Linux, an lspci dump, or no folder looked in
        return "No installed driver is known to compare the folder's drivers with";
    const std::size_t best = compared - better;
    const auto counted = [](std::size_t number, const char* one, const char* many) {
        return std::to_string(number) + (number == 1 ? one : many);
    };
    if (better == 0)
        return "No device would get a better driver from the folder" +
               (best ? ": " + counted(best, " device has", " devices have") + " the best there is" : std::string());
    return counted(better, "", "") + " of " + counted(devices.size(), " device", " devices") +
           " would get a better driver from the folder" +
           (best ? "; " + counted(best, " has", " have") + " the best there is" : std::string());
}

std::string installedDriversNotice(const std::vector<std::unique_ptr<DeviceRecord>>& devices)
{
    const bool windows = std::any_of(devices.begin(), devices.end(), [](const auto& device) {
        return device->recordedBy == RecordedBy::windowsRegistry;
    });
    const bool keys = std::any_of(devices.begin(), devices.end(),
                                  [](const auto& device) { return device->driverKeysRecorded; });
    if (!windows || keys)
        return std::string();
    return "The devices' installed drivers are not known: the file holds no driver keys (Control\\Class), as an "
           "export of Enum\\PCI alone does; an export of HKLM\\SYSTEM or a SYSTEM hive holds them.";
}
