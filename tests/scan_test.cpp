// The main form's scan of the PCI branch, against an in-memory registry.
#include "MemoryRegistry.h"
#include "TempDir.h"
#include "flException.h"
#include "pciScan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

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

TEST_F(Scan, ReadsTheFirstInstanceOnly)
{
    auto& device = registry.addDevice(nameA, "first class", "first maker", ";first");
    auto& second = device.addSubKey("0001");
    second.setString("DeviceDesc", ";second");
    EXPECT_EQ(descriptions(), std::vector<std::string>{"first"});
}

struct DescriptionCase {
    const char* deviceDesc;  // null: no such value
    const char* description;
};

class Description : public Scan, public testing::WithParamInterface<DescriptionCase> {};

TEST_P(Description, IsWhatFollowsTheFirstSemicolon)
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
    DescriptionCase{"Readable but no separator", "unknown value"},
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
    instance.setValue("Class", std::string("no terminator"));       // REG_BINARY without a zero
    instance.setValue("Mfg", std::string("cut\0here", 8));
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_EQ(form->devices[0]->description, longText);
    EXPECT_EQ(form->devices[0]->deviceClass, "no terminator");
    EXPECT_EQ(form->devices[0]->manufacturer, "cut");
}

TEST_F(Scan, ValueExactlyFillingTheBufferHasNoTerminator)
{
    auto& device = registry.addDevice(nameA, nullptr, nullptr, nullptr);
    device.subKey("0000")->setValue("Class", std::string(1024, 'c'));
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_EQ(form->devices[0]->deviceClass, std::string(1024, 'c'));
}

// A device whose keys cannot be read is left out; the devices after it are not.
enum class Broken { OpenFails, NoInstance, EnumFails, InstanceOpenFails };

class BrokenDevice : public Scan, public testing::WithParamInterface<Broken> {};

TEST_P(BrokenDevice, IsSkippedAndTheScanGoesOn)
{
    addDevices({nameA});
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
    }
    addDevices({nameC});
    EXPECT_EQ(descriptions(), (std::vector<std::string>{nameA, nameC}));
}

INSTANTIATE_TEST_SUITE_P(Failures, BrokenDevice,
                         testing::Values(Broken::OpenFails, Broken::NoInstance, Broken::EnumFails,
                                         Broken::InstanceOpenFails));

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

}
