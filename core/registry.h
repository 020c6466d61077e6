// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_REGISTRY_H
#define CORVANE_REGISTRY_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The four operations of the Windows registry that the PCI scan uses, with
// their Win32 semantics. One backend per platform, chosen at build time.
// Text values are UTF-8 on every platform (sizes count its bytes).
class Registry {
public:
    using Key = std::uintptr_t;                      // an open key, as a backend hands it out
    static constexpr Key localMachine = 0x80000002;  // stands for HKEY_LOCAL_MACHINE
    virtual ~Registry() = default;
    // Win32 semantics: 0 on success, a Win32 error code otherwise.
    virtual long openKey(Key parent, const char* subKey, Key* result) = 0;                      // RegOpenKeyA
    virtual long enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize) = 0;  // RegEnumKeyA
    // `type` (may be null) receives the value's type, one of registryType's.
    virtual long queryValue(Key key, const char* valueName, std::uint32_t* type,
                            unsigned char* data, std::uint32_t* dataSize) = 0;                   // RegQueryValueExA
    virtual long closeKey(Key key) = 0;                                                          // RegCloseKey

    // What the system's Configuration Manager says of the device instance
    // PCI\<device>\<instance> now: its problem code, as Device Manager shows
    // it. None when it reports no problem, or where no such manager answers
    // (every source but the live registry of Windows).
    virtual std::optional<std::uint32_t> deviceProblem(const std::string&, const std::string&) { return std::nullopt; }
    // The rank Windows installed the driver of that device instance with
    // (DEVPKEY_Device_DriverRank), where the system's Configuration Manager
    // answers for it and the registry's own keys could not be read (the
    // live registry of Windows keeps device properties from its users).
    virtual std::optional<std::uint32_t> deviceDriverRank(const std::string&, const std::string&) { return std::nullopt; }
    // After a call that failed: what the backend can say of it beyond the
    // code (libpci's message about a dump it cannot read), or nothing.
    virtual std::string lastError() const { return {}; }
};

// The Win32 error codes the backends answer with.
namespace registryError {
constexpr long success = 0;
constexpr long fileNotFound = 2;     // ERROR_FILE_NOT_FOUND
constexpr long invalidHandle = 6;    // ERROR_INVALID_HANDLE
constexpr long genFailure = 31;      // ERROR_GEN_FAILURE
constexpr long invalidParameter = 87;  // ERROR_INVALID_PARAMETER
constexpr long moreData = 234;       // ERROR_MORE_DATA
constexpr long noMoreItems = 259;    // ERROR_NO_MORE_ITEMS
}

// The types of values, numbered as the registry numbers them.
namespace registryType {
constexpr std::uint32_t none = 0;          // REG_NONE
constexpr std::uint32_t string = 1;        // REG_SZ
constexpr std::uint32_t expandString = 2;  // REG_EXPAND_SZ
constexpr std::uint32_t binary = 3;        // REG_BINARY
constexpr std::uint32_t dword = 4;         // REG_DWORD
constexpr std::uint32_t multiString = 7;   // REG_MULTI_SZ
// The types whose data is text (UTF-8 here, whatever the source's encoding).
constexpr bool isText(std::uint32_t type)
{
    return type == string || type == expandString || type == multiString;
}
}

// The path of the PCI branch below localMachine, and its number of names.
constexpr const char* pciBranchPath = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
constexpr std::size_t pciBranchDepth = 4;

// The values of a device's instance key that the scan reads: all a reader
// of big files needs keep.
namespace instanceValue {
constexpr const char* deviceClass = "Class";
constexpr const char* manufacturer = "Mfg";
constexpr const char* description = "DeviceDesc";
constexpr const char* friendlyName = "FriendlyName";
constexpr const char* service = "Service";
constexpr const char* configFlags = "ConfigFlags";
constexpr const char* driver = "Driver";
constexpr const char* location = "LocationInformation";
constexpr const char* hardwareIds = "HardwareID";
constexpr const char* compatibleIds = "CompatibleIDs";
constexpr const char* const all[] = {deviceClass, manufacturer, description, friendlyName, service,
                                     configFlags, driver,       location,    hardwareIds,  compatibleIds};
}

// The driver keys that a device's "Driver" value names, below localMachine:
// Control\Class\{class GUID}\NNNN of the control set, and the values of one
// that the scan reads.
constexpr const char* controlClassPath = "SYSTEM\\CurrentControlSet\\Control\\Class";
namespace driverKeyValue {
constexpr const char* description = "DriverDesc";
constexpr const char* provider = "ProviderName";
constexpr const char* date = "DriverDate";
constexpr const char* dateData = "DriverDateData";  // a FILETIME, more precise than DriverDate's text
constexpr const char* version = "DriverVersion";
constexpr const char* inf = "InfPath";
constexpr const char* section = "InfSection";
constexpr const char* matchingId = "MatchingDeviceId";
constexpr const char* const all[] = {description, provider, date, dateData, version, inf, section, matchingId};
}

// The key below a device's instance key that holds the rank Windows chose
// its driver with (DEVPKEY_Device_DriverRank: property 14 of its set), its
// default value a DEVPROP_TYPE_UINT32 (stored as type 0xFFFF0007).
constexpr const char* driverRankKey = "Properties\\{a8b865dd-2e3d-4094-ad97-e593a70c75d6}\\000E";
constexpr std::uint32_t driverRankType = 0xFFFF0007;

#endif
