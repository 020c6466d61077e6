// The libpci backend lays the bus out as Windows does.
#include "FakeSysfs.h"
#include "platform/registry_libpci.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Everything below the PCI branch: device key -> instance key -> value -> text.
using Values = std::map<std::string, std::string>;
using Instances = std::vector<std::pair<std::string, Values>>;
using Branch = std::vector<std::pair<std::string, Instances>>;

std::vector<std::string> subKeys(Registry& registry, Registry::Key key)
{
    std::vector<std::string> names;
    char name[256];
    for (std::uint32_t index = 0; registry.enumKey(key, index, name, sizeof name) == 0; ++index)
        names.push_back(name);
    return names;
}

Branch readBranch(Registry& registry)
{
    Branch branch;
    Registry::Key root;
    EXPECT_EQ(registry.openKey(Registry::localMachine, pciBranchPath, &root), 0);
    for (const std::string& deviceName : subKeys(registry, root)) {
        Registry::Key device;
        EXPECT_EQ(registry.openKey(root, deviceName.c_str(), &device), 0);
        Instances instances;
        for (const std::string& instanceName : subKeys(registry, device)) {
            Registry::Key instance;
            EXPECT_EQ(registry.openKey(device, instanceName.c_str(), &instance), 0);
            Values values;
            for (const char* valueName : {"Class", "Mfg", "DeviceDesc", "Service"}) {
                unsigned char data[1024];
                std::uint32_t size = sizeof data;
                if (registry.queryValue(instance, valueName, data, &size) == 0)
                    values[valueName] = std::string(reinterpret_cast<char*>(data), size);
            }
            instances.emplace_back(instanceName, values);
            registry.closeKey(instance);
        }
        branch.emplace_back(deviceName, instances);
        registry.closeKey(device);
    }
    registry.closeKey(root);
    return branch;
}

std::string sz(const std::string& text) { return text + '\0'; }

TEST(LibpciRegistry, LaysOutFakeBusAsWindowsDoes)
{
    FakeSysfs sysfs;
    // Added out of bus order: the backend sorts.
    sysfs.add({"0000:03:00.0", 0x8086, 0x10d3, 0x8086, 0xa01f, 0, 0x020000, "e1000e"});
    sysfs.add({"0000:00:1f.3", 0x1234, 0x5678, 0x1234, 0x0001, 0x10, 0x140000, nullptr});
    sysfs.add({"0000:00:00.0", 0x8086, 0x1237, 0, 0, 2, 0x060000, nullptr});
    sysfs.add({"0000:02:00.0", 0x8086, 0x10d3, 0x8086, 0xa01f, 0, 0x020000, "e1000e"});
    sysfs.add({"0000:00:01.0", 0x8086, 0x7191, 0, 0, 3, 0x060400, "pcieport"});
    sysfs.add({"0000:00:1e.0", 0x8086, 0x9999, 0x8086, 0x9999, 0xab, 0x0c0300, "ehci-pci"});
    LibpciRegistry registry({sysfs.sysfsPath(), sysfs.idsPath(), false});

    const Branch expected = {
        {"VEN_8086&DEV_1237&SUBSYS_00000000&REV_02",
         {{"0000:00:00.0",
           {{"Class", sz("Host bridge")}, {"Mfg", sz("Intel Corporation")},
            {"DeviceDesc", sz(";440FX - 82441FX PMC [Natoma]")}}}}},
        {"VEN_8086&DEV_7191&SUBSYS_00000000&REV_03",
         {{"0000:00:01.0",
           {{"Class", sz("PCI bridge")}, {"Mfg", sz("Intel Corporation")},
            {"DeviceDesc", sz("pcieport;440BX/ZX/DX - 82443BX/ZX/DX AGP bridge")}}}}},
        // Known vendor, unknown device: no DeviceDesc; a class known only by its
        // base class is named the way libpci names it.
        {"VEN_8086&DEV_9999&SUBSYS_99998086&REV_AB",
         {{"0000:00:1e.0",
           {{"Class", sz("Serial bus controller [0c03]")}, {"Mfg", sz("Intel Corporation")}}}}},
        // Nothing known: the class in numbers only.
        {"VEN_1234&DEV_5678&SUBSYS_00011234&REV_10", {{"0000:00:1f.3", {{"Class", sz("Class 1400")}}}}},
        // Two functions of one name share the device key, one instance each, in bus order.
        {"VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00",
         {{"0000:02:00.0",
           {{"Class", sz("Ethernet controller")}, {"Mfg", sz("Intel Corporation")},
            {"DeviceDesc", sz("e1000e;82574L Gigabit Network Connection")}}},
          {"0000:03:00.0",
           {{"Class", sz("Ethernet controller")}, {"Mfg", sz("Intel Corporation")},
            {"DeviceDesc", sz("e1000e;82574L Gigabit Network Connection")}}}}},
    };
    EXPECT_EQ(readBranch(registry), expected);
}

TEST(LibpciRegistry, AnEmptyBusIsAnEmptyBranch)
{
    FakeSysfs sysfs;
    LibpciRegistry registry({sysfs.sysfsPath(), sysfs.idsPath(), false});
    EXPECT_TRUE(readBranch(registry).empty());
}

TEST(LibpciRegistry, LibpciFailureIsAnOpenFailureNotAnExit)
{
    TempDir dir;
    LibpciRegistry registry({dir.file("no-such-sysfs"), dir.file("pci.ids"), false});
    Registry::Key root = 0;
    EXPECT_NE(registry.openKey(Registry::localMachine, pciBranchPath, &root), 0);
    EXPECT_FALSE(registry.lastError().empty());
    // Still failing, still alive, on a second try.
    EXPECT_NE(registry.openKey(Registry::localMachine, pciBranchPath, &root), 0);
}

// The device keys the live backend lists, against lspci's own listing.
TEST(LibpciRegistry, LiveKeysAreWhatLspciLists)
{
    if (!std::filesystem::exists("/sys/bus/pci/devices") ||
        std::filesystem::is_empty("/sys/bus/pci/devices"))
        GTEST_SKIP() << "this machine shows no PCI devices";
    std::FILE* lspci = popen("lspci -nm 2>/dev/null", "r");
    ASSERT_NE(lspci, nullptr);
    std::string output;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, lspci)) > 0)
        output.append(chunk, got);
    if (pclose(lspci) != 0)
        GTEST_SKIP() << "lspci is not available";

    // 00:03.0 "0200" "1af4" "1041" -r01 "1af4" "1041"
    std::set<std::string> fromLspci;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> quoted;
        std::string revision = "00";
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            if (word.size() >= 2 && word.front() == '"')
                quoted.push_back(word.substr(1, word.size() - 2));
            else if (word.rfind("-r", 0) == 0)
                revision = word.substr(2);
        }
        ASSERT_GE(quoted.size(), 5u) << line;
        std::string key = "VEN_" + quoted[1] + "&DEV_" + quoted[2] + "&SUBSYS_" + quoted[4] +
                          quoted[3] + "&REV_" + revision;
        if (quoted[3].empty())
            key = "VEN_" + quoted[1] + "&DEV_" + quoted[2] + "&SUBSYS_00000000&REV_" + revision;
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
        fromLspci.insert(key);
    }

    std::set<std::string> fromRegistry;
    for (const auto& device : readBranch(systemRegistry()))
        fromRegistry.insert(device.first);
    EXPECT_EQ(fromRegistry, fromLspci);
}

}
