// SPDX-License-Identifier: GPL-2.0-or-later
#include "MemoryRegistry.h"

#include <algorithm>
#include <iterator>

KeyTreeRegistry::Node& MemoryRegistry::addDevice(const std::string& keyName, const char* deviceClass,
                                                 const char* manufacturer, const char* deviceDesc)
{
    Node& device = addKey(std::string(pciBranchPath) + "\\" + keyName);
    Node& instance = device.addSubKey("0000");
    if (deviceClass)
        instance.setString("Class", deviceClass);
    if (manufacturer)
        instance.setString("Mfg", manufacturer);
    if (deviceDesc)
        instance.setString("DeviceDesc", deviceDesc);
    return device;
}

void MemoryRegistry::removeDevice(const std::string& keyName)
{
    addKey(pciBranchPath).removeSubKey(keyName);
}

long MemoryRegistry::openKey(Key parent, const char* subKey, Key* result)
{
    auto failure = openFailures.find(subKey ? subKey : "");
    if (failure != openFailures.end())
        return failure->second;
    const long status = KeyTreeRegistry::openKey(parent, subKey, result);
    opened += status == 0;
    return status;
}

long MemoryRegistry::enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize)
{
    if (const Node* node = nodeOf(key)) {
        auto failure = enumFailures.find(node->name);
        if (failure != enumFailures.end() &&
            (failure->second.atIndex < 0 || failure->second.atIndex == static_cast<long>(index)))
            return failure->second.code;
    }
    return KeyTreeRegistry::enumKey(key, index, name, nameSize);
}

long MemoryRegistry::queryValue(Key key, const char* valueName, std::uint32_t* type, unsigned char* data,
                                std::uint32_t* dataSize)
{
    auto failure = queryFailures.find(valueName ? valueName : "");
    if (failure != queryFailures.end())
        return failure->second;
    return KeyTreeRegistry::queryValue(key, valueName, type, data, dataSize);
}

long MemoryRegistry::closeKey(Key key)
{
    const long status = KeyTreeRegistry::closeKey(key);
    closed += status == 0 && key != localMachine;
    return status;
}
