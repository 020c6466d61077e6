// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TESTS_MEMORYREGISTRY_H
#define CORVANE_TESTS_MEMORYREGISTRY_H

#include "registry_tree.h"

#include <map>
#include <string>

// An in-memory registry whose operations can be made to fail: opening a key
// of a given name, enumerating the sub-keys of a key of a given name (at one
// index or all), or reading a value of a given name. It can also stand for a
// source that records no drivers, or report problem codes of devices as the
// Configuration Manager would.
class MemoryRegistry : public KeyTreeRegistry {
public:
    // A device key below the PCI branch with one instance key "0000" holding
    // the given values (a value is left out when its text is null).
    Node& addDevice(const std::string& keyName, const char* deviceClass, const char* manufacturer,
                    const char* deviceDesc);

    // Takes a device key out of the PCI branch, as when the device is unplugged.
    void removeDevice(const std::string& keyName);

    void failOpen(const std::string& keyName, long code) { openFailures[keyName] = code; }
    void failEnum(const std::string& keyName, long code, long atIndex = -1)
    {
        enumFailures[keyName] = {code, atIndex};
    }
    void failQuery(const std::string& valueName, long code) { queryFailures[valueName] = code; }
    void reportProblem(const std::string& deviceKey, std::uint32_t code) { problems[deviceKey] = code; }

    std::optional<std::uint32_t> deviceProblem(const std::string& device, const std::string&) override
    {
        const auto found = problems.find(device);
        return found == problems.end() ? std::nullopt : std::optional<std::uint32_t>(found->second);
    }

    long openKey(Key parent, const char* subKey, Key* result) override;
    long enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize) override;
    long queryValue(Key key, const char* valueName, std::uint32_t* type, unsigned char* data,
                    std::uint32_t* dataSize) override;
    long closeKey(Key key) override;

    int opened = 0, closed = 0;

private:
    struct EnumFailure {
        long code;
        long atIndex;
    };
    std::map<std::string, long> openFailures;
    std::map<std::string, EnumFailure> enumFailures;
    std::map<std::string, long> queryFailures;
    std::map<std::string, std::uint32_t> problems;
};

#endif
