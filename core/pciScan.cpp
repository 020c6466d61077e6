// SPDX-License-Identifier: GPL-2.0-or-later
#include "pciScan.h"

#include "flException.h"
#include "infFile.h"
#include "registry.h"
#include "text.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// An open registry key, closed when it goes out of scope.
class OpenKey {
public:
    OpenKey(Registry& registry, Registry::Key parent, const char* subKey) : registry(registry)
    {
        status = registry.openKey(parent, subKey, &key);
    }
    ~OpenKey()
    {
        if (status == 0)
            registry.closeKey(key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    bool isOpen() const { return status == 0; }
    long error() const { return status; }
    Registry::Key get() const { return key; }

private:
    Registry& registry;
    Registry::Key key = 0;
    long status;
};

constexpr std::uint32_t nameBufferSize = 256;   // the registry's limit for key names
constexpr std::uint32_t valueBufferSize = 1024;
constexpr std::uint32_t largestValue = 64u << 20;  // a registry value is far smaller

// The name of the sub-key at `index`, or the error code.
long subKeyName(Registry& registry, Registry::Key key, std::uint32_t index, std::string& name)
{
    char buffer[nameBufferSize];
    const long status = registry.enumKey(key, index, buffer, sizeof buffer);
    if (status == 0)
        name.assign(buffer, std::find(buffer, buffer + sizeof buffer, '\0'));
    return status;
}

struct Value {
    std::uint32_t type = registryType::none;
    std::string bytes;
};

// A value whole: one larger than the buffer is asked for again with the
// size the registry reports. None when it cannot be read.
std::optional<Value> readValue(Registry& registry, Registry::Key key, const char* valueName)
{
    unsigned char first[valueBufferSize];  // most values fit
    std::vector<unsigned char> larger;
    unsigned char* data = first;
    std::uint32_t capacity = valueBufferSize;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::uint32_t size = capacity;
        Value value;
        const long status = registry.queryValue(key, valueName, &value.type, data, &size);
        if (status == 0) {
            value.bytes.assign(reinterpret_cast<const char*>(data), std::min(size, capacity));
            return value;
        }
        if (status != registryError::moreData || size <= capacity || size > largestValue)
            break;
        larger.resize(size);
        data = larger.data();
        capacity = size;
    }
    return std::nullopt;
}

// A text value as text: its bytes up to the first zero byte (of a
// REG_MULTI_SZ, its first string); empty when it cannot be read or is of a
// type that holds no text, whose bytes would show as garbage.
std::string textOf(std::optional<Value>&& value)
{
    if (!value || !registryType::isText(value->type))
        return std::string();
    value->bytes.resize(std::min(value->bytes.size(), value->bytes.find('\0')));
    return std::move(value->bytes);
}

// A REG_DWORD's number; none for a value of any other type or size.
std::optional<std::uint32_t> dwordOf(const std::optional<Value>& value)
{
    if (!value || value->type != registryType::dword || value->bytes.size() != 4)
        return std::nullopt;
    std::uint32_t number = 0;
    for (std::size_t i = 4; i-- > 0;)
        number = number << 8 | static_cast<unsigned char>(value->bytes[i]);
    return number;
}

// A REG_MULTI_SZ's texts, up to the empty one that ends them.
std::vector<std::string> textsOf(const std::optional<Value>& value)
{
    std::vector<std::string> texts;
    if (!value || value->type != registryType::multiString)
        return texts;
    for (std::size_t start = 0; start < value->bytes.size();) {
        const std::size_t end = std::min(value->bytes.find('\0', start), value->bytes.size());
        if (end == start)
            break;
        texts.push_back(value->bytes.substr(start, end - start));
        start = end + 1;
    }
    return texts;
}

// The device's name in its DeviceDesc value: what follows the first ';' (of
// "driver.inf,%key%;name", as Windows writes it since Vista), or a plain
// value as it stands (older Windows, drivers that name a device without a
// string resource); "unknown value" when there is none.
std::string descriptionOf(const std::string& deviceDesc)
{
    const std::size_t separator = deviceDesc.find(';');
    if (separator != std::string::npos)
        return deviceDesc.substr(separator + 1);
    return deviceDesc.empty() ? "unknown value" : deviceDesc;
}

// The text Windows shows for a value: of an indirect string,
// "@<file>,<resource>;<text>", the text (Windows writes them since Vista);
// any other value as it is.
std::string shownText(std::string value)
{
    const std::size_t comma = value.find(','), semicolon = value.find(';');
    if (value.empty() || value[0] != '@' || comma == std::string::npos || semicolon == std::string::npos ||
        comma > semicolon)
        return value;
    return value.substr(semicolon + 1);
}

// A location as Device Manager shows it: "PCI bus %1, device %2, function
// %3;(0,31,4)", the text of an indirect LocationInformation, is the format
// with its arguments put in: "PCI bus 0, device 31, function 4". A plain
// value is shown as it is.
std::string locationText(const std::string& value)
{
    const std::string text = shownText(value);
    const std::size_t open = text.rfind(";(");
    if (text == value || open == std::string::npos || text.back() != ')')
        return text;
    std::vector<std::string> arguments;
    for (std::size_t start = open + 2;;) {
        const std::size_t end = text.find_first_of(",)", start);
        arguments.push_back(text.substr(start, end - start));
        if (text[end] == ')')
            break;
        start = end + 1;
    }
    std::string shown;
    for (std::size_t i = 0; i < open; ++i) {
        const char next = i + 1 < open ? text[i + 1] : '\0';
        const std::size_t number = next >= '1' && next <= '9' ? static_cast<std::size_t>(next - '0') : 0;
        if (text[i] == '%' && number >= 1 && number <= arguments.size()) {
            shown += arguments[number - 1];
            ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

// ConfigFlags' bits that say what became of the device's driver.
constexpr std::uint32_t configDisabled = 0x1;        // CONFIGFLAG_DISABLED
constexpr std::uint32_t configReinstall = 0x20;      // CONFIGFLAG_REINSTALL
constexpr std::uint32_t configFailedInstall = 0x40;  // CONFIGFLAG_FAILEDINSTALL

// The driver as Windows records it in the instance key: "Service" names the
// function driver, "Driver" the device's software key, ConfigFlags what
// became of the installation.
void takeDriver(Registry& registry, Registry::Key instance, DeviceRecord& record)
{
    const std::string service = textOf(readValue(registry, instance, instanceValue::service));
    const std::uint32_t flags = dwordOf(readValue(registry, instance, instanceValue::configFlags)).value_or(0);
    record.driverKey = textOf(readValue(registry, instance, instanceValue::driver));
    if (flags & (configFailedInstall | configReinstall)) {
        record.driverState = DriverState::none;
    } else if (!service.empty()) {
        record.driverState = flags & configDisabled ? DriverState::disabled : DriverState::bound;
        record.driver = service;
    } else {
        record.driverState = record.driverKey.empty() ? DriverState::none : DriverState::notNeeded;
    }
}

// The rank Windows chose the driver with, where the instance's device
// properties are readable: a DEVPROP_TYPE_UINT32 (a REG_DWORD from a
// hand-made file is taken too).
std::optional<std::uint32_t> recordedRank(Registry& registry, Registry::Key instance)
{
    const OpenKey properties(registry, instance, driverRankKey);
    if (!properties.isOpen())
        return std::nullopt;
    std::optional<Value> value = readValue(registry, properties.get(), "");
    if (value && value->type == driverRankType)
        value->type = registryType::dword;
    return dwordOf(value);
}

// A FILETIME's day (100-nanosecond intervals since 1601-01-01 UTC) as
// yyyymmdd; 0 for none.
std::uint32_t fileTimeDate(const std::optional<Value>& value)
{
    if (!value || value->type != registryType::binary || value->bytes.size() != 8)
        return 0;
    std::uint64_t ticks = 0;
    for (std::size_t i = 8; i-- > 0;)
        ticks = ticks << 8 | static_cast<unsigned char>(value->bytes[i]);
    // Days since 1970-01-01, then the civil date (the proleptic Gregorian calendar).
    const std::int64_t days = static_cast<std::int64_t>(ticks / 864000000000ull) - 134774;
    const std::int64_t era = (days + 719468 >= 0 ? days + 719468 : days + 719468 - 146096) / 146097;
    const std::int64_t dayOfEra = days + 719468 - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 1 || year > 9999)
        return 0;
    return static_cast<std::uint32_t>(year * 10000 + month * 100 + day);
}

// Whether a "Driver" value names a driver key: "{class GUID}\NNNN", two
// names a key may have, and nothing that would lead elsewhere.
bool isDriverKeyName(const std::string& name)
{
    const std::size_t separator = name.find('\\');
    if (separator == 0 || separator == std::string::npos || separator + 1 == name.size() ||
        name.find('\\', separator + 1) != std::string::npos || name.size() > 2 * nameBufferSize)
        return false;
    return name.front() == '{' && name[separator - 1] == '}';
}

// The IDs Windows gave the device, as its instance key records them (where
// it records none, a file made by hand, the record makes them from the key's
// numbers). The class code is taken from the recorded IDs, the one place a
// registry records it.
void takeWindowsIds(Registry& registry, Registry::Key instance, DeviceRecord& record)
{
    record.recordedHardwareIds = textsOf(readValue(registry, instance, instanceValue::hardwareIds));
    record.recordedCompatibleIds = textsOf(readValue(registry, instance, instanceValue::compatibleIds));
    record.ids.takeClassCode(record.recordedHardwareIds);
    record.ids.takeClassCode(record.recordedCompatibleIds);
}

// The names of the branch's sub-keys, in the registry's order.
std::vector<std::string> deviceKeyNames(Registry& registry, Registry::Key branch)
{
    std::vector<std::string> names;
    for (std::uint32_t index = 0;; ++index) {
        std::string name;
        const long status = subKeyName(registry, branch, index, name);
        if (status == registryError::noMoreItems)
            return names;
        if (status != 0) {
            const std::string message = "Failed to enumerate PCI root key (" + std::to_string(status) + ") ";
            throw flException(__FILE__, __LINE__, message.c_str());
        }
        names.push_back(std::move(name));
    }
}

// What an instance key records of its device; false when it cannot be opened.
bool readInstance(Registry& registry, Registry::Key device, DeviceRecord& record, const std::string& instanceName)
{
    const OpenKey instance(registry, device, instanceName.c_str());
    if (!instance.isOpen())
        return false;
    const auto text = [&registry, &instance](const char* valueName) {
        return textOf(readValue(registry, instance.get(), valueName));
    };
    record.deviceClass = shownText(text(instanceValue::deviceClass));
    record.manufacturer = shownText(text(instanceValue::manufacturer));
    record.description = descriptionOf(text(instanceValue::description));
    record.friendlyName = shownText(text(instanceValue::friendlyName));
    takeDriver(registry, instance.get(), record);
    record.problemCode = registry.deviceProblem(record.keyName, instanceName);
    record.driverRank = recordedRank(registry, instance.get());
    if (!record.driverRank && !record.driverKey.empty())
        record.driverRank = registry.deviceDriverRank(record.keyName, instanceName);
    record.location = locationText(text(instanceValue::location));
    takeWindowsIds(registry, instance.get(), record);
    return true;
}

// A record for each instance of the device key `name` that can be read, in
// the registry's order, appended to `devices`; with its installed driver
// where the registry keeps the driver keys.
void readDeviceKey(Registry& registry, Registry::Key branch, const std::string& name, bool driverKeys,
                   DeviceRecords& devices)
{
    const OpenKey device(registry, branch, name.c_str());
    if (!device.isOpen())
        return;
    std::string instanceName;
    for (std::uint32_t index = 0; subKeyName(registry, device.get(), index, instanceName) == 0; ++index) {
        auto record = std::make_unique<DeviceRecord>(name, instanceName);
        if (!readInstance(registry, device.get(), *record, instanceName))
            continue;
        record->driverKeysRecorded = driverKeys;
        if (driverKeys)
            readInstalledDriver(registry, *record);
        devices.push_back(std::move(record));
    }
}

}

DeviceRecords readPciBranch(Registry& registry, const std::function<void(const std::string& deviceKey)>& deviceRead)
{
    const OpenKey root(registry, Registry::localMachine, pciBranchPath);
    if (!root.isOpen())
        throw flException(__FILE__, __LINE__, "Failed to open PCI Root key.");

    DeviceRecords devices;
    const std::vector<std::string> names = deviceKeyNames(registry, root.get());
    devices.reserve(names.size());
    const bool driverKeys = OpenKey(registry, Registry::localMachine, controlClassPath).isOpen();
    for (const std::string& name : names) {
        // A device whose keys cannot be read is left out; the others still count.
        if (name.size() >= 10)
            readDeviceKey(registry, root.get(), name, driverKeys, devices);
        if (deviceRead)
            deviceRead(name);
    }
    return devices;
}

void readInstalledDriver(Registry& registry, DeviceRecord& record)
{
    record.installedDriver.reset();
    if (!isDriverKeyName(record.driverKey))
        return;
    const OpenKey key(registry, Registry::localMachine, (std::string(controlClassPath) + "\\" + record.driverKey).c_str());
    if (!key.isOpen())
        return;
    const auto text = [&registry, &key](const char* valueName) {
        return textOf(readValue(registry, key.get(), valueName));
    };
    InstalledDriver driver;
    driver.description = text(driverKeyValue::description);
    driver.provider = text(driverKeyValue::provider);
    driver.version = text(driverKeyValue::version);
    driver.inf = text(driverKeyValue::inf);
    driver.section = text(driverKeyValue::section);
    driver.matchingId = text(driverKeyValue::matchingId);
    DriverVersion date;
    date.date = fileTimeDate(readValue(registry, key.get(), driverKeyValue::dateData));
    if (date.date == 0)
        date.date = parseDriverVersion(text(driverKeyValue::date), "").date;
    driver.date = date.isoDate();
    // The software key of a device that needs no driver holds none of these.
    if (driver.inf.empty() && driver.version.empty() && driver.matchingId.empty() && driver.description.empty())
        return;
    record.installedDriver = std::move(driver);
}

DeviceRecords scanPciRegistry(Registry& registry, const HardwareDatabase& database)
{
    RegistryDevices source(registry);
    return readDevices(source, database);
}
