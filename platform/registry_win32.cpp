// SPDX-License-Identifier: GPL-2.0-or-later
// Windows: the registry's own ANSI functions. Key names pass as they give
// and take them (the PCI branch's are ASCII); text values become UTF-8.
#include "registry_win32.h"

#include "deviceSource.h"

#include "text_win32.h"

#include <windows.h>
#include <initguid.h>
#include <cfgmgr32.h>
#include <devpkey.h>

#include <algorithm>
#include <string>

namespace {

class Win32Registry : public Registry {
public:
    long openKey(Key parent, const char* subKey, Key* result) override
    {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyA(handle(parent), subKey, &opened);
        if (status == ERROR_SUCCESS)
            *result = reinterpret_cast<Key>(opened);
        return status;
    }

    long enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize) override
    {
        return RegEnumKeyA(handle(key), index, name, nameSize);
    }

    // Text values come in the ANSI code page and are handed on as UTF-8,
    // with the sizes of the UTF-8 bytes; other values are handed on as they are.
    long queryValue(Key key, const char* valueName, std::uint32_t* type, unsigned char* data,
                    std::uint32_t* dataSize) override
    {
        if (data && !dataSize)
            return ERROR_INVALID_PARAMETER;
        DWORD valueType = REG_NONE;
        std::string value;
        const LONG status = readWhole(handle(key), valueName, valueType, value);
        if (status != ERROR_SUCCESS)
            return status;
        if (type)
            *type = valueType;
        if (registryType::isText(valueType))
            value = platform::ansiToUtf8(value);
        if (!dataSize)
            return ERROR_SUCCESS;
        const bool fits = value.size() <= *dataSize;
        *dataSize = static_cast<std::uint32_t>(value.size());
        if (!data)
            return ERROR_SUCCESS;
        if (!fits)
            return ERROR_MORE_DATA;
        std::copy(value.begin(), value.end(), data);
        return ERROR_SUCCESS;
    }

    long closeKey(Key key) override
    {
        return RegCloseKey(handle(key));
    }

    // The Configuration Manager knows the devices that are present now; a
    // device it cannot find or answer for is left to what the registry says.
    std::optional<std::uint32_t> deviceProblem(const std::string& device, const std::string& instance) override
    {
        std::string id = "PCI\\" + device + "\\" + instance;
        DEVINST node = 0;
        ULONG status = 0, problem = 0;
        if (CM_Locate_DevNodeA(&node, id.data(), CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS ||
            CM_Get_DevNode_Status(&status, &problem, node, 0) != CR_SUCCESS || !(status & DN_HAS_PROBLEM))
            return std::nullopt;
        return problem;
    }

    // The instance's device properties are kept from users in the registry;
    // the Configuration Manager answers for them.
    std::optional<std::uint32_t> deviceDriverRank(const std::string& device, const std::string& instance) override
    {
        std::string id = "PCI\\" + device + "\\" + instance;
        DEVINST node = 0;
        DEVPROPTYPE type = 0;
        ULONG rank = 0, size = sizeof rank;
        if (CM_Locate_DevNodeA(&node, id.data(), CM_LOCATE_DEVNODE_PHANTOM) != CR_SUCCESS ||
            CM_Get_DevNode_PropertyW(node, &DEVPKEY_Device_DriverRank, &type, reinterpret_cast<PBYTE>(&rank), &size,
                                     0) != CR_SUCCESS ||
            type != DEVPROP_TYPE_UINT32 || size != sizeof rank)
            return std::nullopt;
        return rank;
    }

private:
    // The whole value as RegQueryValueExA gives it, its size asked for first.
    static LONG readWhole(HKEY key, const char* valueName, DWORD& type, std::string& value)
    {
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD size = static_cast<DWORD>(value.size());
            const LONG status = RegQueryValueExA(key, valueName, nullptr, &type,
                                                 reinterpret_cast<BYTE*>(value.data()), &size);
            if (status == ERROR_SUCCESS && size <= value.size()) {
                value.resize(size);
                return status;
            }
            if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
                return status;
            value.resize(std::max<std::size_t>(size, value.size() + 1));  // it may have grown meanwhile
        }
        return ERROR_MORE_DATA;
    }

    // localMachine is HKEY_LOCAL_MACHINE's 32-bit value; on 64-bit Windows the
    // predefined handle is that value sign-extended.
    static HKEY handle(Key key)
    {
        return key == localMachine ? HKEY_LOCAL_MACHINE : reinterpret_cast<HKEY>(key);
    }
};

}

Registry& windowsRegistry()
{
    static Win32Registry registry;
    return registry;
}

DeviceSource& systemDevices()
{
    static RegistryDevices devices(windowsRegistry());
    return devices;
}

std::unique_ptr<DeviceSource> lspciDumpDevices(const platform::OpenedFile&, const std::string&)
{
    return nullptr;
}
