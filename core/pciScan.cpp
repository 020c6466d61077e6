#include "pciScan.h"

#include "flException.h"
#include "registry.h"

#include <algorithm>
#include <string>
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

// A value as text: its bytes up to the first zero byte. A value larger than
// the buffer is asked for again with the size the registry reports; one that
// cannot be read gives empty text.
std::string readValue(Registry& registry, Registry::Key key, const char* valueName)
{
    std::vector<unsigned char> data(valueBufferSize);
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::uint32_t size = static_cast<std::uint32_t>(data.size());
        const long status = registry.queryValue(key, valueName, data.data(), &size);
        if (status == 0) {
            const auto* text = reinterpret_cast<const char*>(data.data());
            const auto* end = text + std::min<std::size_t>(size, data.size());
            return std::string(text, std::find(text, end, '\0'));
        }
        if (status != registryError::moreData || size <= data.size() || size > largestValue)
            break;
        data.resize(size);
    }
    return std::string();
}

// What follows the first ';' of a DeviceDesc value, or "unknown value".
std::string descriptionOf(const std::string& deviceDesc)
{
    const std::size_t separator = deviceDesc.find(';');
    return separator == std::string::npos ? "unknown value" : deviceDesc.substr(separator + 1);
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

// What the device's first instance key records; false when its keys cannot be read.
bool readFirstInstance(Registry& registry, Registry::Key branch, DeviceRecord& record)
{
    const OpenKey device(registry, branch, record.keyName.c_str());
    if (!device.isOpen())
        return false;
    std::string instanceName;
    if (subKeyName(registry, device.get(), 0, instanceName) != 0)
        return false;
    const OpenKey instance(registry, device.get(), instanceName.c_str());
    if (!instance.isOpen())
        return false;
    record.deviceClass = readValue(registry, instance.get(), "Class");
    record.manufacturer = readValue(registry, instance.get(), "Mfg");
    record.description = descriptionOf(readValue(registry, instance.get(), "DeviceDesc"));
    return true;
}

}

std::vector<std::unique_ptr<DeviceRecord>> scanPciRegistry(Registry& registry, const HardwareDatabase& database)
{
    const OpenKey root(registry, Registry::localMachine, pciBranchPath);
    if (!root.isOpen())
        throw flException(__FILE__, __LINE__, "Failed to open PCI Root key.");

    std::vector<std::unique_ptr<DeviceRecord>> devices;
    for (const std::string& name : deviceKeyNames(registry, root.get())) {
        if (name.size() < 10)
            continue;
        auto record = std::make_unique<DeviceRecord>(name.c_str());
        record->matchDatabase(database);
        // A device whose keys cannot be read is left out; the others still count.
        if (readFirstInstance(registry, root.get(), *record))
            devices.push_back(std::move(record));
    }
    // Every record is matched: the file need not stay mapped while the window shows.
    database.release();
    return devices;
}
