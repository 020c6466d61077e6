// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICETREE_H
#define CORVANE_DEVICETREE_H

#include "deviceOutline.h"
#include "platformWindow.h"

#include <FL/Fl_Tree.H>

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

// A label's width as the tree measures it, and what it was measured in
// (font, size, the drawing's scale). FLTK measures every line's label
// whenever the tree changes (a line opened or closed, lines added): the
// tree's lines keep their widths, so that each is measured once for
// each font, size and scale it is drawn in.
struct MeasuredLabel {
    int width = -1;  // none yet; or, for a device line that cannot be the widest, less than the widest's
    Fl_Font font = 0;
    Fl_Fontsize size = 0;
    float scale = 0;
};

// The main form's tree. FLTK's tree shows a horizontal scrollbar when an open
// line is wider than itself; this one also scrolls a line chosen with the
// keyboard into view sideways, so that every label can be read whole.
//
// It behaves like the system tree views users know: the arrows, Home, End,
// Right, Left and the keypad's + - * move the selection and open or close
// lines, typed letters jump to a line, Ctrl+C and Ctrl+Shift+C copy, a
// double-click opens or closes a line, a right-click opens a menu, F5
// asks the form to read the devices again and Ctrl+S to save a report.
// Ctrl with + - 0 are left to FLTK, which rescales the window with them.
class DeviceTree : public Fl_Tree {
public:
    using Clock = std::chrono::steady_clock;

    DeviceTree(int x, int y, int width, int height, const char* label);
    ~DeviceTree() override;

    void draw() override;
    int handle(int event) override;

    // The fonts its first drawing uses: the lines' and the marks'.
    static std::vector<platform::TextFont> firstDrawingFonts();

    // How far the lines are scrolled to the left, in pixels.
    int horizontalOffset() const { return hposition(); }
    void horizontalOffset(int pixels) { hposition(pixels); }
    // The width of the widest open line, as last drawn.
    int contentWidth() const { return _tree_w; }
    const Fl_Scrollbar& horizontalScrollbar() const { return *_hscroll; }

    // Measures device lines' labels as the tree measures them, before the
    // tree needs them: on the window's thread, with the display open. The
    // tree needs its lines' widths only for the widest (the horizontal
    // scrollbar's extent): a label that cannot reach the widest measured so
    // far is not measured, and stands in with a width below that one's.
    // Device lines are always in the tree, so the widest is its width.
    class LineMeasure {
    public:
        MeasuredLabel operator()(const std::string& text);
        // No less than the label's width as the tree measures it, in the
        // current font: for labels of printable ASCII, the sum of their
        // characters' own widths with room for the font's kerning and
        // rounding; none for any other label.
        std::optional<int> upperBound(const std::string& label);

    private:
        std::array<double, 128> advances{};  // of each character, in the font of `widest`; 0: not measured yet
        MeasuredLabel widest;                // the widest label measured, in the current font, size and scale
    };

    // Devices are top-level lines, each known by a key that stays the same
    // across rescans (its device instance ID or address), with the lines of its outline
    // below it, every line that holds others closed. `measured`: of its
    // device line, when measured beforehand.
    Fl_Tree_Item* addDevice(const std::string& key, DeviceOutline outline, MeasuredLabel measured = {});
    void clearDevices();
    // The lines below a device are made when it is first opened; this makes
    // them now (for a device line; anything else is left alone).
    void buildLines(Fl_Tree_Item* device);

    // A line by its device's key and its place below the device line
    // (child indexes; none for the device line itself).
    struct LinePath {
        std::string device;
        std::vector<int> below;
        bool operator<(const LinePath& other) const
        {
            return device != other.device ? device < other.device : below < other.below;
        }
    };
    // What the user has made of the tree: open lines, the selected line and
    // the scroll position. Taken before the devices are replaced and put back
    // afterwards where the lines still exist.
    struct View {
        std::set<LinePath> open;
        std::optional<LinePath> selected;
        int top = 0, left = 0;
    };
    View view();
    void restoreView(const View& view);

    // The tree's heading, its label drawn above its box.
    void showHeading(const char* text);

    // The line the keys and the copy commands act on.
    Fl_Tree_Item* selectedLine();
    // Selects the line alone, gives it the focus box and scrolls it into view.
    void selectLine(Fl_Tree_Item* line);

    // The commands of the keys and of the menu.
    void copySelectedLine();
    void copySelectedDevice();
    void copyAllDevices();
    void copySelectedHardwareIds();
    void openAll();
    void closeAll();

    // What the commands put on the clipboard: the outline's whole texts,
    // where a line too long to draw shows its start and a mark of the cut.
    std::string lineText(const Fl_Tree_Item* line) const;
    std::string deviceText(const Fl_Tree_Item* line) const;  // the line's device, indented
    std::string allDevicesText() const;

    // Called on F5 and from the menu; the form reads the devices again.
    std::function<void()> onRescan;
    // Called from the menu (the form takes Ctrl+O itself): the form asks for
    // another machine's file to show.
    std::function<void()> onOpenFile;
    // Called on Ctrl+Shift+A and from the menu: the form shows only the
    // devices that need attention, or all again. `attentionOnly` says which
    // the tree shows, for the menu's check mark.
    std::function<void()> onToggleAttention;
    bool attentionOnly = false;
    // Called on Ctrl+Shift+U and from the menu: the form shows only the
    // devices that would get a better driver from the drivers' folder, or
    // all again; `updatesOnly` says which, for the menu's check mark.
    std::function<void()> onToggleUpdates;
    bool updatesOnly = false;
    // Called on Ctrl+D and from the menu: the form asks for a folder of
    // drivers to look for the devices' drivers in.
    std::function<void()> onFindDrivers;
    // Called on Ctrl+Shift+D and from the menu, where `canCollectDrivers`
    // (the drivers' folders read): the form asks for a folder to copy the
    // drivers this machine needs into.
    std::function<void()> onCollectDrivers;
    bool canCollectDrivers = false;
    // Called on Ctrl+S and from the menu: the form saves a report of the devices.
    std::function<void()> onSaveReport;
    // The hardware IDs of the device of a key, one a line, for the menu's
    // "Copy hardware IDs".
    std::function<std::string(const std::string& deviceKey)> hardwareIdsOf;
    // Where the type-ahead reads the time; tests drive it.
    std::function<Clock::time_point()> clock = Clock::now;

private:
    bool runShortcut(int shortcut);
    bool moveByKey(int key);
    static void redrawNow(void* tree);
    Fl_Tree_Item* addLine(Fl_Tree_Item* parent, const std::string& label, MeasuredLabel measured = {});
    int labelWidth(const Fl_Tree_Item* line) const;
    bool keepWithinLines();
    bool revealPending();

    bool onScrollbar() const;
    void openOrCloseDoubleClicked();
    int handleKey();
    Fl_Tree_Item* lastVisibleLine();
    bool typeAhead(const char* text);
    void showMenu(int atX, int atY);
    Fl_Tree_Item* deviceOf(Fl_Tree_Item* line) const;
    const Fl_Tree_Item* deviceOf(const Fl_Tree_Item* line) const;
    std::optional<LinePath> pathOf(const Fl_Tree_Item* line) const;
    Fl_Tree_Item* lineAt(const LinePath& path) const;

    struct Device {
        std::string key;
        DeviceOutline outline;
        bool built;  // its lines below it are made
    };
    void buildOpenDevices();
    std::vector<Device> devices;          // of the top-level lines, in order
    Fl_Tree_Item* toReveal = nullptr;     // scrolled into view once drawn where it now stands
    std::string typed;                    // the type-ahead's text so far
    Clock::time_point lastTyped;
};

#endif
