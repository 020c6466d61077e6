// SPDX-License-Identifier: GPL-2.0-or-later
// What a machine's devices come to in one line, and why a device needs attention.
#include "deviceSource.h"
#include "deviceVerdict.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>

namespace {

// A machine of devices made to order: `code` has a letter a device. b:
// bound, n: no driver, d: disabled, p: bound with a problem reported, u: a
// source that records no drivers; a capital: not in the database.
DeviceRecords machine(const std::string& code)
{
    DeviceRecords devices;
    for (const char c : code) {
        auto device = std::make_unique<DeviceRecord>("VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01", "0");
        const char state = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        device->driverState = state == 'n' ? DriverState::none : state == 'd' ? DriverState::disabled
                              : state == 'u' ? DriverState::unknown : DriverState::bound;
        if (state == 'p')
            device->problemCode = 10;
        device->inDatabase = c == state;
        devices.push_back(std::move(device));
    }
    return devices;
}

struct VerdictCase {
    const char* machine;
    const char* verdict;
};

class Verdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(Verdict, SaysWhatTheDevicesComeTo)
{
    EXPECT_EQ(verdictOf(machine(GetParam().machine)), GetParam().verdict);
}

INSTANTIATE_TEST_SUITE_P(Machines, Verdict, testing::Values(
    VerdictCase{"", "No PCI devices are recorded"},
    VerdictCase{"bbbbbb", "No device needs attention: all 6 devices have a driver and are in the database"},
    VerdictCase{"b", "No device needs attention: the device has a driver and is in the database"},
    VerdictCase{"bbbbbB", "All 6 devices have a driver; 1 is not in the database"},
    VerdictCase{"nbbdbB", "1 of 6 devices has no driver; 1 is disabled; 1 is not in the database"},
    VerdictCase{"nNpb", "2 of 4 devices have no driver; 1 has a problem reported; 1 is not in the database"},
    VerdictCase{"uuU", "1 of 3 devices is not in the database (the source records no drivers)"},
    VerdictCase{"uu", "No device needs attention: both devices are in the database (the source records no drivers)"},
    VerdictCase{"bB", "Both devices have a driver; 1 is not in the database"}));

TEST(AttentionLine, SaysWhyTheDeviceIsThere)
{
    const DeviceRecords devices = machine("NB");
    devices[0]->description = "Ethernet";
    devices[1]->description = "Bridge";
    EXPECT_EQ(attentionLineText(*devices[0]), "Ethernet \u2014 no driver, not in the database");
    EXPECT_EQ(attentionLineText(*devices[1]), "Bridge \u2014 not in the database");
}

}
