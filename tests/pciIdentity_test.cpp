// SPDX-License-Identifier: GPL-2.0-or-later
// A device's numbers from its key's name and its recorded IDs, and the IDs
// Windows makes of them.
#include "pciIdentity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ids = std::vector<std::string>;

PciIdentity full()
{
    PciIdentity ids;
    ids.vendor = 0x8086;
    ids.device = 0x10d3;
    ids.subsystemVendor = 0x8086;
    ids.subsystem = 0xa01f;
    ids.revision = 0x00;
    ids.classId = 0x0200;
    ids.programmingInterface = 0x00;
    return ids;
}

TEST(PciIdentity, WindowsIdsOfAFunctionWhoseNumbersAreAllKnown)
{
    EXPECT_EQ(windowsHardwareIds(full()), (Ids{"PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00",
                                               "PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086",
                                               "PCI\\VEN_8086&DEV_10D3&CC_020000", "PCI\\VEN_8086&DEV_10D3&CC_0200"}));
    EXPECT_EQ(windowsCompatibleIds(full()),
              (Ids{"PCI\\VEN_8086&DEV_10D3&REV_00", "PCI\\VEN_8086&DEV_10D3", "PCI\\VEN_8086&CC_020000",
                   "PCI\\VEN_8086&CC_0200", "PCI\\VEN_8086", "PCI\\CC_020000", "PCI\\CC_0200"}));
}

// What a source cannot give is left out, never guessed.
struct MissingCase {
    const char* name;
    void (*drop)(PciIdentity&);
    Ids hardware, compatible;
};

class MissingNumbers : public testing::TestWithParam<MissingCase> {};

TEST_P(MissingNumbers, LeaveTheirIdsOut)
{
    PciIdentity ids = full();
    GetParam().drop(ids);
    EXPECT_EQ(windowsHardwareIds(ids), GetParam().hardware);
    EXPECT_EQ(windowsCompatibleIds(ids), GetParam().compatible);
}

INSTANTIATE_TEST_SUITE_P(Ids, MissingNumbers, testing::Values(
    MissingCase{"NoClassCode", [](PciIdentity& ids) { ids.classId.reset(); ids.programmingInterface.reset(); },
                {"PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086"},
                {"PCI\\VEN_8086&DEV_10D3&REV_00", "PCI\\VEN_8086&DEV_10D3", "PCI\\VEN_8086"}},
    MissingCase{"NoInterface", [](PciIdentity& ids) { ids.programmingInterface.reset(); },
                {"PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086",
                 "PCI\\VEN_8086&DEV_10D3&CC_0200"},
                {"PCI\\VEN_8086&DEV_10D3&REV_00", "PCI\\VEN_8086&DEV_10D3", "PCI\\VEN_8086&CC_0200", "PCI\\VEN_8086",
                 "PCI\\CC_0200"}},
    MissingCase{"NoSubsystem", [](PciIdentity& ids) { ids.subsystem.reset(); },
                {"PCI\\VEN_8086&DEV_10D3&CC_020000", "PCI\\VEN_8086&DEV_10D3&CC_0200"},
                {"PCI\\VEN_8086&DEV_10D3&REV_00", "PCI\\VEN_8086&DEV_10D3", "PCI\\VEN_8086&CC_020000",
                 "PCI\\VEN_8086&CC_0200", "PCI\\VEN_8086", "PCI\\CC_020000", "PCI\\CC_0200"}},
    MissingCase{"NoDevice", [](PciIdentity& ids) { ids.device.reset(); }, {},
                {"PCI\\VEN_8086&CC_020000", "PCI\\VEN_8086&CC_0200", "PCI\\VEN_8086", "PCI\\CC_020000", "PCI\\CC_0200"}},
    MissingCase{"NothingButTheClass", [](PciIdentity& ids) { ids = PciIdentity(); ids.classId = 0x0c03; },
                {}, {"PCI\\CC_0C03"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct KeyNameCase {
    const char* name;
    const char* keyName;
    std::optional<std::uint16_t> vendor, device, subsystemVendor, subsystem;
    std::optional<std::uint8_t> revision;
};

class KeyNames : public testing::TestWithParam<KeyNameCase> {};

TEST_P(KeyNames, GiveTheNumbersTheyHold)
{
    const PciIdentity ids = PciIdentity::ofKeyName(GetParam().keyName);
    EXPECT_EQ(ids.vendor, GetParam().vendor);
    EXPECT_EQ(ids.device, GetParam().device);
    EXPECT_EQ(ids.subsystemVendor, GetParam().subsystemVendor);
    EXPECT_EQ(ids.subsystem, GetParam().subsystem);
    EXPECT_EQ(ids.revision, GetParam().revision);
    EXPECT_FALSE(ids.classId);  // no key name holds it
}

INSTANTIATE_TEST_SUITE_P(Names, KeyNames, testing::Values(
    KeyNameCase{"Windows", "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", 0x8086, 0x10d3, 0x8086, 0xa01f, 0x00},
    KeyNameCase{"SmallLetters", "ven_8086&dev_a2a3&subsys_0001abcd&rev_ff", 0x8086, 0xa2a3, 0xabcd, 0x0001, 0xff},
    KeyNameCase{"VendorAndDeviceOnly", "VEN_1AF4&DEV_1041", 0x1af4, 0x1041, std::nullopt, std::nullopt, std::nullopt},
    KeyNameCase{"MalformedParts", "VEN_80&DEV_XYZW&SUBSYS_1&REV_0", std::nullopt, std::nullopt, std::nullopt,
                std::nullopt, std::nullopt},
    KeyNameCase{"Empty", "", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PciIdentity, TheClassCodeComesFromRecordedIds)
{
    PciIdentity ids;
    ids.takeClassCode({"PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "PCI\\VEN_8086&DEV_10D3&CC_0200"});
    EXPECT_EQ(ids.classId, 0x0200);
    EXPECT_FALSE(ids.programmingInterface);
    ids.takeClassCode({"PCI\\CC_0C0330", "PCI\\CC_0C03"});  // the longer form tells the interface too
    EXPECT_EQ(ids.classId, 0x0c03);
    EXPECT_EQ(ids.programmingInterface, 0x30);
    PciIdentity none;
    none.takeClassCode({"PCI\\VEN_8086&CC_02", "PCI\\CC_0200XY", "ACPI\\PNP0A08"});
    EXPECT_FALSE(none.classId);
}

}
