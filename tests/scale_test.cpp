// SPDX-License-Identifier: GPL-2.0-or-later
// A thousand devices: a line each is built at first, and the lines below a
// device when it is first opened; after that, opening or closing them makes or
// frees nothing. (How fast the form is built is printed,
// not asserted: speed goals are the benchmarks'.)
#include <gtest/gtest.h>  // before X11's macros

#include "AllocationHooks.h"
#include "DeviceTree.h"
#include "FormFixture.h"

#include <FL/Fl_Tree_Item.H>

#include <chrono>

namespace {

class Scale : public FormFixture {
protected:
    void addDevices(int count)
    {
        char name[64];
        for (int i = 0; i < count; ++i) {
            std::snprintf(name, sizeof name, "VEN_8086&DEV_%04X&SUBSYS_%08X&REV_00", i, i);
            registry.addDevice(name, "Ethernet controller", "Intel", ("e1000e;Device " + std::to_string(i)).c_str());
        }
    }
};

int itemsOf(DeviceTree& tree)
{
    int items = 0;
    for (Fl_Tree_Item* item = tree.first(); item; item = item->next())
        items += item != tree.root();
    return items;
}

TEST_F(Scale, AThousandDevicesStartWithTwoThousandLines)
{
    addDevices(1000);
    const auto start = std::chrono::steady_clock::now();
    const auto form = makeForm();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(itemsOf(*form->tree), 2000);  // the device and the line below it that opens it
    form->tree->openAll();
    EXPECT_EQ(itemsOf(*form->tree), 11000);  // the device, two groups, 3 + 5 lines in them
    RecordProperty("build_ms", std::to_string(ms));
    std::printf("1,000 devices: form built in %.1f ms\n", ms);
}

TEST_F(Scale, OpeningAndClosingMakesAndFreesNothing)
{
    addDevices(1000);
    const auto form = makeForm();
    form->tree->openAll();  // every line made
    const long before = allocationCount;
    for (int round = 0; round < 2; ++round) {
        for (Fl_Tree_Item* item = form->tree->first(); item; item = item->next())
            if (item->has_children() && item != form->tree->root())
                item->open();
        for (Fl_Tree_Item* item = form->tree->first(); item; item = item->next())
            if (item->has_children() && item != form->tree->root())
                item->close();
    }
    EXPECT_EQ(allocationCount, before);
    int items = 0;
    for (Fl_Tree_Item* item = form->tree->first(); item; item = item->next())
        ++items;
    EXPECT_EQ(items, 11001);
}

}
