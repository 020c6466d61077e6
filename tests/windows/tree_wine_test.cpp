// SPDX-License-Identifier: GPL-2.0-or-later
// The main form on Wine's registry, loaded with the fixture of a real machine,
// and the full devices.lst: the tree, item by item. The form reads the
// registry's ANSI functions; the expected texts come from its UTF-16 ones.
#include "DeviceTree.h"
#include "TempDir.h"
#include "flMainForm.h"
#include "registry.h"

#include <FL/Fl_Tree_Item.H>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& wide)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                        nullptr);
    return text;
}

// True when the text passes through the ANSI code page unchanged.
bool fitsCodePage(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()))));
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                        nullptr, &lossy);
    return !lossy;
}

// A value as the registry holds it, as UTF-8 text up to its first zero;
// empty when it is missing.
std::string storedValue(HKEY key, const wchar_t* name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::string();
    std::vector<BYTE> data(size + sizeof(wchar_t));
    RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
        const std::string bytes(data.begin(), data.begin() + size);
        return bytes.substr(0, bytes.find('\0'));
    }
    const std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    return utf8(text.substr(0, text.find(L'\0')));
}

struct Device {
    std::string keyName, deviceClass, manufacturer, description;
};

// The device instances the scan can read, in the order RegEnumKeyA gives
// them: below names of ten characters or more that the ANSI functions open.
std::vector<Device> readableDevices()
{
    std::vector<Device> devices;
    HKEY branch;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, pciBranchPath, &branch) != ERROR_SUCCESS)
        return devices;
    char name[256], instanceName[256];
    for (DWORD index = 0; RegEnumKeyA(branch, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
        HKEY device, instance;
        if (std::string(name).size() < 10 || RegOpenKeyA(branch, name, &device) != ERROR_SUCCESS)
            continue;
        for (DWORD i = 0; RegEnumKeyA(device, i, instanceName, sizeof instanceName) == ERROR_SUCCESS; ++i) {
            if (RegOpenKeyA(device, instanceName, &instance) != ERROR_SUCCESS)
                continue;
            const std::string deviceDesc = storedValue(instance, L"DeviceDesc");
            const std::size_t separator = deviceDesc.find(';');
            devices.push_back({name, storedValue(instance, L"Class"), storedValue(instance, L"Mfg"),
                               separator != std::string::npos ? deviceDesc.substr(separator + 1)
                               : deviceDesc.empty()           ? "unknown value"
                                                              : deviceDesc});
            RegCloseKey(instance);
        }
        RegCloseKey(device);
    }
    RegCloseKey(branch);
    return devices;
}

// What is shown of an indirect string, "@file,resource;text": the text.
std::string shown(const std::string& value)
{
    return value.rfind('@', 0) == 0 && value.find(';') != std::string::npos ? value.substr(value.find(';') + 1) : value;
}

std::vector<std::string> childLabels(const Fl_Tree_Item* item)
{
    std::vector<std::string> labels;
    for (int i = 0; i < item->children(); ++i)
        labels.push_back(item->child(i)->label() ? item->child(i)->label() : "(null)");
    return labels;
}

class WineTree : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string database = readFile(CORVANE_FULL_DATABASE);
        ASSERT_GT(database.size(), 1000000u) << CORVANE_FULL_DATABASE;
        dir.write("devices.lst", database);
        previousDirectory = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        testing::internal::CaptureStdout();
        form = std::make_unique<flMainForm>();
        testing::internal::GetCapturedStdout();
        expected = readableDevices();
        root = form->tree->root();
        for (int i = 0; i < root->children(); ++i)  // made, as when opened
            form->tree->buildLines(root->child(i));
    }
    void TearDown() override { std::filesystem::current_path(previousDirectory); }

    // The device line of the key whose name starts with `prefix`.
    const Fl_Tree_Item* deviceLine(const std::string& prefix) const
    {
        for (std::size_t i = 0; i < expected.size() && i < static_cast<std::size_t>(root->children()); ++i)
            if (expected[i].keyName.compare(0, prefix.size(), prefix) == 0)
                return root->child(static_cast<int>(i));
        return nullptr;
    }

    TempDir dir;
    std::filesystem::path previousDirectory;
    std::unique_ptr<flMainForm> form;
    std::vector<Device> expected;
    Fl_Tree_Item* root = nullptr;
};

TEST_F(WineTree, OneClosedLinePerDeviceInstanceInRegistryOrder)
{
    ASSERT_GE(expected.size(), 20u) << "fixture not loaded";
    ASSERT_EQ(root->children(), static_cast<int>(expected.size()));
    ASSERT_EQ(form->devices.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Device& device = expected[i];
        const Fl_Tree_Item* line = root->child(static_cast<int>(i));
        SCOPED_TRACE(device.keyName);
        EXPECT_TRUE(line->is_close());
        ASSERT_EQ(childLabels(line), (std::vector<std::string>{"Windows", "Database"}));
        EXPECT_TRUE(line->child(0)->is_close());
        EXPECT_TRUE(line->child(1)->is_close());
        // Texts outside the ANSI code page cannot come through its functions;
        // a name another device shows too is followed by what tells it apart.
        if (fitsCodePage(device.description)) {
            EXPECT_EQ(std::string(line->label()).rfind(device.description, 0), 0u) << line->label();
        }
        if (fitsCodePage(device.deviceClass + device.manufacturer)) {
            const std::vector<std::string> windows = childLabels(line->child(0));
            ASSERT_GE(windows.size(), 2u);
            EXPECT_EQ(windows[0], shown(device.deviceClass));
            EXPECT_EQ(windows[1], shown(device.manufacturer));
        }
        // vendorId, deviceId, text1, then text3 before text2
        const HardwareEntry& entry = form->devices[i]->entry;
        EXPECT_EQ(childLabels(line->child(1)),
                  (std::vector<std::string>{"0x" + device.keyName.substr(4, 4), "0x" + device.keyName.substr(13, 4),
                                            entry.text1, entry.text3, entry.text2}));
    }
}

TEST_F(WineTree, DatabaseKnowsTheMachineButOneDevice)
{
    for (const auto& [prefix, vendor] : std::vector<std::pair<std::string, std::string>>{
             {"VEN_8086&DEV_A330", "Intel Corporation"},
             {"VEN_10DE&DEV_1E84", "NVIDIA Corporation"},
             {"VEN_144D&DEV_A808", "Samsung Electronics Co Ltd"},
             {"VEN_1E4B&DEV_1FFF", ""}}) {
        SCOPED_TRACE(prefix);
        const Fl_Tree_Item* line = deviceLine(prefix);
        ASSERT_NE(line, nullptr);
        const std::vector<std::string> database = childLabels(line->child(1));
        ASSERT_EQ(database.size(), 5u);
        EXPECT_EQ(database[2], vendor);
        EXPECT_EQ(database[3].empty(), vendor.empty());  // the device's name
    }
}

// What Windows records of each device's driver and place, as Device Manager
// says it; the devices that need attention carry their mark.
TEST_F(WineTree, DriverAndLocationLines)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"VEN_10DE&DEV_1E84",
         {"Display", "NVIDIA", "Driver: nvlddmkm", "Location: PCI bus 1, device 0, function 0"}},
        {"VEN_8086&DEV_A323",
         {"System", "Intel", "No driver", "Location: PCI bus 0, device 31, function 4"}},
        {"VEN_14E4&DEV_43A0",
         {"Net", "Broadcom", "Driver: BCMWL63A (disabled)", "Location: PCI bus 6, device 0, function 0"}},
        {"VEN_8086&DEV_A3A1",
         {"System", "Intel", "No driver needed", "Location: PCI bus 0, device 31, function 2"}},
        {"VEN_1912&DEV_0015", {"", "", "No driver", "Location: PCI bus 5, device 0, function 0"}},
        {"VEN_8086&DEV_3E30",
         {"System", "Intel", "No driver needed", "Location: PCI bus 0, device 0, function 0"}},
    };
    for (const auto& [prefix, windows] : cases) {
        SCOPED_TRACE(prefix);
        const Fl_Tree_Item* line = deviceLine(prefix);
        ASSERT_NE(line, nullptr);
        // Wine keeps driver keys of its own devices, which a fixture's Driver
        // value may name: what they hold is no part of the fixture.
        std::vector<std::string> recorded = childLabels(line->child(0));
        recorded.erase(std::remove_if(recorded.begin(), recorded.end(),
                                      [](const std::string& label) { return label.rfind("Installed driver: ", 0) == 0; }),
                       recorded.end());
        EXPECT_EQ(recorded, windows);
        const bool fine = windows[2].rfind("Driver: nvlddmkm", 0) == 0 || windows[2] == "No driver needed";
        EXPECT_EQ(line->usericon() == nullptr, fine);
    }
}

// Text outside ASCII, drawn right under the code page that holds it.
TEST_F(WineTree, TextOfTheSystemCodePageBecomesUtf8)
{
    struct Case {
        unsigned codePage;
        const char* keyPrefix;
        const char* description;
        const char* manufacturer;
    };
    const Case cases[] = {
        {1252, "VEN_8086&DEV_15BC", "Intel\u00ae Ethernet Connection (7) I219-V", "Intel"},
        {1251, "VEN_8086&DEV_244E", "\u041c\u043e\u0441\u0442 PCI-PCI",
         "(\u0421\u0442\u0430\u043d\u0434\u0430\u0440\u0442\u043d\u044b\u0435 "
         "\u0441\u0438\u0441\u0442\u0435\u043c\u043d\u044b\u0435 \u0443\u0441\u0442\u0440\u043e\u0439\u0441\u0442\u0432\u0430)"},
        {1251, "VEN_8086&DEV_15BC", "Intel\u00ae Ethernet Connection (7) I219-V", "Intel"},
    };
    int checked = 0;
    for (const Case& c : cases) {
        if (c.codePage != GetACP())
            continue;
        SCOPED_TRACE(c.keyPrefix);
        const Fl_Tree_Item* line = deviceLine(c.keyPrefix);
        ASSERT_NE(line, nullptr);
        EXPECT_STREQ(line->label(), c.description);
        EXPECT_STREQ(line->child(0)->child(1)->label(), c.manufacturer);
        ++checked;
    }
    EXPECT_GT(checked, 0) << "no case for code page " << GetACP();
}

}
