// SPDX-License-Identifier: GPL-2.0-or-later
// The window in use (run under xvfb-run): the main form on a registry of
// our own, driven by real X events from xdotool, the clipboard read back
// with xclip.
#include <gtest/gtest.h>  // before X11's macros

#include "DeviceTree.h"
#include "FormFixture.h"
#include "XDriver.h"
#include "flException.h"
#include "htmlReport.h"
#include "platformWindow.h"

#include <FL/Fl_Box.H>
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Tree_Item.H>
#include <FL/filename.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const alphaKey = "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00";
const char* const betaKey = "VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06";
const char* const gammaKey = "VEN_1AF4&DEV_1045&SUBSYS_11001AF4&REV_01";

const char* const alphaText =
    "Alpha\n  Windows\n    Ethernet controller\n    Intel\n    Driver: e1000e\n"
    "  Database\n    0x8086\n    0x10D3\n    Intel Corporation\n    82574L\n    sample\n";

std::string labelPath(const Fl_Tree_Item* item)
{
    std::string path;
    for (; item && item->parent(); item = item->parent())
        path = std::string(item->label() ? item->label() : "") + (path.empty() ? "" : "/" + path);
    return path;
}

class Window : public FormFixture {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display";
        registry.addDevice(alphaKey, "Ethernet controller", "Intel", "e1000e;Alpha").subKey("0000")->setString("Service", "e1000e");
        registry.addDevice(betaKey, "c", "m", ";beta");
        registry.addDevice(gammaKey, "c", "m", ";Gamma");
        registry.addDevice("VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01", "c", "m", ";Garnet");
        registry.addDevice("VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01", "c", "m", ";*star +plus");
    }
    void TearDown() override
    {
        if (form)
            form->hide();
        settleEvents();
    }

    void start(const std::string& deviceFile = std::string())
    {
        form = makeForm(deviceFile);
        form->tree->clock = [this] { return now; };
        form->show();
        settleEvents();
        windowId = std::to_string(fl_xid(form->window.get()));
        runServingEvents("xdotool windowfocus " + windowId);
    }
    DeviceTree& tree() { return *form->tree; }

    void keys(const std::string& names) { runServingEvents("xdotool key --delay 20 " + names); }
    void type(const std::string& text) { runServingEvents("xdotool type --delay 20 '" + text + "'"); }
    std::string clipboard(const char* selection)
    {
        return runServingEvents(std::string("xclip -o -target UTF8_STRING -selection ") + selection);
    }
    // Opens the menu with an xdotool command, then presses keys in it once it shows.
    void inMenu(const std::string& opening, const std::string& thenKeys)
    {
        runServingEvents("sh '" CORVANE_SOURCE_DIR "/tests/support/in-menu.sh' '" + opening + "' '" + thenKeys + "'");
    }
    void click(const Fl_Tree_Item* line, int times)
    {
        runServingEvents("xdotool mousemove --window " + windowId + " " + std::to_string(line->label_x() + 5) +
                         " " + std::to_string(line->y() + line->h() / 2) + " click --repeat " +
                         std::to_string(times) + " --delay 80 1 sleep 0.5");
    }
    void rightClick(const Fl_Tree_Item* line, const std::string& thenKeys)
    {
        inMenu("mousemove --window " + windowId + " " + std::to_string(line->label_x() + 5) + " " +
                   std::to_string(line->y() + line->h() / 2) + " click 3",
               thenKeys);
    }

    std::string selected() { return labelPath(tree().first_selected_item()); }
    std::string devicesShown()
    {
        std::string labels;
        for (int i = 0; i < tree().root()->children(); ++i)
            labels += (i ? "," : "") + labelPath(tree().root()->child(i));
        return labels;
    }
    std::string openLines()
    {
        std::string lines;
        for (Fl_Tree_Item* item = tree().first(); item; item = item->next())
            if (item != tree().root() && item->has_children() && item->is_open())
                lines += (lines.empty() ? "" : ",") + labelPath(item);
        return lines;
    }

    // The pixels of the band above the tree, where its heading is drawn
    // outside its box, as the X server shows them.
    std::vector<unsigned long> headingBand()
    {
        settleEvents();
        Fl::flush();
        XSync(fl_display, False);
        const float scale = Fl::screen_scale(0);
        const int width = static_cast<int>(form->window->w() * scale);
        const int height = static_cast<int>(tree().y() * scale);
        XImage* image = XGetImage(fl_display, fl_xid(form->window.get()), 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        std::vector<unsigned long> pixels;
        for (int y = 0; image && y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(XGetPixel(image, x, y));
        if (image)
            XDestroyImage(image);
        return pixels;
    }

    std::unique_ptr<flMainForm> form;
    std::string windowId;
    DeviceTree::Clock::time_point now{};
};

struct KeyCase {
    const char* keys;
    const char* selected;
    const char* open;
};

class Keys : public Window, public testing::WithParamInterface<KeyCase> {};

TEST_P(Keys, MoveAndOpenAsASystemTreeView)
{
    start();
    keys(GetParam().keys);
    EXPECT_EQ(selected(), GetParam().selected);
    EXPECT_EQ(openLines(), GetParam().open);
}

INSTANTIATE_TEST_SUITE_P(Window, Keys, testing::Values(
    KeyCase{"Down", "Alpha", ""},
    KeyCase{"Down Down Down Up", "beta", ""},
    KeyCase{"End", "*star +plus", ""},
    KeyCase{"End Home", "Alpha", ""},
    KeyCase{"Down Right", "Alpha", "Alpha"},
    KeyCase{"Down Right Right", "Alpha/Windows", "Alpha"},
    KeyCase{"Down Right Right Right Right", "Alpha/Windows/Ethernet controller", "Alpha,Alpha/Windows"},
    KeyCase{"Down Right Right Right Right Right", "Alpha/Windows/Ethernet controller", "Alpha,Alpha/Windows"},
    KeyCase{"Down Right Right Right Right Left", "Alpha/Windows", "Alpha,Alpha/Windows"},
    KeyCase{"Down Right Right Left", "Alpha", "Alpha"},
    KeyCase{"Down Right Left", "Alpha", ""},
    KeyCase{"Down KP_Add", "Alpha", "Alpha"},
    KeyCase{"Down KP_Add KP_Subtract", "Alpha", ""},
    KeyCase{"Down KP_Multiply", "Alpha", "Alpha,Alpha/Windows,Alpha/Database"},
    KeyCase{"Down KP_Multiply Down Down", "Alpha/Windows/Ethernet controller", "Alpha,Alpha/Windows,Alpha/Database"},
    // On the main keyboard + and * are typed text.
    KeyCase{"Down plus", "Alpha", ""},
    KeyCase{"Down asterisk", "*star +plus", ""}));

struct TypeCase {
    std::vector<std::pair<const char*, bool>> typed;  // text, typed after a pause
    const char* selected;
};

class TypeAhead : public Window, public testing::WithParamInterface<TypeCase> {};

TEST_P(TypeAhead, JumpsToTheNextVisibleLineStartingWithWhatWasTyped)
{
    start();
    for (const auto& [text, afterPause] : GetParam().typed) {
        if (afterPause)
            now += std::chrono::seconds(2);
        type(text);
    }
    EXPECT_EQ(selected(), GetParam().selected);
}

INSTANTIATE_TEST_SUITE_P(Window, TypeAhead, testing::Values(
    TypeCase{{{"g", false}}, "Gamma"},
    TypeCase{{{"B", false}}, "beta"},
    TypeCase{{{"ga", false}, {"r", false}}, "Garnet"},           // one search: "gar"
    TypeCase{{{"ga", false}, {"r", true}}, "Gamma"},             // a new one: "r", found nowhere
    TypeCase{{{"g", false}, {"g", true}}, "Garnet"},             // the next line after the selected one
    TypeCase{{{"g", false}, {"g", true}, {"g", true}}, "Gamma"}, // wrapping at the end
    TypeCase{{{"w", false}}, ""}));                              // closed lines are not looked at

struct CopyCase {
    const char* keys;
    const char* expected;
};

class Copy : public Window, public testing::WithParamInterface<CopyCase> {};

TEST_P(Copy, GoesToTheClipboardAndThePrimarySelection)
{
    registry.addDevice("VEN_1234&DEV_0001&SUBSYS_00000000&REV_00", "c", "m", ";Ünïcødé € device");
    start();
    keys(GetParam().keys);
    EXPECT_EQ(clipboard("clipboard"), GetParam().expected);
    EXPECT_EQ(clipboard("primary"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Window, Copy, testing::Values(
    CopyCase{"Down ctrl+c", "Alpha"},
    CopyCase{"Down Right Right Down Right Right ctrl+c", "0x8086"},
    CopyCase{"Down Right Right Down Right Right ctrl+shift+c", alphaText},
    CopyCase{"Down ctrl+shift+c", alphaText},
    CopyCase{"End ctrl+c", "Ünïcødé € device"}));

const std::string allDevicesText =
    std::string(alphaText) +
    "beta\n  Windows\n    c\n    m\n    No driver\n  Database\n    0x10EC\n    0x8168\n    \n    \n    \n"
    "Gamma\n  Windows\n    c\n    m\n    No driver\n  Database\n    0x1AF4\n    0x1045\n    \n    \n    \n"
    "Garnet\n  Windows\n    c\n    m\n    No driver\n  Database\n    0x1AF4\n    0x1041\n    \n    \n    \n"
    "*star +plus\n  Windows\n    c\n    m\n    No driver\n  Database\n    0x1AF4\n    0x1042\n    \n    \n    \n";

struct MenuCase {
    int entry;  // how many times Down is pressed in the menu; 0: Escape
    const char* clipboard;
    const char* open;
};

class Menu : public Window, public testing::WithParamInterface<MenuCase> {};

TEST_P(Menu, RightClickSelectsTheLineAndOffersTheCommands)
{
    start();
    keys("Down Right ctrl+c");  // Alpha open; "Alpha" on the clipboard
    const int top = tree().vposition();
    std::string menuKeys;
    for (int i = 0; i < GetParam().entry; ++i)
        menuKeys += "Down ";
    menuKeys += GetParam().entry ? "Return" : "Escape";
    rightClick(tree().root()->child(0)->child(1), menuKeys);  // Alpha/Database

    EXPECT_EQ(selected(), GetParam().entry == 6 ? "Alpha" : "Alpha/Database");
    EXPECT_EQ(clipboard("clipboard"), GetParam().clipboard);
    EXPECT_EQ(openLines(), GetParam().open);
    EXPECT_EQ(tree().vposition(), top);
    EXPECT_EQ(form->window->children(), 2);  // the tree and its verdict: no menu left behind
}

INSTANTIATE_TEST_SUITE_P(Window, Menu, testing::Values(
    MenuCase{0, "Alpha", "Alpha"},
    MenuCase{1, "Database", "Alpha"},
    MenuCase{2, alphaText, "Alpha"},
    MenuCase{3, "PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\nPCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086\n", "Alpha"},
    MenuCase{4,
             allDevicesText.c_str(),
             "Alpha"},
    MenuCase{5, "Alpha",
             "Alpha,Alpha/Windows,Alpha/Database,beta,beta/Windows,beta/Database,Gamma,Gamma/Windows,"
             "Gamma/Database,Garnet,Garnet/Windows,Garnet/Database,*star +plus,*star +plus/Windows,"
             "*star +plus/Database"},
    MenuCase{6, "Alpha", ""},  // the hidden selection moves to its device
    MenuCase{10, "Alpha", "Alpha"}));  // read again, as F5: the view kept

TEST_F(Window, KeyboardSelectionScrollsTheLineIntoView)
{
    for (int i = 0; i < 40; ++i)
        registry.addDevice("VEN_1AF4&DEV_2" + std::to_string(100 + i) + "&SUBSYS_11001AF4&REV_01", "c", "m",
                           (";filler " + std::to_string(i)).c_str());
    start();
    keys("End");
    const Fl_Tree_Item* last = tree().first_selected_item();
    ASSERT_EQ(labelPath(last), "filler 39");
    EXPECT_GT(tree().vposition(), 0);
    EXPECT_GE(last->y(), tree().y());
    EXPECT_LE(last->y() + last->h(), tree().y() + tree().h());
    keys("Home");
    EXPECT_EQ(tree().vposition(), 0);
}

TEST_F(Window, KeyboardSelectionScrollsTheLineIntoViewSideways)
{
    // A device wider than the tree, and one whose class line fits the tree
    // but ends beyond it where it stands.
    registry.addDevice("VEN_1AF4&DEV_1050&SUBSYS_11001AF4&REV_01", "c", "m", (";" + std::string(300, 'W')).c_str());
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    std::string fits;
    while (fl_width((fits + "x").c_str()) < 785 - 40)
        fits += 'x';
    registry.addDevice("VEN_1AF4&DEV_1051&SUBSYS_11001AF4&REV_01", fits.c_str(), "m", ";Omega");
    start();
    DeviceTree& view = tree();
    const int left = view.x() + Fl::box_dx(view.box());
    auto inView = [&](const Fl_Tree_Item* line) {
        const int right = view.horizontalScrollbar().x() + view.horizontalScrollbar().w();
        fl_font(line->labelfont(), line->labelsize());
        return line->x() >= left && line->label_x() + fl_width(line->label()) <= right;
    };

    view.horizontalOffset(1 << 20);
    settleEvents();
    ASSERT_GT(view.horizontalOffset(), 0);
    keys("Home");
    EXPECT_EQ(view.horizontalOffset(), 0);  // the line's start, back in view

    keys("End Right Right Right Right");  // Omega/Windows/xxx...
    ASSERT_EQ(selected(), "Omega/Windows/" + fits);
    EXPECT_GT(view.horizontalOffset(), 0);
    EXPECT_TRUE(inView(view.first_selected_item()));
    keys("Left Left Left");  // Omega: its start
    EXPECT_EQ(view.horizontalOffset(), 0);
}

// Ctrl with + - 0 are FLTK's: they rescale the window, and leave the lines
// alone; the keypad's + - without Ctrl still open and close them.
TEST_F(Window, CtrlPlusMinusZeroRescaleWhileTheKeypadOpensAndCloses)
{
    start();
    const float scale = Fl::screen_scale(0);
    const auto shownWidth = [this] {
        const std::string info = runServingEvents("xwininfo -id " + windowId);
        const std::size_t at = info.find("Width: ");
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 7);
    };
    keys("Down ctrl+plus");
    EXPECT_GT(Fl::screen_scale(0), scale);
    EXPECT_GT(shownWidth(), 800);
    EXPECT_EQ(openLines(), "");
    keys("KP_Add");
    EXPECT_EQ(openLines(), "Alpha");
    keys("ctrl+minus ctrl+minus");
    EXPECT_LT(Fl::screen_scale(0), scale);
    EXPECT_LT(shownWidth(), 800);
    keys("KP_Subtract");
    EXPECT_EQ(openLines(), "");
    EXPECT_EQ(selected(), "Alpha");
    keys("ctrl+0");
    EXPECT_EQ(Fl::screen_scale(0), scale);
    EXPECT_EQ(shownWidth(), 800);
}

// As in system tree views; a click alone only selects.
TEST_F(Window, ADoubleClickOpensOrClosesTheLine)
{
    start();
    const Fl_Tree_Item* alpha = tree().root()->child(0);
    click(alpha, 2);
    EXPECT_EQ(selected(), "Alpha");
    ASSERT_EQ(openLines(), "Alpha");
    click(alpha->child(1), 2);
    EXPECT_EQ(selected(), "Alpha/Database");
    EXPECT_EQ(openLines(), "Alpha,Alpha/Database");
    click(alpha, 2);
    EXPECT_EQ(selected(), "Alpha");
    EXPECT_EQ(openLines(), "Alpha/Database");  // inside the closed line, as it was
    click(tree().root()->child(1), 1);
    EXPECT_EQ(selected(), "beta");
    EXPECT_EQ(openLines(), "Alpha/Database");
    click(alpha, 3);  // a double-click, then a click of its own
    EXPECT_EQ(openLines(), "Alpha,Alpha/Database");
}

TEST_F(Window, MenuKeyOpensTheMenuAtTheSelectedLine)
{
    start();
    inMenu("key Down Down Menu", "Down Down Return");
    EXPECT_EQ(clipboard("clipboard"),
              "beta\n  Windows\n    c\n    m\n    No driver\n  Database\n    0x10EC\n    0x8168\n    \n    \n    \n");
}

class Rescan : public Window {};

TEST_F(Rescan, KeepsOpenLinesSelectionAndScrollWhereTheyStillExist)
{
    for (int i = 0; i < 40; ++i)
        registry.addDevice("VEN_1AF4&DEV_2" + std::to_string(100 + i) + "&SUBSYS_11001AF4&REV_01", "c", "m",
                           (";filler " + std::to_string(i)).c_str());
    start();
    Fl_Tree_Item* top = tree().root();
    tree().buildLines(top->child(2));
    for (Fl_Tree_Item* line : {top->child(0), top->child(1), top->child(2), top->child(2)->child(1)})
        line->open();
    tree().selectLine(top->child(2)->child(1)->child(0));
    settleEvents();
    tree().vposition(100);
    settleEvents();
    ASSERT_EQ(selected(), "Gamma/Database/0x1AF4");
    ASSERT_EQ(tree().vposition(), 100);

    registry.removeDevice(betaKey);
    registry.addDevice("VEN_8086&DEV_1237&SUBSYS_00000000&REV_02", "c", "m", ";Delta, plugged in later");
    testing::internal::CaptureStdout();
    keys("F5");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_EQ(form->devices.size(), 45u);
    EXPECT_EQ(tree().root()->children(), 45);
    EXPECT_EQ(labelPath(tree().root()->child(44)), "Delta, plugged in later");
    EXPECT_EQ(openLines(), "Alpha,Gamma,Gamma/Database");
    EXPECT_EQ(selected(), "Gamma/Database/0x1AF4");
    EXPECT_EQ(tree().vposition(), 100);

    registry.removeDevice(gammaKey);  // the selected line goes with its device
    keys("F5");
    EXPECT_EQ(selected(), "");
    EXPECT_EQ(openLines(), "Alpha");
}

// Only the devices that need attention (all here but Alpha, which has its
// driver and its database line), by key and by the menu; F5 keeps the view;
// back to all devices, what was open and selected before is again, with what
// was opened meanwhile.
TEST_F(Window, TheAttentionViewHidesWhatIsFineAndGivesBackTheViewBefore)
{
    start();
    keys("Down KP_Add Down Down Down KP_Add Down");
    ASSERT_EQ(openLines(), "Alpha,beta");
    ASSERT_EQ(selected(), "beta/Windows");

    keys("ctrl+shift+a");
    EXPECT_TRUE(form->showsOnlyAttention());
    EXPECT_STREQ(tree().label(), "Hardware Devices that need attention");
    const std::string why = " \u2014 no driver, not in the database";  // each says why it is there
    EXPECT_EQ(devicesShown(), "beta" + why + ",Gamma" + why + ",Garnet" + why + ",*star +plus" + why);
    EXPECT_EQ(openLines(), "beta" + why);
    EXPECT_EQ(selected(), "beta" + why + "/Windows");
    EXPECT_STREQ(form->verdict->label(), "4 of 5 devices have no driver; 4 are not in the database");

    keys("Down Down KP_Add");  // Gamma opened
    registry.addDevice("VEN_8086&DEV_1237&SUBSYS_00000000&REV_02", "c", "m", ";Delta, plugged in later");
    keys("F5");
    EXPECT_EQ(devicesShown(),
              "beta" + why + ",Gamma" + why + ",Garnet" + why + ",*star +plus" + why + ",Delta, plugged in later" + why);
    EXPECT_EQ(openLines(), "beta" + why + ",Gamma" + why);
    EXPECT_STREQ(form->verdict->label(), "5 of 6 devices have no driver; 5 are not in the database");

    rightClick(tree().root()->child(0), "Down Down Down Down Down Down Down Return");  // its seventh entry
    EXPECT_FALSE(form->showsOnlyAttention());
    EXPECT_STREQ(tree().label(), "Hardware Devices");
    EXPECT_EQ(devicesShown(), "Alpha,beta,Gamma,Garnet,*star +plus,Delta, plugged in later");
    EXPECT_EQ(openLines(), "Alpha,beta,Gamma");
    EXPECT_EQ(selected(), "beta");  // the right-click chose it
}

// The devices a folder holds a better driver for, by key and from the
// attention view; each line with the installed version and the better one,
// the verdict what the comparison comes to; back to all devices as before.
TEST_F(Window, TheUpdatesViewShowsTheDevicesWithABetterDriver)
{
    // The virtio drivers, each INF with its catalog beside it, as a download has them.
    const std::string folder = dir.file("drivers");
    std::filesystem::copy(CORVANE_SOURCE_DIR "/tests/data/virtio-win-inf", folder,
                          std::filesystem::copy_options::recursive);
    for (const char* catalog : {"NetKVM/netkvm.cat", "viostor/viostor.cat", "vioserial/sys/vioser.cat",
                                "viorng/viorng/viorng.cat", "Balloon/sys/balloon.cat"})
        std::ofstream(folder + "/" + catalog).put('\n');
    start(CORVANE_SOURCE_DIR "/tests/data/virtio-vm.reg.txt");
    keys("ctrl+shift+u");
    EXPECT_TRUE(form->showsOnlyUpdates());
    EXPECT_EQ(devicesShown(), "");
    EXPECT_STREQ(form->verdict->label(),
                 "No folder of drivers was looked in: Ctrl+D chooses one, and its drivers are compared with those "
                 "installed.");
    form->findDrivers(folder);
    form->waitForDrivers();
    settleEvents();
    EXPECT_STREQ(tree().label(), "Hardware Devices that would get a better driver");
    EXPECT_EQ(devicesShown(),
              "Red Hat VirtIO Ethernet Adapter \u2014 installed 100.94.104.24000 (2023-08-31), better "
              "100.101.26000.27200 (2026-07-22),"
              "Red Hat VirtIO SCSI controller \u2014 installed 100.90.104.22100 (2022-05-21), better "
              "100.101.26000.27200 (2026-07-22),"
              "VirtIO Serial Driver \u2014 installed 100.90.104.22100 (2022-05-21), better 100.101.26000.27200 "
              "(2026-07-22),"
              "Contoso Random Number Source \u2014 installed 2.0.0.0 (2027-06-01), better 100.101.26000.27200 "
              "(2026-07-22)");
    EXPECT_STREQ(form->verdict->label(),
                 "4 of 6 devices would get a better driver from the folder; 2 have the best there is");

    keys("ctrl+shift+a");  // from one view to the other
    EXPECT_TRUE(form->showsOnlyAttention());
    EXPECT_FALSE(form->showsOnlyUpdates());
    rightClick(tree().root()->child(0), "Down Down Down Down Down Down Down Down Return");  // its eighth entry
    EXPECT_TRUE(form->showsOnlyUpdates());
    keys("ctrl+shift+u");
    EXPECT_FALSE(form->showsOnlyUpdates());
    EXPECT_STREQ(tree().label(), "Hardware Devices");
    EXPECT_EQ(tree().root()->children(), 6);
}

// The heading stands above the tree, outside its box: a shorter one leaves
// nothing of the longer one it replaces.
TEST_F(Window, TheHeadingIsDrawnAnewWhenTheViewChanges)
{
    start();
    const std::vector<unsigned long> allDevices = headingBand();
    ASSERT_FALSE(allDevices.empty());
    const auto differing = [&allDevices](const std::vector<unsigned long>& band) {
        return band.size() == allDevices.size() ? std::inner_product(band.begin(), band.end(), allDevices.begin(), 0,
                                                                     std::plus<>(), std::not_equal_to<>())
                                                 : -1;
    };
    keys("ctrl+shift+a");
    EXPECT_GT(differing(headingBand()), 0);
    keys("ctrl+shift+a");
    EXPECT_EQ(differing(headingBand()), 0) << "pixels that differ from the heading's before";
}

// devices.lst rewritten in place by another program (truncated and written
// again, then cut short and written again) while F5 reads it again and again:
// each rescan shows every device or fails through the report, the window
// staying; none ends the program.
TEST_F(Rescan, DevicesListRewrittenMeanwhileLeavesTheWindow)
{
    std::string full;  // a database the size of the real one: reading it takes a while
    for (int i = 0; i < 20000; ++i)
        full += "\"0x1AF4\",\"0x" + std::to_string(100000 + i) + "\",\"Red Hat, Inc.\",\"virtio\",\"filler\"\n";
    full += "\"0x8086\",\"0x10D3\",\"Intel Corporation\",\"sample\",\"82574L\"\n";
    writeDatabase(full);
    start();
    static int boxes;
    boxes = 0;
    flException::showBox = [](const char*, const char*) { ++boxes; };
    std::atomic<bool> done{false};
    std::atomic<int> rewrites{0};
    std::thread rewriter([&full, &done, &rewrites] {
        const int file = open("devices.lst", O_WRONLY);
        for (; file >= 0 && !done; ++rewrites)
            for (const off_t cut : {off_t{0}, off_t{100000}})
                if (ftruncate(file, cut) != 0 || pwrite(file, full.data(), full.size(), 0) < 0)
                    done = true;
        close(file);
    });
    testing::internal::CaptureStderr();
    int shown = 0, rescans = 0;
    // A hundred rescans, and more while the rewriter has not yet had its
    // turns (a busy machine), within a minute.
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (; rescans < 100 || (rewrites <= 10 && std::chrono::steady_clock::now() < end); ++rescans) {
        form->rescan();
        shown += tree().root()->children() == 5 && tree().root()->child(0)->label() == std::string("Alpha");
    }
    done = true;
    rewriter.join();
    const std::string standardError = testing::internal::GetCapturedStderr();

    EXPECT_EQ(shown, rescans);
    EXPECT_TRUE(form->window->shown());
    std::ifstream log("error.log");
    int reports = 0;
    for (std::string line; std::getline(log, line); ++reports)
        EXPECT_TRUE(line.rfind("Failed to read devices.lst", 0) == 0 || line.rfind("Failed to open devices.lst", 0) == 0)
            << line;
    EXPECT_EQ(reports, boxes);
    EXPECT_GT(rewrites, 10);
    std::printf("%d rewrites; %d of %d rescans reported the file changing\n", rewrites.load(), reports, rescans);
}

// devices.lst gone, or a FIFO in its place: that one would hold the rescan in
// its open, with the window, were it waited for (the alarm ends the test then).
class RescanFailure : public Window, public testing::WithParamInterface<const char*> {};

TEST_P(RescanFailure, KeepsTheTreeAndTheProgram)
{
    start();
    keys("Down KP_Add Down");
    std::remove("devices.lst");
    if (std::string(GetParam()) == "Fifo") {
        ASSERT_EQ(mkfifo("devices.lst", 0644), 0);
    }
    registry.addDevice("VEN_8086&DEV_1237&SUBSYS_00000000&REV_02", "c", "m", ";not shown");
    testing::internal::CaptureStderr();
    alarm(60);
    runServingEvents("xdotool key F5 search --sync --name '^Oops!$' sleep 0.3 key --window %1 Return");
    alarm(0);
    const std::string standardError = testing::internal::GetCapturedStderr();

    EXPECT_EQ(tree().root()->children(), 5);
    EXPECT_EQ(openLines(), "Alpha");
    EXPECT_EQ(selected(), "Alpha/Windows");
    EXPECT_TRUE(form->window->shown());
    const std::string log = readFile("error.log");
    EXPECT_EQ(log.rfind("Failed to open devices.lst for read accesss  (std::exception) (core/hardware.cpp: ", 0), 0u)
        << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
    EXPECT_EQ(standardError.rfind("Error: (core/hardware.cpp, ", 0), 0u) << standardError;
    EXPECT_EQ(standardError.back(), '\n');
}

INSTANTIATE_TEST_SUITE_P(DevicesList, RescanFailure, testing::Values("Missing", "Fifo"),
                         [](const auto& info) { return std::string(info.param); });

// Another machine's devices: a file given at start, dropped, chosen with
// Ctrl+O, and read again with F5.
class Files : public Window {
protected:
    static std::string exportOf(const std::string& description, const std::string& extra = "")
    {
        return "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\"
               "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\3&1&0&C8]\r\n\"Class\"=\"Net\"\r\n\"DeviceDesc\"=\";" +
               description + "\"\r\n" + extra;
    }
    // What the window is given when a file is dropped onto it, as FLTK hands it over.
    void drop(const std::string& text)
    {
        std::string bytes = text;
        Fl::e_text = bytes.data();
        Fl::e_length = static_cast<int>(bytes.size());
        for (const int event : {FL_DND_ENTER, FL_DND_DRAG, FL_DND_RELEASE, FL_PASTE})
            EXPECT_EQ(form->window->handle(event), 1);
        Fl::e_text = nullptr;
        Fl::e_length = 0;
    }
    // Runs `command` while dismissing the box it brings up; returns standard error.
    std::string dismissingTheBox(const std::function<void()>& action)
    {
        testing::internal::CaptureStderr();
        runServingEvents("(xdotool search --sync --name '^Oops!$' sleep 0.3 key --window %1 Return) >/dev/null 2>&1 &");
        action();
        settleEvents();
        return testing::internal::GetCapturedStderr();
    }
    std::string title() const { return form->window->label(); }
    // The shell commands that close the system's dialog named by `pattern`
    // when it is still there, so that a test driving it always ends: the
    // program waits in the dialog, and its test with it. The focus is
    // given without waiting for it (a dialog may hand it to a child at
    // once, and a wait for the dialog's own would never end), and each
    // try is bounded.
    static std::string closeDialog(const std::string& pattern)
    {
        return "for try in 1 2 3 4 5; do sleep 1; xdotool search --onlyvisible --name '" + pattern +
               "' >/dev/null || break; timeout 10 xdotool search --onlyvisible --name '" + pattern +
               "' windowfocus %1 sleep 0.3 key Escape; done";
    }
};

TEST_F(Files, GivenAtStartShowsTheFileWithItsNameInTheTitle)
{
    start(dir.write("other machine.reg", exportOf("From the file")));
    EXPECT_EQ(devicesShown(), "From the file");
    EXPECT_EQ(title(), "Corvane 1.5.1 Release 12/17/2011' - other machine.reg");
    EXPECT_EQ(output, "\n");
}

TEST_F(Files, DroppedReplacesTheTreeAndF5ReadsTheFileAgain)
{
    start();
    EXPECT_EQ(title(), "Corvane 1.5.1 Release 12/17/2011'");
    const std::string path = dir.write("a dump & more.reg", exportOf("Dropped"));
    std::string uri = "file://" + path;
    for (std::size_t at = 0; (at = uri.find(' ', at)) != std::string::npos;)
        uri.replace(at, 1, "%20");
    drop(uri + "\r\n");
    settleEvents();
    EXPECT_EQ(devicesShown(), "Dropped");
    EXPECT_EQ(title(), "Corvane 1.5.1 Release 12/17/2011' - a dump & more.reg");
    EXPECT_EQ(form->shownFile(), path);

    dir.write("a dump & more.reg", exportOf("Read again"));
    keys("F5");
    EXPECT_EQ(devicesShown(), "Read again");
}

TEST_F(Files, ABadFileIsSaidInTheBoxAndTheOldTreeStays)
{
    start();
    const std::string before = devicesShown();
    const std::string path = dir.write("notes.txt", "Hello\n");
    const std::string standardError = dismissingTheBox([&] { drop(path); });
    EXPECT_NE(standardError.find(path + " is neither a Windows registry export, a registry hive nor an lspci dump\n"),
              std::string::npos) << standardError;
    EXPECT_EQ(devicesShown(), before);
    EXPECT_EQ(title(), "Corvane 1.5.1 Release 12/17/2011'");
    EXPECT_TRUE(form->window->shown());

    // F5 on a file that has gone: the box, and the file's tree stays.
    const std::string shown = dir.write("shown.reg", exportOf("Shown"));
    drop(shown);
    settleEvents();
    std::remove(shown.c_str());
    const std::string afterF5 = dismissingTheBox([&] { keys("F5"); });
    EXPECT_NE(afterF5.find("Failed to open " + shown + " for read accesss "), std::string::npos) << afterF5;
    EXPECT_EQ(devicesShown(), "Shown");
}

// A notice, not a failure: the toolkit's box, with the program's name.
TEST_F(Files, SkippedLinesAreSaidInTheNoticeBox)
{
    start();
    const std::string path = dir.write("broken.reg", exportOf("Kept", "\"Mfg\"=\"unterminated\r\nrubbish\r\n"));
    testing::internal::CaptureStderr();
    runServingEvents("(xdotool search --sync --name '^Corvane$' sleep 0.3 key --window %1 Return) >/dev/null 2>&1 &");
    drop(path);
    settleEvents();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(devicesShown(), "Kept");
}

// The dialog opens on its first filter: it shows every file the program
// could read, a hive copied under any name among them.
TEST(FileDialog, OpensOnEveryFileTheProgramReads)
{
    const std::string filters = platform::deviceFileFilters();
    const std::string first = filters.substr(0, filters.find('\n'));
    const std::string pattern = first.substr(first.find('\t') + 1);
    for (const char* name : {"SYSTEM", "customer-hive", "SYSTEM.sav", "export.reg", "lspci.txt"})
        EXPECT_TRUE(fl_filename_match(name, pattern.c_str())) << name << " by " << first;
}

TEST_F(Files, CtrlOOpensTheFileDialogAndCancellingChangesNothing)
{
    start();
    const std::string before = devicesShown();
    const std::string found = runServingEvents(
        "(timeout 30 xdotool key ctrl+o search --sync --onlyvisible --name \"^Open another machine's devices\" "
        "getwindowname %1 sleep 0.5 windowfocus %1 sleep 0.3 key Escape; " +
        closeDialog("^Open another machine's devices") + ")");
    EXPECT_EQ(found, "Open another machine's devices\n");
    settleEvents();
    EXPECT_EQ(devicesShown(), before);
    EXPECT_EQ(title(), "Corvane 1.5.1 Release 12/17/2011'");
}

// It opens in the working directory: a name typed alone is found there.
TEST_F(Files, CtrlOOpensTheFileDialogInTheWorkingDirectory)
{
    start();
    dir.write("picked.reg", exportOf("Picked"));
    runServingEvents("(timeout 30 xdotool key ctrl+o search --sync --onlyvisible --name \"^Open another machine's devices\" "
                     "sleep 0.5 windowfocus %1 sleep 0.3 key ctrl+l sleep 0.3 type --delay 50 picked.reg; "
                     "xdotool sleep 0.5 key Return sleep 1; " +
                     closeDialog("^Open another machine's devices") + ")");
    settleEvents();
    EXPECT_EQ(devicesShown(), "Picked");
    EXPECT_EQ(title(), "Corvane 1.5.1 Release 12/17/2011' - picked.reg");
}

// Ctrl+S: the save dialog, in the working directory, proposes a name after
// the machine; taken as it is, the report of the devices shown is saved there.
TEST_F(Files, CtrlSSavesTheReportWhereTheDialogProposes)
{
    start(dir.write("other machine.reg", exportOf("<b>Reported</b>")));
    setenv("SOURCE_DATE_EPOCH", "1765216140", 1);
    const std::string found = runServingEvents(
        "(timeout 30 xdotool key ctrl+s search --sync --onlyvisible --name '^Save report$' getwindowname %1 sleep 0.5 "
        "windowfocus %1 sleep 0.3 key Return sleep 1; " + closeDialog("^Save report$") + ")");
    settleEvents();
    EXPECT_EQ(found, "Save report\n");
    std::ifstream saved(dir.file("corvane-other_machine.reg.html"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), form->report(reportDate()));
    unsetenv("SOURCE_DATE_EPOCH");
}

struct DropCase {
    const char* text;
    const char* path;
};

class DropText : public testing::TestWithParam<DropCase> {};

TEST_P(DropText, NamesTheFirstFile)
{
    EXPECT_EQ(droppedFilePath(GetParam().text), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Window, DropText, testing::Values(
    DropCase{"/home/u/a b.reg", "/home/u/a b.reg"},
    DropCase{"file:///home/u/a%20b%2Freg.reg\r\nfile:///other\r\n", "/home/u/a b/reg.reg"},
    DropCase{"file://host/tmp/x%zz", "/tmp/x%zz"},
    DropCase{"\n\n/tmp/second-line", "/tmp/second-line"},
    DropCase{"", ""}));

}
