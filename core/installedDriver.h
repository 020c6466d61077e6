// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_INSTALLEDDRIVER_H
#define CORVANE_INSTALLEDDRIVER_H

// The driver Windows installed for a device, as the device's driver key
// (Control\Class\{class}\NNNN, which its "Driver" value names) records it,
// and how it stands against the drivers a folder holds: Windows chooses,
// among the drivers that fit, the lowest rank, then the newest date, then
// the highest version (driverFolder.h).
#include "driverFit.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DeviceRecord;

struct InstalledDriver {
    std::string description;  // DriverDesc
    std::string provider;     // ProviderName
    std::string date;         // DriverDateData (else DriverDate) as yyyy-mm-dd; empty when neither reads as one
    std::string version;      // DriverVersion, as recorded
    std::string inf;          // InfPath: oemNN.inf, or the INF's own name for Windows' own drivers
    std::string section;      // InfSection
    std::string matchingId;   // MatchingDeviceId: the device's ID the driver was chosen by
};

// Where the installed driver's rank comes from.
enum class RankMadeFrom {
    recorded,    // Windows recorded it
    folderInf,   // its INF is in the folder: the rank of that fit
    matchingId,  // made from where its matching ID stands among the device's IDs
    unknown,     // none of these: its matching ID is none of the device's
};

// How a device's installed driver stands against the drivers that fit it.
struct DriverComparison {
    std::optional<std::uint32_t> installedRank;
    RankMadeFrom rankFrom = RankMadeFrom::unknown;
    std::optional<std::size_t> installedFit;  // the fit that is the installed driver, where the folder holds it
    // The fit Windows would choose over the installed driver (the best
    // one); none: the installed driver is the best there is.
    std::optional<std::size_t> betterFit;
};

// None where there is nothing to compare: no folder was looked in, or no
// installed driver is known.
std::optional<DriverComparison> compareWithInstalled(const DeviceRecord& device);
// The installed driver's rank and what it comes from, with or without a
// folder (its fits found, the installed one among them where it is there);
// none where no installed driver is known.
std::optional<DriverComparison> installedRankOf(const DeviceRecord& device);

// Whether the device would get a better driver from the folder.
bool hasBetterDriver(const DeviceRecord& device);

// What a fit is against the installed driver (FitStanding). `compared` is
// compareWithInstalled(device).
FitStanding fitStanding(const DeviceRecord& device, const std::optional<DriverComparison>& compared, std::size_t fit);
// Each of the device's fits against the installed driver, in their order;
// empty where no folder was looked in.
std::vector<FitStanding> fitStandings(const DeviceRecord& device);
// As a fit's line says it: "installed", "newer than installed", "better
// match than installed"; empty for none.
std::string fitStandingWords(FitStanding standing);

// The installed driver's line: "Installed driver: Red Hat VirtIO Ethernet
// Adapter, 100.100.0.0, 2024-01-10"; its details are installedDriverDetails.
std::string installedDriverLine(const InstalledDriver& driver);
// "Provider: ...", "INF: oem3.inf, section kvmnet6.ndi", "Matched: ...",
// and its rank in words, each a line.
std::vector<std::string> installedDriverDetails(const DeviceRecord& device);
// What the comparison comes to, for the fits' group: "Better than the
// installed driver: ..., 100.101.26000.27200 (2026-07-22); installed
// 100.100.0.0 (2024-01-10)" or "The installed driver is the best there is";
// none when nothing is compared.
std::optional<std::string> comparisonLine(const DeviceRecord& device);

// The device line of the view of the devices that would get a better
// driver: its text, then the installed version and the better one side by
// side ("... — installed 100.100.0.0 (2024-01-10), better 100.101.26000.27200
// (2026-07-22)"); the better one's INF is its fit's line.
std::string updateLineText(const DeviceRecord& device);

// What the comparison comes to of a machine's devices, in one line: "2 of 36
// devices would get a better driver from the folder; 3 have the best there
// is"; where the source keeps no installed drivers, that it keeps none.
std::string updatesVerdictOf(const std::vector<std::unique_ptr<DeviceRecord>>& devices);

// Said once of a machine whose source is a Windows registry that keeps no
// driver keys (an export of Enum\PCI alone): that its devices' installed
// drivers are not known. Empty otherwise.
std::string installedDriversNotice(const std::vector<std::unique_ptr<DeviceRecord>>& devices);

#endif
