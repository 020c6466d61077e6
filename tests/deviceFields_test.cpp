// SPDX-License-Identifier: GPL-2.0-or-later
// The fields of the forms for scripts: identifiers from any key name, as
// far as it holds them, the driver's state by name, and the fits as the
// folder gave them with their standing by name.
#include "DeviceRecord.h"
#include "deviceFields.h"
#include "installedDriver.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Text = std::optional<std::string>;

struct KeyCase {
    const char* key;
    Text vendor, device, subsystemVendor, subsystem, revision;
};

class KeyName : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyName, GivesTheIdentifiersItHolds)
{
    const KeyCase& c = GetParam();
    const DeviceFields fields = fieldsOf(DeviceRecord(c.key, "0"), nullptr);
    EXPECT_EQ(fields.vendorId, c.vendor);
    EXPECT_EQ(fields.deviceId, c.device);
    EXPECT_EQ(fields.subsystemVendorId, c.subsystemVendor);
    EXPECT_EQ(fields.subsystemId, c.subsystem);
    EXPECT_EQ(fields.revision, c.revision);
    EXPECT_EQ(fields.subsystem, std::nullopt);  // no pci.ids at hand
}

INSTANTIATE_TEST_SUITE_P(Fields, KeyName, testing::Values(
    KeyCase{"VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "8086", "10d3", "8086", "a01f", "00"},
    KeyCase{"ven_10de&dev_1E84&subsys_c7271458&rev_a1", "10de", "1e84", "1458", "c727", "a1"},
    KeyCase{"VEN_8086&DEV_10D3", "8086", "10d3", std::nullopt, std::nullopt, std::nullopt},
    KeyCase{"VEN_80&DEV_10D3X&SUBSYS_zz&REV_1", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    KeyCase{"VEN_8086&&REV_03&DEV_1234&SUBSYS_00000000", "8086", "1234", "0000", "0000", "03"},
    KeyCase{"", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}));

TEST(Fields, DriverStatesByName)
{
    DeviceRecord device("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "0");
    const std::pair<DriverState, const char*> states[] = {
        {DriverState::bound, "bound"}, {DriverState::disabled, "disabled"}, {DriverState::notNeeded, "not_needed"},
        {DriverState::none, "none"}, {DriverState::unknown, "unknown"}};
    device.driver = "e1000e";
    for (const auto& [state, name] : states) {
        device.driverState = state;
        const DeviceFields fields = fieldsOf(device, nullptr);
        EXPECT_STREQ(fields.driverState, name);
        const bool named = state == DriverState::bound || state == DriverState::disabled;
        EXPECT_EQ(fields.driver, named ? Text("e1000e") : std::nullopt) << name;
    }
}

TEST(Fields, FitsAreTheFoldersWithTheirStandingByName)
{
    DeviceRecord device("VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01", "0");
    EXPECT_EQ(fieldsOf(device, nullptr).fits, std::nullopt);  // no folder looked in
    device.installedDriver = InstalledDriver{"Adapter", "Red Hat", "2024-01-01", "1.0.0.0", "oem3.inf", "s", ""};
    device.driverRank = 0x00FF0000;
    const auto fit = [](std::string model, std::string date, std::string version, std::uint32_t rank) {
        return DriverFit{"a/netkvm.inf", "/d", std::move(model), "Red Hat", "Net", std::move(date), std::move(version),
                         "PCI\\VEN_1AF4&DEV_1041", rank, true, {"pack.zip"}};
    };
    device.fits = std::vector<DriverFit>{fit("Newer \xff", "2025-01-01", "2.0.0.0", 0x00FF0000),
                                         fit("Adapter", "2024-01-01", "1.0.0.0", 0x00FF0000),
                                         fit("Worse", "", "", 0xFFFF0000)};
    const DeviceFields fields = fieldsOf(device, nullptr);
    ASSERT_TRUE(fields.fits);
    ASSERT_EQ(fields.fits->size(), 3u);
    const std::vector<Text> standings = {"newer", "installed", std::nullopt};
    for (std::size_t at = 0; at < 3; ++at) {
        const DeviceFields::Fit& shown = (*fields.fits)[at];
        const DriverFit& given = (*device.fits)[at];
        EXPECT_EQ(shown.versusInstalled, standings[at]) << at;
        EXPECT_EQ(std::tie(shown.inf, shown.folder, shown.driverDate, shown.driverVersion, shown.matchedId, shown.rank,
                           shown.signedPackage, shown.archives),
                  std::tie(given.inf, given.folder, given.driverDate, given.driverVersion, given.matchedId, given.rank,
                           given.signedPackage, given.archives))
            << at;
    }
    EXPECT_EQ(fields.fits->front().model, "Newer \xEF\xBF\xBD");  // made UTF-8
    EXPECT_EQ(fields.betterDriver, std::optional<bool>(true));
}

}
