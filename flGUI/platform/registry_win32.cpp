// Windows: the registry's own ANSI functions.
#include "registry.h"

#include <windows.h>

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

    long queryValue(Key key, const char* valueName, unsigned char* data, std::uint32_t* dataSize) override
    {
        DWORD size = dataSize ? *dataSize : 0;
        const LONG status = RegQueryValueExA(handle(key), valueName, nullptr, nullptr, data,
                                             dataSize ? &size : nullptr);
        if (dataSize)
            *dataSize = size;
        return status;
    }

    long closeKey(Key key) override
    {
        return RegCloseKey(handle(key));
    }

private:
    // localMachine is HKEY_LOCAL_MACHINE's 32-bit value; on 64-bit Windows the
    // predefined handle is that value sign-extended.
    static HKEY handle(Key key)
    {
        return key == localMachine ? HKEY_LOCAL_MACHINE : reinterpret_cast<HKEY>(key);
    }
};

}

Registry& systemRegistry()
{
    static Win32Registry registry;
    return registry;
}
