// SPDX-License-Identifier: GPL-2.0-or-later
// The main form: what its constructor does, and the device tree it builds,
// inspected without a display.
#include <gtest/gtest.h>  // before X11's macros

#include "DeviceTree.h"
#include "FormFixture.h"
#include "flException.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Tree_Item.H>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::string> childLabels(const Fl_Tree_Item* item)
{
    std::vector<std::string> labels;
    for (int i = 0; i < item->children(); ++i)
        labels.push_back(item->child(i)->label() ? item->child(i)->label() : "(null)");
    return labels;
}

class Tree : public FormFixture {};

TEST_F(Tree, FormLoadsTheDatabaseThenScans)
{
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "c", "m", ";d");
    const auto form = makeForm();
    EXPECT_EQ(output, "\n");
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_EQ(form->devices[0]->entry.text3, "82574L");
    EXPECT_EQ(registry.openHandleCount(), 0u);
}

TEST_F(Tree, MissingDatabaseStopsBeforeTheRegistry)
{
    std::remove("devices.lst");
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "c", "m", ";d");
    try {
        makeForm();
        ADD_FAILURE() << "nothing raised";
    } catch (const flException& error) {
        EXPECT_EQ(error.message, "Failed to open devices.lst for read accesss ");
    }
    EXPECT_EQ(registry.opened, 0);
}

TEST_F(Tree, WindowAndBrowserHaveTheirPlaces)
{
    registry.addKey(pciBranchPath);
    const auto form = makeForm();
    EXPECT_EQ(form->window->w(), 800);
    EXPECT_EQ(form->window->h(), 600);
    EXPECT_STREQ(form->window->label(), "Corvane 1.5.1 Release 12/17/2011'");
    EXPECT_FALSE(form->window->shown());
    // The tree, and below it the line that says what the devices come to.
    ASSERT_EQ(form->window->children(), 2);
    EXPECT_EQ(form->window->child(0), form->tree);
    EXPECT_EQ(form->window->child(1), form->verdict);
    EXPECT_EQ(form->verdict->y(), 545);
    EXPECT_LE(form->verdict->y() + form->verdict->h(), 600);
    EXPECT_STREQ(form->verdict->label(), "No PCI devices are recorded");
    EXPECT_EQ(form->tree->x(), 10);
    EXPECT_EQ(form->tree->y(), 15);
    EXPECT_EQ(form->tree->w(), 785);
    EXPECT_EQ(form->tree->h(), 525);
    EXPECT_STREQ(form->tree->label(), "Hardware Devices");
    EXPECT_EQ(form->tree->align(), FL_ALIGN_TOP);
    EXPECT_FALSE(form->tree->showroot());
    EXPECT_EQ(form->window->resizable(), nullptr);
}

TEST_F(Tree, EmptyListGivesAnEmptyTree)
{
    registry.addKey(pciBranchPath);
    const auto form = makeForm();
    EXPECT_EQ(form->tree->root()->children(), 0);
}

TEST_F(Tree, EachDeviceHoldsWindowsAndDatabaseLinesInOrder)
{
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "Ethernet controller",
                       "Intel", "e1000e;Intel & Co @C0 100%");
    registry.addDevice("VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06", "", "", "no separator");
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_00001028&REV_01", "c", "m", ";Intel & Co @C0 100%");
    const auto form = makeForm();
    Fl_Tree_Item* root = form->tree->root();
    // Two devices of one name are told apart: by their locations, here where
    // none is recorded by their instance IDs.
    EXPECT_EQ(childLabels(root), (std::vector<std::string>{
        "Intel & Co @C0 100% (PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\0000)", "no separator",
        "Intel & Co @C0 100% (PCI\\VEN_8086&DEV_10D3&SUBSYS_00001028&REV_01\\0000)"}));
    for (int i = 0; i < root->children(); ++i)
        form->tree->buildLines(root->child(i));

    const Fl_Tree_Item* matched = root->child(0);
    EXPECT_EQ(childLabels(matched), (std::vector<std::string>{"Windows", "Database"}));
    EXPECT_EQ(childLabels(matched->child(0)), (std::vector<std::string>{"Ethernet controller", "Intel", "No driver"}));
    // vendorId, deviceId, text1, then text3 before text2
    EXPECT_EQ(childLabels(matched->child(1)), (std::vector<std::string>{
        "0x8086", "0x10D3", "Intel Corporation", "82574L", "sample"}));

    const Fl_Tree_Item* unknown = root->child(1);
    EXPECT_EQ(childLabels(unknown->child(0)), (std::vector<std::string>{"", "", "No driver"}));
    EXPECT_EQ(childLabels(unknown->child(1)), (std::vector<std::string>{"0x10EC", "0x8168", "", "", ""}));
}

TEST_F(Tree, EveryGroupStartsClosedShowingOneLinePerDevice)
{
    for (int i = 0; i < 5; ++i)
        registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_0000000" + std::to_string(i) + "&REV_00", "c", "m", ";d");
    const auto form = makeForm();
    // At first a line for each device and one below it; all of its lines once they are made.
    for (const int linesPerDevice : {2, 11}) {
        int visibleLines = 0, items = 0;
        for (Fl_Tree_Item* item = form->tree->first(); item; item = item->next()) {
            if (item == form->tree->root())
                continue;
            ++items;
            if (item->has_children()) {
                EXPECT_TRUE(item->is_close()) << item->label();
            }
            visibleLines += item->visible_r();
        }
        EXPECT_EQ(items, 5 * linesPerDevice);
        EXPECT_EQ(visibleLines, 5);
        for (int i = 0; i < form->tree->root()->children(); ++i)
            form->tree->buildLines(form->tree->root()->child(i));
    }
}

TEST_F(Tree, LongLabelsStandWhole)
{
    const std::string longText(3000, 'w');
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", longText.c_str(), "m",
                       (";" + longText + "/with/slashes").c_str());
    const auto form = makeForm();
    Fl_Tree_Item* device = form->tree->root()->child(0);
    form->tree->buildLines(device);
    EXPECT_EQ(device->label(), longText + "/with/slashes");
    EXPECT_EQ(device->child(0)->child(0)->label(), longText);
}

#ifndef _WIN32
// Every form of the outline shows the same lines: corvane-list's listing of a
// file, the tree the window builds from it (each line's copy, indented by its
// depth; a line too long to draw shows its start), Copy all devices, and Copy
// device of each device's lines. What would act on a terminal is escaped in
// all of them.
struct OddDevice {
    const char* keyName;
    std::string deviceClass, manufacturer, deviceDesc;
};

std::string regText(const std::string& text)
{
    std::string escaped;
    for (const char c : text)
        escaped += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
    return escaped;
}

std::string treeText(const DeviceTree& tree, const Fl_Tree_Item* item, int depth)
{
    const std::string line = tree.lineText(item);
    if (line.size() <= 4096) {
        EXPECT_EQ(item->label() ? item->label() : "", line);
    }
    std::string text = std::string(2 * depth, ' ') + line + "\n";
    for (int i = 0; i < item->children(); ++i)
        text += treeText(tree, item->child(i), depth + 1);
    return text;
}

TEST_F(Tree, ListTreeAndCopiesShowTheSameLines)
{
    const std::string longText(5000, 'L');
    const std::vector<OddDevice> devices = {
        {"VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "Net", "Intel", "e1000e;In the database"},
        {"VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06", "", "", ""},  // no line, empty texts, no ';'
        {"VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01", longText, longText, ";" + longText},
        {"VEN_1106&DEV_3038&SUBSYS_00000000&REV_01", "Мост Ω", "Café € \"quoted\" back\\slash", ";@Cyr Мост;more"},
        {"VEN_8086&DEV_10D3&SUBSYS_00000000&REV_01", "tab\there", "  blanks  ", ";"},
        {"VEN_8086&DEV_10D3&SUBSYS_00000001&REV_01", "\x1b]0;title\x07", "\x1b[31mred\x1b[0m",
         ";\xC2\x9B" "2J \xE2\x80\xAE\x7f"},
    };
    std::string file = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n";
    for (const OddDevice& device : devices)
        file += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\" + std::string(device.keyName) +
                "\\3&1&0&C8]\r\n\"Class\"=\"" + regText(device.deviceClass) + "\"\r\n\"Mfg\"=\"" +
                regText(device.manufacturer) + "\"\r\n\"DeviceDesc\"=\"" + regText(device.deviceDesc) + "\"\r\n";
    const std::string path = dir.write("odd.reg", file);

    std::string listed;
    std::FILE* list = popen((std::string(CORVANE_LIST) + " odd.reg 2>&1").c_str(), "r");
    ASSERT_NE(list, nullptr);
    char chunk[4096];
    while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, list))
        listed.append(chunk, got);
    ASSERT_EQ(pclose(list), 0) << listed;
    ASSERT_EQ(listed.rfind("\n", 0), 0u) << "the line feed of the loaded database comes first";
    listed.erase(0, 1);

    const auto form = makeForm(path);
    DeviceTree& tree = *form->tree;
    Fl_Tree_Item* root = tree.root();
    ASSERT_EQ(root->children(), static_cast<int>(devices.size()));
    std::string shown, copiedEach;
    for (int i = 0; i < root->children(); ++i) {
        form->tree->buildLines(root->child(i));
        shown += treeText(tree, root->child(i), 0);
        copiedEach += tree.deviceText(root->child(i)->child(1)->child(2));  // from a line deep inside
    }
    EXPECT_EQ(shown, listed);
    EXPECT_EQ(tree.allDevicesText(), listed);
    EXPECT_EQ(copiedEach, listed);
    EXPECT_NE(listed.find("    Мост Ω\n    Café € \"quoted\" back\\slash\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find("unknown value\n  Windows\n    \n    \n    No driver\n  Database\n    0x10EC\n    0x8168\n    \n"),
              std::string::npos);
    EXPECT_NE(listed.find("\\u009b2J \\u202e\\x7f\n  Windows\n    \\x1b]0;title\\x07\n    \\x1b[31mred\\x1b[0m\n"),
              std::string::npos) << listed;
    EXPECT_NE(listed.find("    tab\\x09here\n"), std::string::npos);
    // The long lines show their start and how much more there is; their copies are whole.
    const Fl_Tree_Item* longLine = root->child(2);
    EXPECT_EQ(longLine->label(), std::string(4096, 'L') + "\xE2\x80\xA6 (904 more characters)");
    EXPECT_EQ(tree.lineText(longLine), longText);
}

// The report the window saves is the one corvane-list --html writes of the
// same file, byte for byte (the date fixed); a file that cannot be written
// leaves nothing behind.
TEST_F(Tree, SavedReportIsCorvaneListsAndReplacesOnlyWhenWhole)
{
    const std::string name = "a<b&c>.reg";  // what a file name holds is text in the report too
    dir.write(name, "Windows Registry Editor Version 5.00\r\n\r\n"
                    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\"
                    "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\3&1&0&C8]\r\n\"Class\"=\"<b>Net</b>\"\r\n"
                    "\"DeviceDesc\"=\";<script>alert(1)</script>\"\r\n");
    setenv("SOURCE_DATE_EPOCH", "1765216140", 1);
    std::string listed;
    std::FILE* list = popen((std::string(CORVANE_LIST) + " --html 'a<b&c>.reg' 2>/dev/null").c_str(), "r");
    ASSERT_NE(list, nullptr);
    char chunk[4096];
    while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, list))
        listed.append(chunk, got);
    ASSERT_EQ(pclose(list), 0);

    const auto form = makeForm(name);
    EXPECT_EQ(form->machine(), name);
    std::string error;
    ASSERT_TRUE(form->saveReport(dir.file("report.html"), error)) << error;
    unsetenv("SOURCE_DATE_EPOCH");
    std::ifstream saved(dir.file("report.html"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), listed);
    EXPECT_NE(listed.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(listed.find("<dd>a&lt;b&amp;c&gt;.reg</dd>"), std::string::npos);

    EXPECT_FALSE(form->saveReport(dir.file("missing/report.html"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::ifstream(dir.file("missing/report.html")).good());
}
#endif

}

namespace {

// A driver package whose one model fits the first device of these tests.
const char* const e1000eInf = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\nProvider=%Intel%\r\n"
                              "DriverVer=07/22/2026,1.2.3.4\r\n[Manufacturer]\r\n%Intel%=Intel,NTamd64\r\n"
                              "[Intel.NTamd64]\r\n%Model%=Install, PCI\\VEN_8086&DEV_10D3\r\n[Install]\r\n"
                              "[Strings]\r\nIntel=\"Intel\"\r\nModel=\"82574L Gigabit\"\r\n";

// The drivers that fit are looked for in the folder chosen, and again on F5;
// a folder that cannot be read leaves the search as it was; the menu copies
// the hardware IDs of the device.
TEST_F(Tree, DriversOfAFolderFitTheDevices)
{
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "c", "m", ";d");
    const auto form = makeForm();
    ASSERT_EQ(form->devices.size(), 1u);
    EXPECT_FALSE(form->devices[0]->fits);
    dir.write("drivers/e1000e/e1000e.inf", e1000eInf);
    // What the user opened and chose while the folder is read stays so once its fits show.
    Fl_Tree_Item* opened = form->tree->root()->child(0);
    form->tree->buildLines(opened);
    opened->open();
    form->tree->select(opened->child(0));
    const DeviceTree::View before = form->tree->view();
    form->findDrivers(dir.file("drivers"));
    EXPECT_TRUE(form->readingDrivers());
    form->waitForDrivers();
    EXPECT_FALSE(form->readingDrivers());
    ASSERT_TRUE(form->devices[0]->fits);
    ASSERT_EQ(form->devices[0]->fits->size(), 1u);
    const DeviceTree::View after = form->tree->view();
    EXPECT_EQ(after.open.size(), 1u);
    EXPECT_FALSE(after.open.empty() || before.open.empty() || after.open.begin()->device != before.open.begin()->device);
    ASSERT_TRUE(after.selected && before.selected);
    EXPECT_EQ(after.selected->below, before.selected->below);
    Fl_Tree_Item* device = form->tree->root()->child(0);
    form->tree->buildLines(device);
    EXPECT_EQ(childLabels(device), (std::vector<std::string>{"Windows", "Database", "Drivers that fit"}));
    EXPECT_EQ(childLabels(device->child(2)),
              std::vector<std::string>{"Best: 82574L Gigabit, 1.2.3.4, 2026-07-22, unsigned \u2014 e1000e/e1000e.inf"});

    dir.write("drivers/copy/other.inf", std::string(e1000eInf) + "[Strings.0409]\r\nModel=\"Another\"\r\n");
    form->rescan();
    form->waitForDrivers();
    EXPECT_EQ(form->devices[0]->fits->size(), 2u);

    static int boxes;
    boxes = 0;
    flException::showBox = [](const char*, const char*) { ++boxes; };
    testing::internal::CaptureStderr();
    form->findDrivers(dir.file("no such folder"));
    form->waitForDrivers();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(form->driverSearch().folders, std::vector<std::string>{dir.file("drivers")});
    EXPECT_EQ(form->devices[0]->fits->size(), 2u);

    EXPECT_EQ(form->hardwareIdsText(form->devices[0]->identity()),
              "PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\nPCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086\n");
}

// The drivers the machine needs are copied into a new or empty folder once
// the folder of drivers is read; the menu offers it only with a folder.
TEST_F(Tree, DriversTheMachineNeedsAreCopied)
{
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "c", "m", ";d");
    const auto form = makeForm();
    EXPECT_FALSE(form->tree->canCollectDrivers);
    dir.write("drivers/e1000e/e1000e.inf", e1000eInf);
    form->findDrivers(dir.file("drivers"));
    EXPECT_TRUE(form->tree->canCollectDrivers);
    form->devices[0]->driverState = DriverState::none;
    dir.write("full/file", "");
    EXPECT_EQ(form->collectDrivers(dir.file("full")),
              "The drivers could not be copied into " + dir.file("full") + ": it is not empty");
    EXPECT_EQ(form->collectDrivers(dir.file("copied")),
              "Copied e1000e: 82574L Gigabit, 1.2.3.4, 2026-07-22, unsigned \u2014 e1000e/e1000e.inf\n"
              "1 driver package for 1 device copied into " + dir.file("copied"));
    EXPECT_EQ(readFile(dir.file("copied/e1000e/e1000e.inf")), e1000eInf);
}

}
