// SPDX-License-Identifier: GPL-2.0-or-later
// The tree on a display (run under xvfb-run): lines wider than the tree get
// a horizontal scrollbar that reaches their end, texts of a megabyte are
// drawn by their start; the display's opening.
#include <gtest/gtest.h>  // before X11's macros

#include "DeviceTree.h"
#include "FormFixture.h"
#include "deviceOutline.h"
#include "deviceVerdict.h"
#include "platformWindow.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Tree_Item.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

class TreeOnDisplay : public FormFixture {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display";
    }
    // Until every shown window is drawn and nothing waits to be drawn again
    // (on a busy machine the server may take seconds), then a little more.
    static void settle()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        const auto drawn = [] {
            for (Fl_Window* window = Fl::first_window(); window; window = Fl::next_window(window))
                if (!window->visible_r() || window->damage())
                    return false;
            return !Fl::damage();
        };
        do
            Fl::wait(0.01);
        while (!drawn() && std::chrono::steady_clock::now() < end);
        for (int i = 0; i < 5; ++i)
            Fl::wait(0.01);
    }
};

TEST_F(TreeOnDisplay, NarrowLinesNeedNoScrollbar)
{
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "c", "m", ";short");
    const auto form = makeForm();
    form->show();
    settle();
    EXPECT_FALSE(form->tree->horizontalScrollbar().visible());
    EXPECT_EQ(form->tree->horizontalOffset(), 0);
}

TEST_F(TreeOnDisplay, WideLinesScrollToTheirEnd)
{
    const std::string wide = "A description wider than the tree " + std::string(120, 'W') + " END";
    registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "c", "m", (";" + wide).c_str());
    const auto form = makeForm();
    form->show();
    settle();
    DeviceTree& tree = *form->tree;
    EXPECT_TRUE(tree.horizontalScrollbar().visible());
    EXPECT_GT(tree.contentWidth(), tree.w());

    tree.horizontalOffset(1 << 20);  // as far as it goes: the end of the widest line
    settle();
    const Fl_Tree_Item* line = tree.root()->child(0);
    EXPECT_EQ(tree.horizontalOffset(), tree.contentWidth() - (tree.w() - Fl::box_dw(tree.box())));
    EXPECT_LE(line->label_x(), tree.x());  // its start is scrolled out of sight
    tree.horizontalOffset(0);
    settle();
    EXPECT_GT(tree.root()->child(0)->label_x(), tree.x());
    form->hide();
}

// FLTK measures every open line's label at each redraw: a text of a
// megabyte is drawn and measured by its first few thousand characters, and
// the mark of the cut ends the line; its copy is whole.
TEST_F(TreeOnDisplay, HugeTextsAreDrawnByTheirStart)
{
    const std::string huge = std::string(1 << 20, 'H') + " END";
    for (int i = 0; i < 10; ++i)
        registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_0000000" + std::to_string(i) + "&REV_00", huge.c_str(), "m",
                           (";" + huge + (i ? std::to_string(i) : "")).c_str());  // names of their own
    const auto form = makeForm();
    form->show();
    settle();
    DeviceTree& tree = *form->tree;
    Fl_Tree_Item* device = tree.root()->child(0);
    tree.buildLines(device);
    tree.open(device);
    tree.open(device->child(0));  // its "Windows" lines: the class
    settle();
    const Fl_Tree_Item* classLine = device->child(0)->child(0);
    for (const Fl_Tree_Item* line : {static_cast<const Fl_Tree_Item*>(device), classLine}) {
        EXPECT_LT(std::strlen(line->label()), 4200u);
        EXPECT_NE(std::string(line->label()).find("\xE2\x80\xA6 (1044484 more characters)"), std::string::npos);
        EXPECT_EQ(tree.lineText(line), huge);
    }
    EXPECT_GT(tree.contentWidth(), tree.w());
    EXPECT_LT(tree.contentWidth(), 100 * 1000) << "wider than the start of the line";
    tree.horizontalOffset(1 << 30);
    settle();
    EXPECT_EQ(tree.horizontalOffset(), tree.contentWidth() - (tree.w() - Fl::box_dw(tree.box())));
    form->hide();
}

// A device line keeps its label's width, measured beforehand or by the
// toolkit: the tree is as wide as the toolkit's own measuring makes it, at
// any scale, also once lines were opened and closed (which measures again).
TEST_F(TreeOnDisplay, KeptWidthsAreTheToolkitsOwn)
{
    const std::string labels[] = {"Intel Corporation 82574L Gigabit Network Connection",
                                  "WAVE ffi fl " + std::string(90, 'W'), "Gr\xC3\xA4" "fik \xE6\xBC\xA2\xE5\xAD\x97 \xD9\x85\xD8\xB1"};
    const auto widthWith = [this](const std::string& label, const std::function<MeasuredLabel()>& measured) {
        Fl_Double_Window window(800, 600);
        auto* tree = new DeviceTree(10, 15, 785, 525, "Hardware Devices");
        window.end();
        tree->showroot(0);
        Fl_Tree_Item* device = tree->addDevice("KEY", {{0, label}, {1, "Windows"}}, measured());
        window.show();
        settle();
        const int shown = tree->contentWidth();
        tree->open(device);
        settle();
        tree->close(device);
        settle();
        EXPECT_EQ(tree->contentWidth(), shown) << "opened and closed again";
        window.hide();
        return shown;
    };
    for (const float scale : {1.0f, 2.0f}) {
        Fl::screen_scale(0, scale);
        for (const std::string& label : labels) {
            const int toolkits = widthWith(label, [] { return MeasuredLabel(); });
            EXPECT_EQ(widthWith(label, [&label] { return DeviceTree::LineMeasure()(label); }), toolkits)
                << label << " at scale " << scale;
            // Measured in another scale: measured again.
            EXPECT_EQ(widthWith(label, [] { return MeasuredLabel{3, FL_HELVETICA, FL_NORMAL_SIZE, 7.0f}; }), toolkits)
                << label << " at scale " << scale;
        }
    }
    Fl::screen_scale(0, 1.0f);
}

// A label's bound is no less than its width, kerned pairs and all, at any
// scale; and a machine of many lines, some measured and some standing in
// below the widest, is as wide as the toolkit's own measuring makes it.
TEST_F(TreeOnDisplay, LinesLeftUnmeasuredNeverChangeTheWidth)
{
    const std::string texts[] = {"AVAVAVAVAV WAWAWA", "To Ty Yo Wa We Tr LT LY L'", "ffi ffl fi fl ff",
                                 "\"quoted\" 'single' r, r. y, y.", "0123456789 iiiiiiii WWWWWWWW {[(|)]}",
                                 "Intel Corporation 82574L Gigabit Network Connection"};
    std::vector<std::pair<std::string, DeviceMark>> lines;
    for (int i = 0; i < 400; ++i)
        lines.emplace_back(std::string(texts[i % 6]).substr(0, 5 + i % 20) + " #" + std::to_string(i),
                           i % 3 ? DeviceMark::none : DeviceMark::problemNotInDatabase);
    lines.emplace_back(std::string(40, 'W'), DeviceMark::none);
    lines.emplace_back(std::string(39, 'W') + "i", DeviceMark::disabledNotInDatabase);  // with its mark, the widest
    lines.emplace_back("Gr\xC3\xB6\xC3\x9F" "e " + std::string(30, 'M'), DeviceMark::none);
    for (const float scale : {1.0f, 1.5f, 2.0f}) {
        Fl::screen_scale(0, scale);
        const auto widthWith = [&](bool measuredBeforehand) {
            Fl_Double_Window window(800, 600);
            auto* tree = new DeviceTree(10, 15, 785, 525, "Hardware Devices");
            window.end();
            tree->showroot(0);
            window.show();
            settle();
            window.make_current();  // the drawing's scale, as the window's start measures in it
            std::vector<std::string> feedOrder;
            for (const auto& line : lines)
                feedOrder.push_back(line.first);
            std::stable_sort(feedOrder.begin(), feedOrder.end(),
                             [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
            DeviceTree::LineMeasure measure;
            std::map<std::string, MeasuredLabel> measured;
            int standingIn = 0;
            for (const std::string& text : feedOrder) {
                measured[text] = measure(text);
                int width = 0, height = 0;
                fl_measure(text.c_str(), width, height);
                standingIn += measured[text].width != width;
                if (const auto bound = measure.upperBound(text)) {
                    EXPECT_GE(*bound, width) << text << " at scale " << scale;
                }
            }
            EXPECT_GT(standingIn, 300) << "most lines left unmeasured";
            for (const auto& [text, mark] : lines)
                tree->addDevice(text, {{0, text, mark}, {1, "Windows"}},
                                measuredBeforehand ? measured[text] : MeasuredLabel());
            tree->redraw();
            settle();
            const int shown = tree->contentWidth();
            window.hide();
            return shown;
        };
        EXPECT_EQ(widthWith(true), widthWith(false)) << "at scale " << scale;
    }
    Fl::screen_scale(0, 1.0f);
}

// At the start, after F5 and with the filter on and off, the window's tree
// is as wide as a tree whose every line the toolkit measured.
TEST_F(TreeOnDisplay, TheWindowsTreeIsAsWideAsTheToolkitMakesIt)
{
    for (int i = 0; i < 60; ++i) {
        const std::string name = std::string(static_cast<std::size_t>(5 + i % 37), i % 2 ? 'W' : 'i') + " #" +
                                 std::to_string(i);
        auto& device = registry.addDevice("VEN_8086&DEV_10D3&SUBSYS_00" + std::to_string(10 + i) + "8086&REV_00",
                                          "c", "m", (";" + name).c_str());
        if (i % 3)  // the others have no driver: they need attention
            device.subKey("0000")->setString("Service", "e1000e");
    }
    const auto form = makeForm();
    form->show();
    settle();
    const auto toolkits = [&form] {
        Fl_Double_Window window(800, 600);
        auto* tree = new DeviceTree(10, 15, 785, 525, "Hardware Devices");
        window.end();
        tree->showroot(0);
        for (const auto& record : form->devices)
            if (!form->showsOnlyAttention()) {
                tree->addDevice(record->identity(), outlineOf(*record));
            } else if (record->needsAttention()) {
                DeviceOutline outline = outlineOf(*record);
                outline.front().text = attentionLineText(*record);
                tree->addDevice(record->identity(), std::move(outline));
            }
        window.show();
        settle();
        const int width = tree->contentWidth();
        window.hide();
        return width;
    };
    EXPECT_EQ(form->tree->contentWidth(), toolkits()) << "at the start";
    form->rescan();
    settle();
    EXPECT_EQ(form->tree->contentWidth(), toolkits()) << "after F5";
    for (const bool only : {true, false}) {
        form->showOnlyAttention(only);
        settle();
        EXPECT_EQ(form->tree->contentWidth(), toolkits()) << "attention only: " << only;
    }
    form->hide();
}

// The display is opened without the compose table for that moment only:
// the environment is as it was, set or not.
TEST_F(TreeOnDisplay, OpeningTheDisplayLeavesTheEnvironmentAsItWas)
{
    for (const char* value : {static_cast<const char*>(nullptr), "/somewhere/Compose"}) {
        if (value)
            setenv("XCOMPOSEFILE", value, 1);
        else
            unsetenv("XCOMPOSEFILE");
        platform::openDisplay();
        const char* after = std::getenv("XCOMPOSEFILE");
        EXPECT_EQ(after ? std::string(after) : "(unset)", value ? value : "(unset)");
    }
    unsetenv("XCOMPOSEFILE");
}

}
