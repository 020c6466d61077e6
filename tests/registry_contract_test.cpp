// SPDX-License-Identifier: GPL-2.0-or-later
// What the PCI scan relies on of a registry, checked on every backend.
#include "MemoryRegistry.h"
#include "regExport.h"
#ifdef _WIN32
#include "platform/registry_win32.h"
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Backend {
    std::shared_ptr<void> keepAlive;  // whatever the registry reads from
    Registry* registry = nullptr;
    std::unique_ptr<Registry> owned;
};

struct BackendCase {
    const char* name;
    std::function<Backend()> make;
};

Backend memoryBackend()
{
    auto registry = std::make_unique<MemoryRegistry>();
    registry->addDevice("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "Ethernet controller",
                        "Intel Corporation", "e1000e;82574L Gigabit Network Connection");
    registry->addDevice("VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06", "Ethernet controller", nullptr,
                        nullptr);
    Backend backend;
    backend.registry = registry.get();
    backend.owned = std::move(registry);
    return backend;
}

// The same devices, as a .reg export of them reads.
Backend exportBackend()
{
    RegExportReader reader(RegExportReader::Encoding::ansi);
    reader.read("REGEDIT4\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\0]\r\n"
                "\"Class\"=\"Ethernet controller\"\r\n\"Mfg\"=\"Intel Corporation\"\r\n"
                "\"DeviceDesc\"=\"e1000e;82574L Gigabit Network Connection\"\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06\\0]\r\n"
                "\"Class\"=\"Ethernet controller\"\r\n");
    reader.finish();
    Backend backend;
    backend.owned = reader.takeRegistry();
    backend.registry = backend.owned.get();
    return backend;
}

#ifdef _WIN32
Backend liveBackend()
{
    Backend backend;
    backend.registry = &windowsRegistry();
    return backend;
}
#endif

class RegistryContract : public testing::TestWithParam<BackendCase> {
protected:
    void SetUp() override
    {
        backend = GetParam().make();
        ASSERT_EQ(reg().openKey(Registry::localMachine, pciBranchPath, &branch), 0);
    }
    void TearDown() override
    {
        if (branch) {
            EXPECT_EQ(reg().closeKey(branch), 0);
        }
    }
    Registry& reg() { return *backend.registry; }

    std::vector<std::string> subKeys(Registry::Key key)
    {
        std::vector<std::string> names;
        char name[256];
        long status;
        std::uint32_t index = 0;
        while ((status = reg().enumKey(key, index++, name, sizeof name)) == 0) {
            EXPECT_LT(std::strlen(name), sizeof name);
            names.push_back(name);
        }
        EXPECT_EQ(status, 259);
        return names;
    }

    // The first instance key of the first device.
    Registry::Key openFirstInstance(Registry::Key& device)
    {
        const auto devices = subKeys(branch);
        EXPECT_FALSE(devices.empty());
        EXPECT_EQ(reg().openKey(branch, devices.at(0).c_str(), &device), 0);
        const auto instances = subKeys(device);
        EXPECT_FALSE(instances.empty());
        Registry::Key instance = 0;
        EXPECT_EQ(reg().openKey(device, instances.at(0).c_str(), &instance), 0);
        return instance;
    }

    Backend backend;
    Registry::Key branch = 0;
};

TEST_P(RegistryContract, BranchEnumeratesToNoMoreItems)
{
    const auto devices = subKeys(branch);
    ASSERT_FALSE(devices.empty());
    int withInstances = 0;
    for (const std::string& name : devices) {
        Registry::Key device;
        if (reg().openKey(branch, name.c_str(), &device) != 0)
            continue;  // a real registry can hold keys its ANSI functions cannot open
        withInstances += !subKeys(device).empty();
        EXPECT_EQ(reg().closeKey(device), 0);
    }
    EXPECT_GT(withInstances, 0);
}

TEST_P(RegistryContract, PathsCompareWithoutLetterCase)
{
    Registry::Key again;
    ASSERT_EQ(reg().openKey(Registry::localMachine, "system\\CURRENTCONTROLSET\\enum\\Pci", &again), 0);
    EXPECT_EQ(subKeys(again), subKeys(branch));
    EXPECT_EQ(reg().closeKey(again), 0);
}

TEST_P(RegistryContract, NameThatDoesNotFitIsMoreData)
{
    char name[256];
    ASSERT_EQ(reg().enumKey(branch, 0, name, sizeof name), 0);
    const std::string first = name;
    EXPECT_EQ(reg().enumKey(branch, 0, name, static_cast<std::uint32_t>(first.size())), 234);
    EXPECT_EQ(reg().enumKey(branch, 0, name, static_cast<std::uint32_t>(first.size() + 1)), 0);
    EXPECT_EQ(name, first);
}

TEST_P(RegistryContract, ValuesReadWholeOrReportTheSizeNeeded)
{
    Registry::Key device = 0;
    const Registry::Key instance = openFirstInstance(device);
    std::uint32_t size = 0, type = 99;
    ASSERT_EQ(reg().queryValue(instance, "Class", &type, nullptr, &size), 0);
    ASSERT_GT(size, 1u);
    EXPECT_EQ(type, registryType::string);

    std::vector<unsigned char> data(size + 10, 'x');
    std::uint32_t given = size;
    ASSERT_EQ(reg().queryValue(instance, "Class", nullptr, data.data(), &given), 0);
    EXPECT_EQ(given, size);
    EXPECT_EQ(data[size - 1], '\0');
    EXPECT_EQ(std::strlen(reinterpret_cast<char*>(data.data())), size - 1);

    std::uint32_t tooSmall = size - 1;
    EXPECT_EQ(reg().queryValue(instance, "Class", nullptr, data.data(), &tooSmall), 234);
    EXPECT_EQ(tooSmall, size);

    std::uint32_t unused = 1024;
    EXPECT_EQ(reg().queryValue(instance, "NoSuchValue", nullptr, data.data(), &unused), 2);
    EXPECT_EQ(reg().closeKey(instance), 0);
    EXPECT_EQ(reg().closeKey(device), 0);
}

TEST_P(RegistryContract, MissingKeysAreFileNotFound)
{
    Registry::Key key;
    EXPECT_EQ(reg().openKey(branch, "VEN_FFFF&DEV_FFFF&SUBSYS_00000000&REV_00", &key), 2);
    EXPECT_EQ(reg().openKey(Registry::localMachine, "SYSTEM\\CurrentControlSet\\Enum\\NoSuchBus", &key), 2);
}

TEST_P(RegistryContract, ClosedHandlesAreGone)
{
    Registry::Key device = 0;
    const Registry::Key instance = openFirstInstance(device);
    EXPECT_EQ(reg().closeKey(instance), 0);
    EXPECT_EQ(reg().closeKey(device), 0);
    char name[256];
    EXPECT_NE(reg().enumKey(device, 0, name, sizeof name), 0);
    std::uint32_t size = 1024;
    unsigned char data[1024];
    EXPECT_NE(reg().queryValue(instance, "Class", nullptr, data, &size), 0);
    EXPECT_NE(reg().closeKey(device), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContract,
                         testing::Values(BackendCase{"Memory", memoryBackend},
                                         BackendCase{"Export", exportBackend}
#ifdef _WIN32
                                         , BackendCase{"Live", liveBackend}
#endif
                                         ),
                         [](const auto& info) { return std::string(info.param.name); });

}
