// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICERECORD_H
#define CORVANE_DEVICERECORD_H

#include "driverFit.h"
#include "hardware.h"
#include "pciIdentity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What drives a device, as its system records it.
enum class DriverState {
    bound,      // a driver drives it
    disabled,   // a driver is installed, and the device is disabled
    notNeeded,  // installed without a function driver, on purpose
    none,       // no driver: none installed, or its installation failed
    unknown,    // the source records no drivers (an lspci dump)
};

// Why a device needs a look.
enum class AttentionReason {
    noDriver,       // nothing drives it
    disabled,       // its driver is installed, the device disabled
    problem,        // the system reports a problem with it
    notInDatabase,  // devices.lst has no line for it
};

// One PCI device: what the registry says of it and what devices.lst says.
class DeviceRecord {
public:
    // Identifiers from the device key's name; every text empty.
    explicit DeviceRecord(const char* keyName);

    // Copies the first database entry with the same identifiers, if any.
    // The key's letters may be of either case, as the registry's names are:
    // an identifier written in small letters finds the line written in capitals.
    void matchDatabase(const HardwareDatabase& database);

    // Devices that need a look: no driver, disabled, a problem the system
    // reports, or no line in the database; the reasons in that order.
    bool needsAttention() const { return !attentionReasons().empty(); }
    std::vector<AttentionReason> attentionReasons() const;

    std::string keyName;  // the device key's name, which tells the device apart across scans
    PciIdentity ids;      // its numbers, as far as its source records them
    // Windows' IDs for it, most specific first, as its registry records
    // them; empty where nothing records them (libpci, an lspci dump).
    std::vector<std::string> recordedHardwareIds, recordedCompatibleIds;
    // Windows' IDs for it: the recorded ones, or where none are recorded
    // those Windows would give it, made from `ids` when asked, so that the
    // records of thousands of functions do not hold them all.
    std::vector<std::string> hardwareIds() const;
    std::vector<std::string> compatibleIds() const;
    std::string deviceClass;
    std::string manufacturer;
    std::string description;
    DriverState driverState = DriverState::unknown;
    std::string driver;                        // its name, when one is installed
    std::vector<std::string> modules;          // that could drive it (Linux, when none does)
    std::optional<std::uint32_t> problemCode;  // as Device Manager shows it (live Windows)
    std::string location;                      // where it sits; empty when not recorded
    HardwareEntry entry;
    bool inDatabase = false;                   // entry is a devices.lst line
    // The drivers of the folders looked in that fit it, best first; none
    // when no folder was looked in. At most maxListedFits: how many more fit.
    std::optional<std::vector<DriverFit>> fits;
    std::size_t moreFits = 0;
};

#endif
