// SPDX-License-Identifier: GPL-2.0-or-later
// The device outline's group of drivers that fit, and how a fit is said.
#include "deviceOutline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DriverFit fit(std::string provider, std::string date, std::string version, bool signedPackage)
{
    return DriverFit{"NetKVM/netkvm.inf", "/mnt/drivers", "Red Hat VirtIO Ethernet Adapter", std::move(provider),
                     "Net", std::move(date), std::move(version), "PCI\\VEN_1AF4&DEV_1041", 0xff2001, signedPackage};
}

TEST(FitLine, LeadsWithWhatDecidesAndEndsWithTheFile)
{
    EXPECT_EQ(fitLine(fit("Red Hat, Inc.", "2026-07-22", "100.101.104.28600", false), true),
              "Best: Red Hat VirtIO Ethernet Adapter, 100.101.104.28600, 2026-07-22, unsigned \u2014 NetKVM/netkvm.inf");
    EXPECT_EQ(fitLine(fit("", "", "", true), false), "Red Hat VirtIO Ethernet Adapter, signed \u2014 NetKVM/netkvm.inf");
    EXPECT_EQ(fitLine(fit("", "", "1.2.3.4", true), false),
              "Red Hat VirtIO Ethernet Adapter, 1.2.3.4, signed \u2014 NetKVM/netkvm.inf");
    EXPECT_EQ(fitLine(fit("", "2026-07-22", "", true), true, FitStanding::betterMatch),
              "Best: Red Hat VirtIO Ethernet Adapter, 2026-07-22, signed, better match than installed \u2014 "
              "NetKVM/netkvm.inf");
    EXPECT_EQ(fitDetails(fit("Red Hat, Inc.", "", "", true)),
              (std::vector<std::string>{"Provider: Red Hat, Inc.",
                                        "Rank 00ff2001: signed, no feature score, the device's compatible ID 2 "
                                        "matched the INF's hardware ID",
                                        "Matched: PCI\\VEN_1AF4&DEV_1041"}));
    EXPECT_EQ(fitDetails(fit("", "", "", true)).front().rfind("Rank ", 0), 0u);  // no provider, no line
}

// Windows' rank, 0xSSGGTHHH, in words: the signature, the feature score, and
// which of the device's IDs matched which of the INF's.
struct RankCase {
    std::uint32_t rank;
    const char* words;
};

class RankWords : public testing::TestWithParam<RankCase> {};

TEST_P(RankWords, SayWhatTheRankIsMadeOf)
{
    EXPECT_EQ(rankWords(GetParam().rank), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(Ranks, RankWords, testing::Values(
    RankCase{0x00ff0000, "signed, no feature score, the device's hardware ID 1 matched the INF's hardware ID"},
    RankCase{0xff001001, "unsigned, feature score 00, the device's hardware ID 2 matched the INF's compatible ID"},
    RankCase{0x00ff2001, "signed, no feature score, the device's compatible ID 2 matched the INF's hardware ID"},
    RankCase{0x00803102, "signed, feature score 80, the device's compatible ID 3 matched the INF's compatible ID 2"}));

// The group's lines below the device's, as the tree and the text show them.
std::vector<std::string> driverGroup(const DeviceRecord& device)
{
    std::vector<std::string> lines;
    bool inGroup = false;
    for (const OutlineLine& line : outlineOf(device)) {
        if (line.depth == 1)
            inGroup = line.text == "Drivers that fit";
        if (inGroup)
            lines.push_back(std::string(2 * line.depth, ' ') + line.text);
    }
    return lines;
}

TEST(DriverGroup, IsThereOnlyWhenAFolderWasLookedIn)
{
    DeviceRecord device("VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01", "0");
    EXPECT_EQ(driverGroup(device), std::vector<std::string>{});
    device.fits.emplace();
    EXPECT_EQ(driverGroup(device),
              (std::vector<std::string>{"  Drivers that fit", "    The folder holds no INF files"}));
    device.infFilesSearched = 3;
    EXPECT_EQ(driverGroup(device),
              (std::vector<std::string>{"  Drivers that fit", "    None of the folder's drivers fits"}));
    device.fits->push_back(fit("Red Hat, Inc.", "", "", true));
    device.fits->push_back(fit("Other\x1b[2J", "", "", true));  // what an INF says never acts on a terminal
    const std::string rank = "      Rank 00ff2001: signed, no feature score, the device's compatible ID 2 matched the INF's hardware ID";
    EXPECT_EQ(driverGroup(device), (std::vector<std::string>{
                                       "  Drivers that fit",
                                       "    Best: Red Hat VirtIO Ethernet Adapter, signed \u2014 NetKVM/netkvm.inf",
                                       "      Provider: Red Hat, Inc.", rank, "      Matched: PCI\\VEN_1AF4&DEV_1041",
                                       "    Red Hat VirtIO Ethernet Adapter, signed \u2014 NetKVM/netkvm.inf",
                                       "      Provider: Other\\x1b[2J", rank, "      Matched: PCI\\VEN_1AF4&DEV_1041"}));
}

}
