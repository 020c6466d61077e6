// SPDX-License-Identifier: GPL-2.0-or-later
// The installed driver against the drivers a folder holds, as Windows would
// choose between them: the rank, then the date, then the version.
#include "DeviceRecord.h"
#include "deviceOutline.h"
#include "installedDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::string exact = "PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01";
const std::string generic = "PCI\\VEN_1AF4&DEV_1041";

DriverFit fit(const std::string& inf, const std::string& version, const std::string& date, std::uint32_t rank)
{
    return {inf, "drivers", "Red Hat VirtIO Ethernet Adapter", "Red Hat, Inc.", "Net", date, version, exact, rank,
            rank >> 24 == 0};
}

struct Case {
    const char* what;
    InstalledDriver installed;
    std::optional<std::uint32_t> recordedRank;
    std::vector<DriverFit> fits;
    std::string expected;  // the rank it is taken at, where from, and what each fit is against it
    bool better;
};

InstalledDriver netkvm(const std::string& version, const std::string& date, const std::string& matched = exact,
                       const std::string& inf = "oem3.inf")
{
    return {"Red Hat VirtIO Ethernet Adapter", "Red Hat, Inc.", date, version, inf, "kvmnet6.ndi", matched};
}

const char* from(RankMadeFrom made)
{
    switch (made) {
    case RankMadeFrom::recorded: return "recorded";
    case RankMadeFrom::folderInf: return "folder";
    case RankMadeFrom::matchingId: return "id";
    case RankMadeFrom::unknown: break;
    }
    return "unknown";
}

class Comparison : public testing::TestWithParam<Case> {};

TEST_P(Comparison, IsWindowsOrder)
{
    DeviceRecord device("VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01", "0");
    device.recordedHardwareIds = {exact, "PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4"};
    device.recordedCompatibleIds = {"PCI\\VEN_1AF4&DEV_1041&REV_01", generic};
    device.installedDriver = GetParam().installed;
    device.driverRank = GetParam().recordedRank;
    device.fits = GetParam().fits;
    const auto compared = compareWithInstalled(device);
    ASSERT_TRUE(compared);
    std::string said = (compared->installedRank ? rankText(*compared->installedRank) : "?") + " " +
                       from(compared->rankFrom) + ":";
    for (const FitStanding standing : fitStandings(device))
        said += " [" + fitStandingWords(standing) + "]";
    EXPECT_EQ(said, GetParam().expected);
    EXPECT_EQ(hasBetterDriver(device), GetParam().better);
    EXPECT_EQ(comparisonLine(device)->rfind(GetParam().better ? "Better than the installed driver: " : "The installed", 0),
              0u);
}

INSTANTIATE_TEST_SUITE_P(Installed, Comparison, testing::Values(
    Case{"OlderAtTheSameRank", netkvm("100.94.104.24000", "2024-01-09"), {},
         {fit("NetKVM/netkvm.inf", "100.101.26000.27200", "2026-07-22", 0x00FF0000)},
         "00ff0000 id: [newer than installed]", true},
    Case{"NewerThanTheFolders", netkvm("100.102.0.0", "2027-02-01"), {},
         {fit("NetKVM/netkvm.inf", "100.101.26000.27200", "2026-07-22", 0x00FF0000)}, "00ff0000 id: []", false},
    Case{"SameDateHigherVersion", netkvm("100.101.26000.27100", "2026-07-22"), {},
         {fit("NetKVM/netkvm.inf", "100.101.26000.27200", "2026-07-22", 0x00FF0000)},
         "00ff0000 id: [newer than installed]", true},
    // The same model, version and date under its oemNN.inf name: the installed package itself.
    Case{"SameDateAndVersion", netkvm("100.101.26000.27200", "2026-07-22"), {},
         {fit("NetKVM/netkvm.inf", "100.101.26000.27200", "2026-07-22", 0x00FF0000)}, "00ff0000 folder: [installed]",
         false},
    // Its own INF in the folder (found by name, version and date) gives its rank.
    Case{"ItsInfInTheFolder", netkvm("100.101.26000.27200", "2026-07-22", exact, "netkvm.inf"), {},
         {fit("NetKVM/netkvm.inf", "100.101.26000.27200", "2026-07-22", 0xFFFF0000),
          fit("old/netkvm.inf", "100.90.0.0", "2023-01-01", 0xFFFF0000)},
         "ffff0000 folder: [installed] []", false},
    // Another provider's, newer, matched on a compatible ID: the folder's exact match is chosen for its rank.
    Case{"BetterMatchThoughOlder", netkvm("3.1.0.0", "2027-05-01", generic, "oem9.inf"), {},
         {fit("NetKVM/netkvm.inf", "100.101.26000.27200", "2026-07-22", 0x00FF0000)},
         "00ff2001 id: [better match than installed]", true},
    // The rank Windows recorded stands; an unsigned package ranks behind it, however new.
    Case{"RecordedRankBeforeUnsigned", netkvm("100.94.104.24000", "2024-01-09"), 0x00FF0000u,
         {fit("NetKVM/netkvm.inf", "100.101.26000.27200", "2026-07-22", 0xFFFF0000)}, "00ff0000 recorded: []", false},
    // A matching ID that is none of the device's: the date and version alone.
    Case{"UnknownRank", netkvm("100.94.104.24000", "2024-01-09", "PCI\\VEN_1AF4&DEV_9999"), {},
         {fit("NetKVM/netkvm.inf", "100.101.26000.27200", "2026-07-22", 0xFFFF0000)},
         "? unknown: [newer than installed]", true},
    Case{"NoFit", netkvm("100.94.104.24000", "2024-01-09"), {}, {}, "00ff0000 id:", false}));

TEST(UpdatesVerdict, CountsWhatWasCompared)
{
    std::vector<std::unique_ptr<DeviceRecord>> devices;
    struct Installed {
        const char* version;
        const char* date;
        bool fits;
    };
    for (const Installed& installed : {Installed{"100.94.0.0", "2025-01-01", true}, {"100.103.0.0", "2027-01-01", true},
                                       {"1.0.0.0", "2025-01-01", false}}) {
        devices.push_back(std::make_unique<DeviceRecord>("VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01", "0"));
        devices.back()->recordedHardwareIds = {exact};
        devices.back()->installedDriver = netkvm(installed.version, installed.date);
        if (installed.fits)
            devices.back()->fits = {{fit("NetKVM/netkvm.inf", "100.101.26000.27200", "2026-07-22", 0x00FF0000)}};
    }
    EXPECT_EQ(updatesVerdictOf(devices), "1 of 3 devices would get a better driver from the folder; 1 has the best "
                                         "there is");
    EXPECT_EQ(updateLineText(*devices[0]), deviceLineText(*devices[0]) + " \u2014 installed 100.94.0.0 (2025-01-01), better 100.101.26000.27200 "
                                           "(2026-07-22)");
    devices.resize(1);
    devices[0]->fits.reset();
    EXPECT_EQ(updatesVerdictOf(devices), "No installed driver is known to compare the folder's drivers with");
}

}
