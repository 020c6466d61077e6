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

TEST(FitLine, SaysTheFileTheModelAndWhatTellsItApart)
{
    EXPECT_EQ(fitLine(fit("Red Hat, Inc.", "2026-07-22", "100.101.104.28600", false)),
              "NetKVM/netkvm.inf: Red Hat VirtIO Ethernet Adapter (Red Hat, Inc., 2026-07-22, 100.101.104.28600; "
              "rank 00ff2001, unsigned)");
    EXPECT_EQ(fitLine(fit("", "", "", true)), "NetKVM/netkvm.inf: Red Hat VirtIO Ethernet Adapter (rank 00ff2001)");
    EXPECT_EQ(fitLine(fit("", "", "1.2.3.4", true)),
              "NetKVM/netkvm.inf: Red Hat VirtIO Ethernet Adapter (1.2.3.4; rank 00ff2001)");
}

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
              (std::vector<std::string>{"  Drivers that fit", "    None of the folder's drivers fits"}));
    device.fits->push_back(fit("Red Hat, Inc.", "", "", true));
    device.fits->push_back(fit("Other\x1b[2J", "", "", true));  // what an INF says never acts on a terminal
    EXPECT_EQ(driverGroup(device), (std::vector<std::string>{
                                       "  Drivers that fit",
                                       "    NetKVM/netkvm.inf: Red Hat VirtIO Ethernet Adapter (Red Hat, Inc.; rank 00ff2001)",
                                       "    NetKVM/netkvm.inf: Red Hat VirtIO Ethernet Adapter (Other\\x1b[2J; rank 00ff2001)"}));
}

}
