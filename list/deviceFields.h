// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICEFIELDS_H
#define CORVANE_DEVICEFIELDS_H

#include "DeviceRecord.h"
#include "driverFit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class PciIdsNames;

// A device as the forms for scripts give it (corvane-list --json and --csv),
// field by field: identifiers as `lspci -n` prints them, texts as the tree
// shows them. None stands for a field the source does not have.
struct DeviceFields {
    struct Database {
        std::string vendor, device, source;  // the devices.lst line's texts
    };
    // A driver that fits as the folder gave it, its texts made UTF-8, and
    // what it is against the installed driver: installed, newer,
    // better_match; none where it is none of these or nothing is compared.
    struct Fit : DriverFit {
        std::optional<std::string> versusInstalled;
    };
    struct Installed {
        std::string description, provider, inf, section, matchingId;
        std::optional<std::string> driverDate, driverVersion;  // ISO 8601; as recorded
        std::optional<std::string> rank;                       // eight small hexadecimal digits; none when unknown
        // What the rank comes from: recorded, folder_inf, matching_id; none when unknown.
        std::optional<std::string> rankFrom;
    };

    std::string key;  // the registry key's name; elsewhere the function's address
    std::optional<std::string> vendorId, deviceId, subsystemVendorId, subsystemId;  // four lowercase hex digits
    std::optional<std::string> revision;                                             // two
    std::string description, deviceClass, manufacturer;
    std::optional<std::string> driver;
    const char* driverState;  // bound, disabled, none, not_needed, unknown
    std::optional<std::uint32_t> problemCode;
    std::vector<std::string> modules;
    std::optional<std::string> location;
    bool attention;
    std::vector<std::string> attentionReasons;  // no_driver, disabled, problem, not_in_database
    std::optional<Database> database;
    std::optional<std::string> subsystem;  // the subsystem's name, as `lspci -v` prints it
    std::vector<std::string> hardwareIds, compatibleIds;  // Windows', most specific first
    std::optional<std::vector<Fit>> fits;  // best first; none when no folder of drivers was looked in
    std::size_t moreFits = 0;              // fitting beyond those listed
    std::optional<std::string> instanceId;    // PCI\<key>\<instance>, where a registry recorded it
    std::optional<std::string> address;       // 0000:00:1f.3, where the source knows it
    std::optional<std::string> friendlyName;  // Windows' name for it, where recorded
    std::optional<Installed> installedDriver;  // where the source records it
    // Whether the folders hold a driver Windows would choose over the
    // installed one (the first fit); none where nothing is compared.
    std::optional<bool> betterDriver;
};

// `names`: a pci.ids to name subsystems from; null when none could be read.
DeviceFields fieldsOf(const DeviceRecord& device, const PciIdsNames* names);

#endif
