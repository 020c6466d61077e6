// SPDX-License-Identifier: GPL-2.0-or-later
// The main form's scan of the PCI branch, against an in-memory registry.
#include "MemoryRegistry.h"
#include "TempDir.h"
#include "deviceOutline.h"
#include "flException.h"
#include "installedDriver.h"
#include "pciScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;

class Scan : public testing::Test {
protected:
    Scan()
    {
        testing::internal::CaptureStdout();
        database = std::make_unique<HardwareDatabase>(dir.write(
            "devices.lst", "\"0x8086\",\"0x10D3\",\"Intel Corporation\",\"sample\",\"82574L\"\n"));
        testing::internal::GetCapturedStdout();
    }

    // What the main form's scan makes of the registry.
    struct Form {
        std::vector<std::unique_ptr<DeviceRecord>> devices;
    };
    std::unique_ptr<Form> makeForm()
    {
        auto form = std::make_unique<Form>();
        form->devices = scanPciRegistry(registry, *database);
        return form;
    }

    std::vector<std::string> descriptions()
    {
        std::vector<std::string> texts;
        const auto form = makeForm();
        for (const auto& record : form->devices)
            texts.push_back(record->description);
        EXPECT_EQ(registry.openHandleCount(), 0u) << "every opened key is closed";
        return texts;
    }

    void addDevices(const std::vector<std::string>& keyNames)
    {
        for (const std::string& name : keyNames)
            registry.addDevice(name, "Class", "Mfg", (";" + name).c_str());
    }

    void expectRaised(const std::string& message)
    {
        try {
            makeForm();
            ADD_FAILURE() << "nothing raised";
        } catch (const flException& error) {
            EXPECT_EQ(error.message, message);
            EXPECT_STREQ(error.file, "core/pciScan.cpp");
        }
        EXPECT_EQ(registry.openHandleCount(), 0u);
    }

    TempDir dir;
    MemoryRegistry registry;
    std::unique_ptr<HardwareDatabase> database;
};

const std::string nameA = "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00";
const std::string nameB = "VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06";
const std::string nameC = "VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01";

TEST_F(Scan, EmptyBranchGivesNoDevices)
{
    registry.addKey(pciBranchPath);
    EXPECT_TRUE(descriptions().empty());
}

TEST_F(Scan, KeepsRegistryOrderWithoutSortingOrMerging)
{
    addDevices({nameC, nameA, nameB});
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_00001028&REV_01", "", "", ";again");
    EXPECT_EQ(descriptions(), (std::vector<std::string>{nameC, nameA, nameB, "again"}));
}

TEST_F(Scan, MatchesEachRecordAgainstTheDatabase)
{
    addDevices({nameA, nameB, "VEN_8086&DEV_10D3&SUBSYS_00001028&REV_01"});
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 3u);
    EXPECT_EQ(form->devices[0]->entry.text3, "82574L");
    EXPECT_EQ(form->devices[1]->entry.text3, "");
    EXPECT_EQ(form->devices[1]->entry.deviceId, "0x8168");
    EXPECT_EQ(form->devices[2]->entry.text1, "Intel Corporation");
}

TEST_F(Scan, ShortNamesAreSkippedFromNineCharactersDown)
{
    addDevices({"VEN_8086&", "VEN_8086&D", "VEN_8086&DEV", "X", nameA});
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 3u);
    EXPECT_EQ(form->devices[0]->description, "VEN_8086&D");
    EXPECT_EQ(form->devices[0]->entry.vendorId, "0x8086");
    EXPECT_EQ(form->devices[0]->entry.deviceId, "0x");
    EXPECT_EQ(form->devices[1]->description, "VEN_8086&DEV");
    EXPECT_EQ(registry.openHandleCount(), 0u);
}

// Every instance of a device key is a device of its own, in the registry's
// order, known by its instance ID: two identical cards are two devices, and
// the one whose install failed needs attention whichever comes first.
TEST_F(Scan, ReadsEveryInstance)
{
    const std::string deviceKey = std::string(pciBranchPath) + "\\" + nameA + "\\";
    for (const bool failedFirst : {false, true}) {
        SCOPED_TRACE(failedFirst ? "the failed one first" : "the failed one second");
        MemoryRegistry cards;
        for (const char* instance : failedFirst ? std::vector<const char*>{"1", "0"} : std::vector<const char*>{"0", "1"}) {
            auto& key = cards.addKey(deviceKey + instance);
            key.setString("DeviceDesc", ";card");
            key.setString("Service", "e1000e");
            if (instance == std::string("1"))  // its install failed
                key.setValue("ConfigFlags", std::string("\x40\0\0\0", 4), registryType::dword);
        }
        const DeviceRecords devices = scanPciRegistry(cards, *database);
        ASSERT_EQ(devices.size(), 2u);
        std::vector<std::string> ids, attention;
        for (const auto& device : devices) {
            ids.push_back(device->instanceId);
            if (device->needsAttention())
                attention.push_back(device->instanceId);
            EXPECT_EQ(device->keyName, nameA);
            EXPECT_EQ(device->entry.text3, "82574L");
        }
        const std::string first = "PCI\\" + nameA + "\\" + (failedFirst ? "1" : "0");
        const std::string second = "PCI\\" + nameA + "\\" + (failedFirst ? "0" : "1");
        EXPECT_EQ(ids, (std::vector<std::string>{first, second}));
        EXPECT_EQ(attention, std::vector<std::string>{"PCI\\" + nameA + "\\1"});
        EXPECT_EQ(cards.openHandleCount(), 0u);
    }
}

struct DescriptionCase {
    const char* deviceDesc;  // null: no such value
    const char* description;
};

class Description : public Scan, public testing::WithParamInterface<DescriptionCase> {};

TEST_P(Description, IsWhatFollowsTheFirstSemicolonOrThePlainValue)
{
    registry.addDevice(nameA, "a;b", "c;d", GetParam().deviceDesc);
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_EQ(form->devices[0]->description, GetParam().description);
    EXPECT_EQ(form->devices[0]->deviceClass, "a;b");
    EXPECT_EQ(form->devices[0]->manufacturer, "c;d");
}

INSTANTIATE_TEST_SUITE_P(DeviceDesc, Description, testing::Values(
    DescriptionCase{"@net.inf,%e1000e%;Intel Network", "Intel Network"},
    DescriptionCase{"a;b;c", "b;c"},
    DescriptionCase{"ends with;", ""},
    DescriptionCase{";", ""},
    DescriptionCase{"Readable but no separator", "Readable but no separator"},
    DescriptionCase{"", "unknown value"},
    DescriptionCase{nullptr, "unknown value"}));

TEST_F(Scan, MissingOrUnreadableValuesAreEmpty)
{
    registry.addDevice(nameA, nullptr, nullptr, ";only a description");
    registry.addDevice(nameB, "class", "maker", ";b");
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 2u);
    EXPECT_EQ(form->devices[0]->deviceClass, "");
    EXPECT_EQ(form->devices[0]->manufacturer, "");
    EXPECT_EQ(form->devices[1]->deviceClass, "class");
}

TEST_F(Scan, ValueThatCannotBeReadIsEmpty)
{
    registry.addDevice(nameA, "class", "maker", ";a");
    registry.failQuery("Mfg", 5);
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_EQ(form->devices[0]->manufacturer, "");
    EXPECT_EQ(form->devices[0]->deviceClass, "class");
}

TEST_F(Scan, ValuesAreTextUpToTheFirstZeroAndReadWhole)
{
    auto& device = registry.addDevice(nameA, nullptr, nullptr, nullptr);
    auto& instance = *device.subKey("0000");
    const std::string longText(3000, 'd');
    instance.setString("DeviceDesc", "x;" + longText);
    instance.setValue("Class", std::string("no terminator"), registryType::string);  // without a zero
    instance.setValue("Mfg", std::string("cut\0here", 8), registryType::string);
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_EQ(form->devices[0]->description, longText);
    EXPECT_EQ(form->devices[0]->deviceClass, "no terminator");
    EXPECT_EQ(form->devices[0]->manufacturer, "cut");
}

TEST_F(Scan, ValueExactlyFillingTheBufferHasNoTerminator)
{
    auto& device = registry.addDevice(nameA, nullptr, nullptr, nullptr);
    device.subKey("0000")->setValue("Class", std::string(1024, 'c'), registryType::string);
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_EQ(form->devices[0]->deviceClass, std::string(1024, 'c'));
}

// An instance whose keys cannot be read is left out; the instances and
// devices after it are not.
enum class Broken { OpenFails, NoInstance, EnumFails, InstanceOpenFails, FirstOfTwoFails };

class BrokenDevice : public Scan, public testing::WithParamInterface<Broken> {};

TEST_P(BrokenDevice, IsSkippedAndTheScanGoesOn)
{
    addDevices({nameA});
    std::vector<std::string> expected = {nameA, nameC};
    switch (GetParam()) {
    case Broken::OpenFails:
        addDevices({nameB});
        registry.failOpen(nameB, 5);
        break;
    case Broken::NoInstance:
        registry.addKey(std::string(pciBranchPath) + "\\" + nameB);
        break;
    case Broken::EnumFails:
        addDevices({nameB});
        registry.failEnum(nameB, 1450);
        break;
    case Broken::InstanceOpenFails:
        registry.addKey(std::string(pciBranchPath) + "\\" + nameB + "\\broken");
        registry.failOpen("broken", 2);
        break;
    case Broken::FirstOfTwoFails:
        registry.addKey(std::string(pciBranchPath) + "\\" + nameB + "\\broken");
        registry.addKey(std::string(pciBranchPath) + "\\" + nameB + "\\read").setString("DeviceDesc", ";read");
        registry.failOpen("broken", 2);
        expected = {nameA, "read", nameC};
        break;
    }
    addDevices({nameC});
    EXPECT_EQ(descriptions(), expected);
}

INSTANTIATE_TEST_SUITE_P(Failures, BrokenDevice,
                         testing::Values(Broken::OpenFails, Broken::NoInstance, Broken::EnumFails,
                                         Broken::InstanceOpenFails, Broken::FirstOfTwoFails));

TEST_F(Scan, TenThousandDeviceKeys)
{
    char name[64];
    for (int i = 0; i < 10000; ++i) {
        std::snprintf(name, sizeof name, "VEN_%04X&DEV_%04X&SUBSYS_00000000&REV_00", i / 256, i);
        registry.addDevice(name, "c", "m", (";" + std::to_string(i)).c_str());
    }
    const auto texts = descriptions();
    ASSERT_EQ(texts.size(), 10000u);
    EXPECT_EQ(texts.front(), "0");
    EXPECT_EQ(texts.back(), "9999");
}

#ifndef _WIN32
// Another program cuts devices.lst short while the scan is looking devices
// up in it (after the first device here): what the lookups found may not be
// the file, and the scan fails as a database that cannot be opened does.
TEST_F(Scan, DatabaseCutShortDuringTheScanFailsIt)
{
    struct CuttingRegistry : MemoryRegistry {
        std::string path;
        long queryValue(Key key, const char* valueName, std::uint32_t* type, unsigned char* data,
                        std::uint32_t* dataSize) override
        {
            if (!path.empty())
                std::filesystem::resize_file(std::exchange(path, std::string()), 10);
            return MemoryRegistry::queryValue(key, valueName, type, data, dataSize);
        }
    } cutting;
    cutting.path = dir.file("devices.lst");
    cutting.addDevice(nameA, "Class", "Mfg", ";a");
    cutting.addDevice(nameB, "Class", "Mfg", ";b");
    try {
        scanPciRegistry(cutting, *database);
        ADD_FAILURE() << "nothing raised";
    } catch (const flException& error) {
        EXPECT_EQ(error.message, "Failed to open " + dir.file("devices.lst") + " for read accesss ");
    }
    EXPECT_EQ(cutting.openHandleCount(), 0u);
}
#endif

TEST_F(Scan, BranchThatCannotBeOpenedIsFatal)
{
    expectRaised("Failed to open PCI Root key.");  // no PCI branch at all
    registry.addKey(pciBranchPath);
    registry.failOpen(pciBranchPath, 5);
    expectRaised("Failed to open PCI Root key.");
}

TEST_F(Scan, EnumerationFailureListsNothing)
{
    addDevices({nameA, nameB});
    registry.failEnum("PCI", 1018, 2);
    expectRaised("Failed to enumerate PCI root key (1018) ");
    registry.failEnum("PCI", 234, 0);
    expectRaised("Failed to enumerate PCI root key (234) ");
}

// --- what the system records of a device's driver and place ------------------

// An instance value: its type and bytes; a REG_SZ gets its terminating zero.
struct ValueSpec {
    const char* name;
    std::uint32_t type;
    std::string data;
};
ValueSpec sz(const char* name, const std::string& text) { return {name, registryType::string, text + '\0'}; }
ValueSpec dword(const char* name, std::uint32_t n)
{
    return {name, registryType::dword,
            std::string{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16), static_cast<char>(n >> 24)}};
}

struct InstanceCase {
    const char* what;
    std::vector<ValueSpec> values;
    std::string windowsLines;  // below "Windows", one per line, as the outline shows them
    bool attention;
};

class Instance : public Scan, public testing::WithParamInterface<InstanceCase> {};

TEST_P(Instance, GivesTheLinesBelowWindows)
{
    KeyTreeRegistry::Node& instance = *registry.addDevice(nameA, "Net", "Intel", ";d").subKey("0000");
    for (const ValueSpec& value : GetParam().values)
        instance.setValue(value.name, value.data, value.type);
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    std::string lines, group;
    for (const OutlineLine& line : outlineOf(*form->devices[0])) {
        if (line.depth == 1)
            group = line.text;
        else if (group == "Windows")
            lines += line.text + "|";
    }
    EXPECT_EQ(lines, GetParam().windowsLines);
    EXPECT_EQ(form->devices[0]->needsAttention(), GetParam().attention);
}

INSTANTIATE_TEST_SUITE_P(Drivers, Instance, testing::Values(
    InstanceCase{"NoValues", {}, "Net|Intel|No driver|", true},
    InstanceCase{"Service", {sz("Service", "e1000e")}, "Net|Intel|Driver: e1000e|", false},
    InstanceCase{"ServiceDisabled", {sz("Service", "e1000e"), dword("ConfigFlags", 0x1)},
                 "Net|Intel|Driver: e1000e (disabled)|", true},
    InstanceCase{"ServiceFlagsZero", {sz("Service", "e1000e"), dword("ConfigFlags", 0)}, "Net|Intel|Driver: e1000e|", false},
    InstanceCase{"FailedInstall", {sz("Service", "e1000e"), dword("ConfigFlags", 0x40)}, "Net|Intel|No driver|", true},
    InstanceCase{"Reinstall", {sz("Driver", "{4d36e972}\\0001"), dword("ConfigFlags", 0x20)}, "Net|Intel|No driver|", true},
    InstanceCase{"SoftwareKeyOnly", {sz("Driver", "{4d36e97d}\\0012")}, "Net|Intel|No driver needed|", false},
    InstanceCase{"EmptyServiceIsNone", {sz("Service", ""), sz("Driver", "{x}\\0001")}, "Net|Intel|No driver needed|", false},
    InstanceCase{"FlagsAsTextAreNoFlags", {sz("Service", "e1000e"), sz("ConfigFlags", "1")}, "Net|Intel|Driver: e1000e|", false},
    InstanceCase{"FlagsOfTwoBytesAreNoFlags",
                 {sz("Service", "e1000e"), {"ConfigFlags", registryType::binary, std::string("\x01\x00", 2)}},
                 "Net|Intel|Driver: e1000e|", false},
    // Texts of a type that holds none are no texts: their bytes would show as garbage.
    InstanceCase{"ServiceOfNoTextType", {{"Service", registryType::binary, std::string("\x01\x02\x03\x04", 4)}},
                 "Net|Intel|No driver|", true},
    InstanceCase{"ServiceAsMultiString", {{"Service", registryType::multiString, std::string("e1000e\0x\0\0", 10)}},
                 "Net|Intel|Driver: e1000e|", false},
    InstanceCase{"IndirectTexts",
                 {sz("Mfg", "@oem41.inf,%nvidia%;NVIDIA"), sz("Class", "@x.inf,%c%;Display; adapters"),
                  sz("Service", "nvlddmkm"),
                  sz("LocationInformation", "@System32\\drivers\\pci.sys,#65536;PCI bus %1, device %2, function %3;(0,31,4)")},
                 "Display; adapters|NVIDIA|Driver: nvlddmkm|Location: PCI bus 0, device 31, function 4|", false},
    InstanceCase{"PlainTextsAsTheyAre",
                 {sz("Mfg", "@no comma;x"), sz("Class", "@a;b,c"), sz("Service", "s"),
                  sz("LocationInformation", "PCI bus %1;(7)")},
                 "@a;b,c|@no comma;x|Driver: s|Location: PCI bus %1;(7)|", false},
    InstanceCase{"LocationWithTooFewArguments",
                 {sz("Service", "s"), sz("LocationInformation", "@pci.sys,#1;bus %1, device %2, %x %;(3)")},
                 "Net|Intel|Driver: s|Location: bus 3, device %2, %x %|", false}));

TEST_F(Scan, AProblemTheSystemReportsIsOnTheDriverLine)
{
    registry.addDevice(nameA, "Net", "Intel", ";d").subKey("0000")->setString("Service", "e1000e");
    registry.addDevice(nameC, "Net", "Red Hat", ";e");
    registry.reportProblem(nameA, 43);
    registry.reportProblem(nameC, 28);
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 2u);
    EXPECT_EQ(driverLine(*form->devices[0]), "Driver: e1000e (code 43)");
    EXPECT_EQ(driverLine(*form->devices[1]), "No driver (code 28)");
    EXPECT_TRUE(form->devices[0]->needsAttention());
    EXPECT_EQ(markOf(*form->devices[0]), DeviceMark::problem);
}


// The IDs Windows gave a device are taken as its instance key records them,
// the class code with them; without them, those Windows would make of the key's numbers.
TEST_F(Scan, WindowsIdsAsRecordedOrMadeFromTheKey)
{
    const std::string recorded = std::string("PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00") + '\0' +
                                 "PCI\\VEN_8086&DEV_10D3&CC_020000" + '\0' + '\0';
    registry.addDevice(nameA, "Net", "Intel", ";a").subKey("0000")->setValue("HardwareID", recorded, registryType::multiString);
    registry.addDevice(nameB, "Net", "Realtek", ";b");
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 2u);
    EXPECT_EQ(form->devices[0]->hardwareIds(), (std::vector<std::string>{"PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00",
                                                                         "PCI\\VEN_8086&DEV_10D3&CC_020000"}));
    EXPECT_EQ(form->devices[0]->ids.classId, 0x0200);
    EXPECT_EQ(form->devices[0]->compatibleIds().front(), "PCI\\VEN_8086&DEV_10D3&REV_00");
    EXPECT_EQ(form->devices[0]->compatibleIds().back(), "PCI\\CC_0200");  // the class code recorded counts
    EXPECT_EQ(form->devices[1]->hardwareIds(), (std::vector<std::string>{"PCI\\VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06",
                                                                         "PCI\\VEN_10EC&DEV_8168&SUBSYS_01231028"}));
    EXPECT_EQ(form->devices[1]->compatibleIds(), (std::vector<std::string>{"PCI\\VEN_10EC&DEV_8168&REV_06",
                                                                           "PCI\\VEN_10EC&DEV_8168", "PCI\\VEN_10EC"}));
}

}

// The installed driver, read from the driver key the instance's "Driver"
// names below Control\Class; the rank from the instance's device properties.
struct DriverKeyCase {
    const char* what;
    std::string driverValue;             // the instance's "Driver"
    std::vector<ValueSpec> keyValues;    // of Control\Class\{4d36e972-...}\0007; none: no such key
    std::string installedLines;          // the installed driver's lines below Windows, "|" after each
};

class DriverKey : public Scan, public testing::WithParamInterface<DriverKeyCase> {};

const std::string driverKeyName = "{4d36e972-e325-11ce-bfc1-08002be10318}\\0007";

TEST_P(DriverKey, GivesTheInstalledDriver)
{
    KeyTreeRegistry::Node& instance = *registry.addDevice(nameC, "Net", "Red Hat", ";e").subKey("0000");
    instance.setString("Service", "netkvm");
    instance.setString("Driver", GetParam().driverValue);
    instance.setValue("HardwareID", "PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01\0PCI\\VEN_1AF4&DEV_1041\0\0"s,
                      registryType::multiString);
    registry.addKey(controlClassPath);
    if (!GetParam().keyValues.empty()) {
        KeyTreeRegistry::Node& key = registry.addKey(std::string(controlClassPath) + "\\" + driverKeyName);
        for (const ValueSpec& value : GetParam().keyValues)
            key.setValue(value.name, value.data, value.type);
    }
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_TRUE(form->devices[0]->driverKeysRecorded);
    std::string lines;
    for (const OutlineLine& line : outlineOf(*form->devices[0]))
        if (line.depth == 3 || line.text.rfind("Installed driver: ", 0) == 0)
            lines += line.text + "|";
    EXPECT_EQ(lines, GetParam().installedLines);
    EXPECT_EQ(registry.openHandleCount(), 0u);
}

const std::vector<ValueSpec> netkvmKey = {
    sz("DriverDesc", "Red Hat VirtIO Ethernet Adapter"), sz("ProviderName", "Red Hat, Inc."),
    sz("DriverDate", "1-9-2024"), sz("DriverVersion", "100.94.104.24000"), sz("InfPath", "oem3.inf"),
    sz("InfSection", "kvmnet6.ndi"), sz("MatchingDeviceId", "PCI\\VEN_1AF4&DEV_1041")};
const std::string netkvmLines = "Installed driver: Red Hat VirtIO Ethernet Adapter, 100.94.104.24000, 2024-01-09|"
                                "Provider: Red Hat, Inc.|INF: oem3.inf, section kvmnet6.ndi|"
                                "Matched: PCI\\VEN_1AF4&DEV_1041|";
std::vector<ValueSpec> with(std::vector<ValueSpec> values, const ValueSpec& more)
{
    values.push_back(more);
    return values;
}

INSTANTIATE_TEST_SUITE_P(Installed, DriverKey, testing::Values(
    DriverKeyCase{"AsRecorded", driverKeyName, netkvmKey,
                  netkvmLines + "Rank 00ff0001, made from the ID it matched (signed and no feature score taken): signed, "
                                "no feature score, the device's hardware ID 2 matched the INF's hardware ID|"},
    // DriverDateData, a FILETIME (2024-03-05 12:00 UTC), is the more precise of the two.
    DriverKeyCase{"DateDataBeforeDate", driverKeyName,
                  with(netkvmKey, {"DriverDateData", registryType::binary, "\x00\x98\xc4\x8a\xf7\x6e\xda\x01"s}),
                  "Installed driver: Red Hat VirtIO Ethernet Adapter, 100.94.104.24000, 2024-03-05|"
                  "Provider: Red Hat, Inc.|INF: oem3.inf, section kvmnet6.ndi|Matched: PCI\\VEN_1AF4&DEV_1041|"
                  "Rank 00ff0001, made from the ID it matched (signed and no feature score taken): signed, "
                  "no feature score, the device's hardware ID 2 matched the INF's hardware ID|"},
    DriverKeyCase{"NoSuchKey", driverKeyName, {}, ""},
    DriverKeyCase{"KeyWithoutADriver", driverKeyName, {sz("Other", "x")}, ""},
    // A "Driver" value that names no driver key leads nowhere else in the registry.
    DriverKeyCase{"NameWithMoreParts", driverKeyName + "\\..", netkvmKey, ""},
    DriverKeyCase{"NameWithoutBraces", "4d36e972\\0007", netkvmKey, ""},
    DriverKeyCase{"NameOfOnePart", "{4d36e972-e325-11ce-bfc1-08002be10318}", netkvmKey, ""}));

TEST_F(Scan, TheRankWindowsRecordedIsTheRank)
{
    KeyTreeRegistry::Node& instance = *registry.addDevice(nameC, "Net", "Red Hat", ";e").subKey("0000");
    instance.setString("Driver", driverKeyName);
    KeyTreeRegistry::Node& key = registry.addKey(std::string(controlClassPath) + "\\" + driverKeyName);
    for (const ValueSpec& value : netkvmKey)
        key.setValue(value.name, value.data, value.type);
    instance.addSubKey("Properties").addSubKey("{a8b865dd-2e3d-4094-ad97-e593a70c75d6}").addSubKey("000E")
        .setValue("", "\x01\x20\xff\x00"s, driverRankType);
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_EQ(form->devices[0]->driverRank, 0x00ff2001u);
    const DeviceOutline outline = outlineOf(*form->devices[0]);
    EXPECT_TRUE(std::any_of(outline.begin(), outline.end(), [](const OutlineLine& line) {
        return line.text == "Rank 00ff2001, recorded by Windows: signed, no feature score, the device's compatible ID 2 "
                            "matched the INF's hardware ID";
    }));
}

// A registry without Control\Class (an export of Enum\PCI alone) keeps no
// driver keys: said once of the machine, not of each device.
TEST_F(Scan, WithoutDriverKeysNothingIsInstalled)
{
    registry.addDevice(nameC, "Net", "Red Hat", ";e").subKey("0000")->setString("Driver", driverKeyName);
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_FALSE(form->devices[0]->driverKeysRecorded);
    EXPECT_FALSE(form->devices[0]->installedDriver);
    EXPECT_NE(installedDriversNotice(form->devices), "");
    registry.addKey(controlClassPath);
    EXPECT_EQ(installedDriversNotice(makeForm()->devices), "");
}
