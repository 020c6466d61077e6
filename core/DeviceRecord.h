// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICERECORD_H
#define CORVANE_DEVICERECORD_H

#include "driverFit.h"
#include "hardware.h"
#include "installedDriver.h"
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

// Who recorded what a record says of its device: the name of the group that
// holds it.
enum class RecordedBy {
    windowsRegistry,  // the live one, an export, a hive
    linuxKernel,      // this machine's, through libpci
    lspciDump,        // read through libpci
};

// One PCI function: what its source records of it and what devices.lst says.
// It is known by its numbers and by its source's own identity for it: the
// device instance a registry recorded, or the address libpci read.
class DeviceRecord {
public:
    // The device instance PCI\<keyName>\<instanceName> of a registry's PCI
    // branch: its numbers parsed from the device key's name, every text empty.
    DeviceRecord(std::string keyName, const std::string& instanceName);
    // A function libpci read at `address`, with its numbers.
    DeviceRecord(const PciIdentity& ids, const PciAddress& address, RecordedBy recordedBy);

    // Copies the first database entry with the function's vendor and device
    // numbers, if it has both and there is one.
    void matchDatabase(const HardwareDatabase& database);

    // Devices that need a look: no driver, disabled, a problem the system
    // reports, or no line in the database; the reasons in that order.
    bool needsAttention() const { return !attentionReasons().empty(); }
    std::vector<AttentionReason> attentionReasons() const;

    // What tells the function apart from every other of its source, and
    // across reads of it: its device instance ID, or its address.
    std::string identity() const;
    // The device's name as its system shows it: Windows' friendly name where
    // it recorded one, otherwise the description.
    const std::string& name() const { return friendlyName.empty() ? description : friendlyName; }

    std::string keyName;     // the device key's name, VEN_vvvv&DEV_dddd&..., where a registry recorded one
    std::string instanceId;  // PCI\<device key>\<instance>, where a registry recorded it
    std::optional<PciAddress> address;  // where the source knows it (libpci)
    RecordedBy recordedBy = RecordedBy::windowsRegistry;
    PciIdentity ids;         // its numbers, as far as its source records them
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
    std::string friendlyName;                  // Windows' name for this one ("... #2"), where recorded
    DriverState driverState = DriverState::unknown;
    std::string driver;                        // its name, when one is installed
    // Windows' "Driver": the device's driver key below Control\Class
    // ("{class GUID}\NNNN"), where a registry recorded one.
    std::string driverKey;
    // The driver installed for it, as its driver key records it; none where
    // the key is missing or the source keeps no driver keys.
    std::optional<InstalledDriver> installedDriver;
    // Whether its source keeps the driver keys (Control\Class): the live
    // registry, a hive, an export of SYSTEM or of a control set; not an
    // export of Enum\PCI alone, libpci or an lspci dump.
    bool driverKeysRecorded = false;
    // The rank Windows chose its driver with (DEVPKEY_Device_DriverRank),
    // where the source records it: the live system, a hive or an export
    // that keeps the instance's device properties.
    std::optional<std::uint32_t> driverRank;
    std::vector<std::string> modules;          // that could drive it (Linux, when none does)
    std::optional<std::uint32_t> problemCode;  // as Device Manager shows it (live Windows)
    std::string location;                      // where it sits; empty when not recorded
    // Where another function of its source has the same name: what tells
    // this one apart (its location, or its identity), shown beside the name.
    std::string distinction;
    HardwareEntry entry;
    bool inDatabase = false;                   // entry is a devices.lst line
    // The drivers of the folders looked in that fit it, best first; none
    // when no folder was looked in. At most maxListedFits: how many more fit.
    std::optional<std::vector<DriverFit>> fits;
    std::size_t moreFits = 0;
    std::size_t infFilesSearched = 0;  // in the folders looked in: none says why nothing fits
};

#endif
