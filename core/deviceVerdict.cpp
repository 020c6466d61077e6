// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceVerdict.h"

#include "deviceOutline.h"

std::string reasonsText(const std::vector<AttentionReason>& reasons)
{
    std::string text;
    for (const AttentionReason reason : reasons) {
        text += text.empty() ? "" : ", ";
        switch (reason) {
        case AttentionReason::noDriver: text += "no driver"; break;
        case AttentionReason::disabled: text += "disabled"; break;
        case AttentionReason::problem: text += "problem reported"; break;
        case AttentionReason::notInDatabase: text += "not in the database"; break;
        }
    }
    return text;
}

std::string attentionLineText(const DeviceRecord& device)
{
    const std::string why = reasonsText(device.attentionReasons());
    return deviceLineText(device) + (why.empty() ? "" : " \u2014 " + why);
}

namespace {

// A count and the words that go with it: one's or many's.
std::string counted(std::size_t number, const char* one, const char* many)
{
    return std::to_string(number) + " " + (number == 1 ? one : many);
}

struct Tally {
    std::size_t devices = 0, noDriver = 0, problem = 0, disabled = 0, notInDatabase = 0, driversRecorded = 0;
    std::size_t attention = 0;
};

Tally tallyOf(const std::vector<std::unique_ptr<DeviceRecord>>& devices)
{
    Tally tally;
    for (const auto& device : devices) {
        ++tally.devices;
        tally.noDriver += device->driverState == DriverState::none;
        tally.disabled += device->driverState == DriverState::disabled;
        tally.problem += device->problemCode.has_value();
        tally.notInDatabase += !device->inDatabase;
        tally.driversRecorded += device->driverState != DriverState::unknown;
        tally.attention += device->needsAttention();
    }
    return tally;
}

// "No device needs attention: all 6 devices have a driver and are in the database".
std::string nothingNeedsAttention(const Tally& tally)
{
    const bool one = tally.devices == 1;
    std::string verdict = "No device needs attention: ";
    verdict += one ? "the device " : tally.devices == 2 ? "both devices " : "all " + counted(tally.devices, "device", "devices") + " ";
    if (tally.driversRecorded)
        verdict += one ? "has a driver and " : "have a driver and ";
    return verdict + (one ? "is" : "are") + " in the database";
}

// What the drivers say, the first clause counting "of" all the devices:
// "1 of 6 devices has no driver", "1 is disabled"; "All 6 devices have a
// driver" when none lacks one.
std::vector<std::string> driverClauses(const Tally& tally)
{
    const std::string ofAll = " of " + counted(tally.devices, "device", "devices");
    std::vector<std::string> clauses;
    if (tally.noDriver)
        clauses.push_back(std::to_string(tally.noDriver) + ofAll + (tally.noDriver == 1 ? " has" : " have") + " no driver");
    if (tally.problem)
        clauses.push_back(counted(tally.problem, "has", "have") + " a problem reported");
    if (tally.disabled)
        clauses.push_back(counted(tally.disabled, "is", "are") + " disabled");
    if (clauses.empty())
        clauses.push_back(tally.devices == 1   ? "The device has a driver"
                          : tally.devices == 2 ? "Both devices have a driver"
                                               : "All " + counted(tally.devices, "device", "devices") + " have a driver");
    return clauses;
}

}

std::string verdictOf(const std::vector<std::unique_ptr<DeviceRecord>>& devices)
{
    const Tally tally = tallyOf(devices);
    const std::string noDrivers = tally.driversRecorded ? "" : " (the source records no drivers)";
    if (tally.devices == 0)
        return "No PCI devices are recorded";
    if (tally.attention == 0)
        return nothingNeedsAttention(tally) + noDrivers;
    std::vector<std::string> clauses = tally.driversRecorded ? driverClauses(tally) : std::vector<std::string>();
    if (tally.notInDatabase)
        clauses.push_back(std::to_string(tally.notInDatabase) +
                          (clauses.empty() ? " of " + counted(tally.devices, "device", "devices") : std::string()) +
                          (tally.notInDatabase == 1 ? " is" : " are") + " not in the database");
    std::string verdict;
    for (const std::string& clause : clauses)
        verdict += (verdict.empty() ? "" : "; ") + clause;
    return verdict + noDrivers;
}
