// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceRecord.h"
#include "TempDir.h"
#include "deviceOutline.h"

#include <gtest/gtest.h>

namespace {

struct MatchCase {
    const char* name;
    const char* database;
    const char* keyName;
    std::vector<std::string> entry;  // vendorId, deviceId, text1, text2, text3
};

class Matching : public testing::TestWithParam<MatchCase> {};

TEST_P(Matching, CopiesTheFirstMatchingEntry)
{
    TempDir dir;
    testing::internal::CaptureStdout();
    const HardwareDatabase database(dir.write("devices.lst", GetParam().database));
    testing::internal::GetCapturedStdout();

    DeviceRecord record(GetParam().keyName, "0");
    EXPECT_EQ(record.deviceClass, "");
    EXPECT_EQ(record.manufacturer, "");
    EXPECT_EQ(record.description, "");
    record.matchDatabase(database);
    const HardwareEntry& e = record.entry;
    EXPECT_EQ((std::vector<std::string>{e.vendorId, e.deviceId, e.text1, e.text2, e.text3}),
              GetParam().entry);
    EXPECT_EQ(record.description, "");
}

const char* const sampleDatabase =
    "\"0x8086\",\"0x10D3\",\"Intel\",\"first\",\"82574L\"\n"
    "\"0x10de\",\"0x1c82\",\"NVIDIA\",\"lower case\",\"GP107\"\n"
    "\"0x8086\",\"0x10D3\",\"Intel\",\"second\",\"82574L again\"\n";

INSTANTIATE_TEST_SUITE_P(Records, Matching, testing::Values(
    MatchCase{"Matched", sampleDatabase, "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00",
              {"0x8086", "0x10D3", "Intel", "first", "82574L"}},
    MatchCase{"Unmatched", sampleDatabase, "VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06",
              {"0x10EC", "0x8168", "", "", ""}},
    // Key names compare without case, as the registry's do; devices.lst is written in capitals.
    MatchCase{"SmallLettersInTheKey", sampleDatabase, "ven_8086&dev_10d3&subsys_a01f8086&rev_00",
              {"0x8086", "0x10D3", "Intel", "first", "82574L"}},
    MatchCase{"CaseDiffers", sampleDatabase, "VEN_10DE&DEV_1C82&SUBSYS_00000000&REV_A1",
              {"0x10DE", "0x1C82", "", "", ""}},
    MatchCase{"EmptyDatabase", "", "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00",
              {"0x8086", "0x10D3", "", "", ""}},
    MatchCase{"ShortName", sampleDatabase, "VEN_8086&D", {"0x8086", "0x", "", "", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

// A source that records no drivers (an lspci dump): no driver line rather
// than a guess, and only the database decides whether the device needs attention.
TEST(DeviceRecord, ASourceWithoutDriversHasNoDriverLine)
{
    DeviceRecord record("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "0");
    ASSERT_EQ(record.driverState, DriverState::unknown);
    EXPECT_EQ(driverLine(record), std::nullopt);
    EXPECT_EQ(outlineOf(record).size(), 10u);
    EXPECT_TRUE(record.needsAttention());
    EXPECT_EQ(markOf(record), DeviceMark::notInDatabase);
    record.inDatabase = true;
    EXPECT_FALSE(record.needsAttention());
    EXPECT_EQ(markOf(record), DeviceMark::none);
}

// The mark says the most pressing fact, and "not in the database" beside it;
// the reasons list every fact.
struct MarkCase {
    const char* name;
    DriverState state;
    bool problem, inDatabase;
    DeviceMark mark;
    std::vector<AttentionReason> reasons;
};

class Marks : public testing::TestWithParam<MarkCase> {};

TEST_P(Marks, SayEveryReasonForAttention)
{
    DeviceRecord record("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "0");
    record.driverState = GetParam().state;
    if (GetParam().problem)
        record.problemCode = 28;
    record.inDatabase = GetParam().inDatabase;
    EXPECT_EQ(markOf(record), GetParam().mark);
    EXPECT_EQ(record.attentionReasons(), GetParam().reasons);
    EXPECT_EQ(record.needsAttention(), !GetParam().reasons.empty());
}

using R = AttentionReason;
INSTANTIATE_TEST_SUITE_P(Records, Marks, testing::Values(
    MarkCase{"Bound", DriverState::bound, false, true, DeviceMark::none, {}},
    MarkCase{"NotNeeded", DriverState::notNeeded, false, true, DeviceMark::none, {}},
    MarkCase{"BoundNotInDatabase", DriverState::bound, false, false, DeviceMark::notInDatabase, {R::notInDatabase}},
    MarkCase{"NoDriver", DriverState::none, false, true, DeviceMark::problem, {R::noDriver}},
    MarkCase{"NoDriverNotInDatabase", DriverState::none, false, false, DeviceMark::problemNotInDatabase,
             {R::noDriver, R::notInDatabase}},
    MarkCase{"Problem", DriverState::bound, true, true, DeviceMark::problem, {R::problem}},
    MarkCase{"NoDriverAndProblem", DriverState::none, true, true, DeviceMark::problem, {R::noDriver, R::problem}},
    MarkCase{"Disabled", DriverState::disabled, false, true, DeviceMark::disabled, {R::disabled}},
    MarkCase{"DisabledNotInDatabase", DriverState::disabled, false, false, DeviceMark::disabledNotInDatabase,
             {R::disabled, R::notInDatabase}},
    MarkCase{"DisabledWithProblem", DriverState::disabled, true, false, DeviceMark::problemNotInDatabase,
             {R::disabled, R::problem, R::notInDatabase}},
    MarkCase{"UnknownNotInDatabase", DriverState::unknown, false, false, DeviceMark::notInDatabase, {R::notInDatabase}}),
    [](const auto& info) { return std::string(info.param.name); });

}
