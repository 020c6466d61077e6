// SPDX-License-Identifier: GPL-2.0-or-later
// The scan against Wine's real registry, loaded with the fixture of
// import-fixture.sh. Wine keeps a key of its own there too.
#include "TempDir.h"
#include "pciScan.h"
#include "platform/registry_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::vector<std::string> branchNames()
{
    std::vector<std::string> names;
    HKEY branch;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, pciBranchPath, &branch) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD index = 0; RegEnumKeyA(branch, index, name, sizeof name) == ERROR_SUCCESS; ++index)
        names.push_back(name);
    RegCloseKey(branch);
    return names;
}

class WineScan : public testing::Test {
protected:
    void SetUp() override
    {
        testing::internal::CaptureStdout();
        database = std::make_unique<HardwareDatabase>(dir.write(
            "devices.lst", "\"0x8086\",\"0x10D3\",\"Intel Corporation\",\"sample\",\"82574L\"\n"));
        testing::internal::GetCapturedStdout();
        devices = scanPciRegistry(windowsRegistry(), *database);
        for (const auto& record : devices)  // the first instance of each
            byIds.emplace(record->entry.vendorId + ":" + record->entry.deviceId, record.get());
    }

    TempDir dir;
    std::unique_ptr<HardwareDatabase> database;
    std::vector<std::unique_ptr<DeviceRecord>> devices;
    std::map<std::string, const DeviceRecord*> byIds;
};

TEST_F(WineScan, ReadsTheFixtureDevices)
{
    ASSERT_EQ(byIds.count("0x8086:0x10D3"), 1u);
    const DeviceRecord& nic = *byIds["0x8086:0x10D3"];
    EXPECT_EQ(nic.description, "Intel(R) 82574L Gigabit Network Connection");
    EXPECT_EQ(nic.deviceClass, "Net");
    EXPECT_EQ(nic.manufacturer, "Intel");
    EXPECT_EQ(nic.entry.text3, "82574L");

    // Each instance of a device key is a device of its own, told by its instance ID.
    std::vector<std::string> instances;
    for (const auto& record : devices)
        if (record->keyName == "VEN_8086&DEV_A2AF&SUBSYS_86941043&REV_00")
            instances.push_back(record->instanceId + " " + record->description);
    EXPECT_EQ(instances, (std::vector<std::string>{
        "PCI\\VEN_8086&DEV_A2AF&SUBSYS_86941043&REV_00\\0000 First instance",
        "PCI\\VEN_8086&DEV_A2AF&SUBSYS_86941043&REV_00\\0001 Second instance"}));

    // Windows 7 and later write indirect strings: Mfg shows its text, DeviceDesc
    // gives what follows its first ';'.
    ASSERT_EQ(byIds.count("0x8086:0xA330"), 1u);
    EXPECT_EQ(byIds["0x8086:0xA330"]->manufacturer, "Intel");
    EXPECT_EQ(byIds["0x8086:0xA330"]->description,
              "Intel(R) 300 Series Chipset Family PCI Express Root Port #9 - A330");
    // Code page 1252, the tests' default, made UTF-8.
    ASSERT_EQ(byIds.count("0x8086:0x15BC"), 1u);
    EXPECT_EQ(byIds["0x8086:0x15BC"]->description, "Intel\u00ae Ethernet Connection (7) I219-V");
}

TEST_F(WineScan, ReadsLongAndUnterminatedValuesWhole)
{
    ASSERT_EQ(byIds.count("0x1B21:0x1242"), 1u);
    const DeviceRecord& usb = *byIds["0x1B21:0x1242"];
    EXPECT_EQ(usb.deviceClass, "USB");  // a REG_SZ without its zero
    EXPECT_EQ(usb.description.size(), 17u * 176u);
    EXPECT_EQ(usb.description.substr(0, 17), "Long description ");
}

TEST_F(WineScan, SkipsWhatCannotBeReadAndGoesOn)
{
    EXPECT_EQ(byIds.count("0x10EC:0x8168"), 0u);   // no instance key
    EXPECT_EQ(byIds.count("0x1AF4:0x1041"), 0u);   // a name the ANSI functions cannot open
    EXPECT_EQ(byIds.count("0x1234:0x"), 0u);       // too short a name
    // Wine's own adapter: no ';' in its DeviceDesc, which is its name as it stands; no Mfg.
    ASSERT_EQ(byIds.count("0x0000:0x0000"), 1u);
    EXPECT_NE(byIds["0x0000:0x0000"]->description, "unknown value");
    EXPECT_NE(byIds["0x0000:0x0000"]->description, "");
    EXPECT_EQ(byIds["0x0000:0x0000"]->manufacturer, "");
}

TEST_F(WineScan, KeepsTheRegistryOrder)
{
    std::vector<std::string> expected;
    for (const std::string& name : branchNames())
        if (std::any_of(devices.begin(), devices.end(), [&name](const auto& record) { return record->keyName == name; }))
            expected.push_back(name);
    std::vector<std::string> scanned;  // each device key once, its instances together
    for (const auto& record : devices)
        if (scanned.empty() || scanned.back() != record->keyName)
            scanned.push_back(record->keyName);
    EXPECT_EQ(scanned, expected);
    EXPECT_EQ(devices.size(), 36u);  // the fixture's readable instances and Wine's own adapter
}

// A device of the live registry whose driver key is below Control\Class:
// its installed driver read from there, added for this test and taken away.
TEST(WineInstalledDriver, IsReadFromTheDriverKey)
{
    const std::string device = std::string(pciBranchPath) + "\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01";
    const std::string driverKey = std::string(controlClassPath) + "\\{4d36e972-e325-11ce-bfc1-08002be10318}\\0917";
    const auto setValues = [](const std::string& path, const std::vector<std::pair<const char*, const char*>>& values) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr), ERROR_SUCCESS) << path;
        for (const auto& [name, text] : values)
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(std::strlen(text) + 1));
        RegCloseKey(key);
    };
    setValues(device + "\\3&267a616a&0&18", {{"DeviceDesc", "Installed"}, {"Service", "netkvm"},
                                              {"Driver", "{4d36e972-e325-11ce-bfc1-08002be10318}\\0917"}});
    setValues(driverKey, {{"DriverDesc", "Red Hat VirtIO Ethernet Adapter"}, {"ProviderName", "Red Hat, Inc."},
                          {"DriverDate", "8-31-2023"}, {"DriverVersion", "100.94.104.24000"}, {"InfPath", "oem3.inf"},
                          {"InfSection", "kvmnet6.ndi"}, {"MatchingDeviceId", "PCI\\VEN_1AF4&DEV_1041"}});
    const DeviceRecords devices = readPciBranch(windowsRegistry());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, device.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, driverKey.c_str());
    const auto found = std::find_if(devices.begin(), devices.end(),
                                    [](const auto& record) { return record->description == "Installed"; });
    ASSERT_NE(found, devices.end());
    ASSERT_TRUE((*found)->installedDriver);
    const InstalledDriver& driver = *(*found)->installedDriver;
    EXPECT_EQ(driver.description + "|" + driver.provider + "|" + driver.version + "|" + driver.date + "|" + driver.inf +
                  "|" + driver.section + "|" + driver.matchingId,
              "Red Hat VirtIO Ethernet Adapter|Red Hat, Inc.|100.94.104.24000|2023-08-31|oem3.inf|kvmnet6.ndi|"
              "PCI\\VEN_1AF4&DEV_1041");
    EXPECT_TRUE((*found)->driverKeysRecorded);
}

}
