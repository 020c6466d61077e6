// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceTree.h"

#include "deviceMarks.h"
#include "markPictures.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Tree_Item.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <utility>

namespace {

// The lines' font, FLTK's default for a tree's items.
platform::TextFont labelFont()
{
    return {FL_HELVETICA, FL_NORMAL_SIZE};
}

// Letters typed within this time of the last one extend the search.
constexpr std::chrono::milliseconds typeAheadPause(1000);

// A line shows at most this many bytes of its text, then a mark of the cut:
// FLTK measures every open line's whole label at each redraw, and a text of
// a megabyte (a file can say anything) took seconds a key. The copies take
// the outline's whole text.
constexpr std::size_t labelBytes = 4096;

std::string labelOf(const std::string& text)
{
    if (text.size() <= labelBytes)
        return text;
    const auto continues = [&text](std::size_t at) { return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80; };
    std::size_t cut = labelBytes;
    while (cut > 0 && continues(cut))  // at a character's start
        --cut;
    std::size_t more = 0;
    for (std::size_t at = cut; at < text.size(); ++at)
        more += !continues(at);
    return text.substr(0, cut) + "\xE2\x80\xA6 (" + std::to_string(more) + " more characters)";
}

// A line that keeps its label's width (MeasuredLabel). Only the
// measuring is left out, where FLTK measures without drawing: the width is
// the one FLTK's own measuring found in the same font, size and scale, or
// a device line's stand-in (DeviceTree::LineMeasure); drawing measures anew.
class MeasuredLine : public Fl_Tree_Item {
public:
    MeasuredLine(Fl_Tree* tree, MeasuredLabel measured) : Fl_Tree_Item(tree), measured(measured) {}

    int draw_item_content(int render) override
    {
        const int labelStart = label_x() + tree()->prefs().labelmarginleft();
        if (!render && label() && measured.width >= 0 && measured.font == fl_font() && measured.size == fl_size() &&
            measured.scale == fl_graphics_driver->scale())
            return labelStart + measured.width;
        const int end = Fl_Tree_Item::draw_item_content(render);
        if (label())  // measured in the font FLTK set for it
            measured = {end - labelStart, fl_font(), fl_size(), fl_graphics_driver->scale()};
        return end;
    }

private:
    MeasuredLabel measured;
};

// Whether `label` starts with `prefix`, compared character by character
// without case (UTF-8; a byte that is no UTF-8 stands for itself).
bool startsWithFolded(const char* label, const std::string& prefix)
{
    const char* text = label ? label : "";
    const char* textEnd = text + std::strlen(text);
    const char* wanted = prefix.data();
    const char* wantedEnd = wanted + prefix.size();
    while (wanted < wantedEnd) {
        if (text >= textEnd)
            return false;
        int textLength = 0, wantedLength = 0;
        const unsigned textChar = fl_utf8decode(text, textEnd, &textLength);
        const unsigned wantedChar = fl_utf8decode(wanted, wantedEnd, &wantedLength);
        if (fl_tolower(textChar) != fl_tolower(wantedChar))
            return false;
        text += std::max(textLength, 1);
        wanted += std::max(wantedLength, 1);
    }
    return true;
}

// Opens or closes a line and every group below it.
void setBranchOpen(Fl_Tree_Item* item, bool open)
{
    if (!item->has_children())
        return;
    if (open)
        item->open();
    else
        item->close();
    for (int i = 0; i < item->children(); ++i)
        setBranchOpen(item->child(i), open);
}

// The place of an item among its parent's children.
int indexOf(const Fl_Tree_Item* item)
{
    const Fl_Tree_Item* parent = item->parent();
    for (int i = 0; parent && i < parent->children(); ++i)
        if (parent->child(i) == item)
            return i;
    return -1;
}

void copyToClipboard(const std::string& text)
{
    // 2: the clipboard and, on X11, the primary selection as well.
    Fl::copy(text.data(), static_cast<int>(text.size()), 2);
}

}

DeviceTree::DeviceTree(int x, int y, int width, int height, const char* label) : Fl_Tree(x, y, width, height, label)
{
}

int DeviceTree::labelWidth(const Fl_Tree_Item* line) const
{
    if (!line->label())
        return 0;
    fl_font(line->labelfont(), line->labelsize());
    return static_cast<int>(fl_width(line->label()) + 0.5);
}

void DeviceTree::draw()
{
    buildOpenDevices();
    Fl_Tree::draw();
    // Once the lines stand where they are drawn: a view scrolled past their
    // end (lines closed or replaced) goes back to it, and a line chosen with
    // the keyboard is scrolled into view. Then draw once more; a redraw asked
    // for inside draw() is lost, so ask right after it.
    const bool moved = keepWithinLines();
    if (revealPending() || moved)
        Fl::add_timeout(0.0, redrawNow, this);
}

bool DeviceTree::keepWithinLines()
{
    bool moved = false;
    for (Fl_Scrollbar* bar : {_vscroll, _hscroll}) {
        const double end = bar->visible() ? std::max(0.0, bar->maximum()) : 0.0;
        if (bar->value() > end) {
            bar->Fl_Slider::value(end);
            moved = true;
        }
    }
    return moved;
}

// Lines stand where they are only once drawn (a line just opened has no
// place yet), so a line chosen with the keyboard is scrolled into view here.
bool DeviceTree::revealPending()
{
    Fl_Tree_Item* line = std::exchange(toReveal, nullptr);
    if (!line || !line->visible_r())
        return false;
    const int top = vposition(), left = hposition();

    // With the tree's top margin above it, so that the first line goes back
    // to where it started.
    if (line->y() < _tiy + margintop())
        vposition(top - (_tiy + margintop() - line->y()));
    else if (line->y() + line->h() > _tiy + _tih)
        vposition(top + line->y() + line->h() - _tiy - _tih);

    // From its connector, with the tree's margin, to the end of its text;
    // its start when the whole does not fit.
    const int origin = _tix - left;  // where the lines' left edge is
    const int start = std::max(0, line->x() - origin - marginleft());
    const int end = line->label_x() - origin + labelWidth(line) + marginleft();
    int wanted = left;
    if (end > wanted + _tiw)
        wanted = end - _tiw;
    if (start < wanted)
        wanted = start;
    hposition(wanted);
    return vposition() != top || hposition() != left;
}

void DeviceTree::redrawNow(void* tree)
{
    static_cast<DeviceTree*>(tree)->redraw();
}

DeviceTree::~DeviceTree()
{
    Fl::remove_timeout(redrawNow, this);
}

int DeviceTree::handle(int event)
{
    switch (event) {
    case FL_KEYBOARD:
    case FL_SHORTCUT:  // when one of the scrollbars took the focus
        if (const int handled = handleKey())
            return handled;
        break;
    case FL_PUSH:
        if (onScrollbar())
            break;
        if (Fl::event_button() == FL_LEFT_MOUSE && Fl::event_clicks() > 0) {
            Fl_Tree::handle(event);  // selects the line, as its first click did
            openOrCloseDoubleClicked();
            return 1;
        }
        if (Fl::event_button() == FL_RIGHT_MOUSE) {
            take_focus();
            if (Fl_Tree_Item* line = find_clicked()) {
                select_only(line, when());
                set_item_focus(line);
            }
            showMenu(Fl::event_x(), Fl::event_y());
            return 1;
        }
        break;
    }
    return Fl_Tree::handle(event);
}

bool DeviceTree::onScrollbar() const
{
    return (_vscroll->visible() && Fl::event_inside(_vscroll)) || (_hscroll->visible() && Fl::event_inside(_hscroll));
}

// A double-click on a line opens or closes it, as in system tree views. On
// the line's box, each click of it does so already.
void DeviceTree::openOrCloseDoubleClicked()
{
    Fl_Tree_Item* line = find_clicked();
    if (!line || !line->has_children() || line->event_on_collapse_icon(prefs()))
        return;
    Fl::event_is_click(0);  // a third click starts a new double-click
    if (line->is_open())
        close(line);
    else
        open(line);
}

// The keys of a system tree view; what is not one of them goes to Fl_Tree
// (Enter, Space) or on to the window (Escape).
int DeviceTree::handleKey()
{
    buildOpenDevices();
    const int key = Fl::event_key();
    const int state = Fl::event_state();
    if (state & (FL_ALT | FL_META))
        return 0;
    if (runShortcut(key | (state & (FL_CTRL | FL_SHIFT))))
        return 1;
    if (state & FL_CTRL) {
        if (key != 'c')
            return 0;
        if (state & FL_SHIFT)
            copySelectedDevice();
        else
            copySelectedLine();
        return 1;
    }
    if (key == FL_Menu || (key == FL_F + 10 && (state & FL_SHIFT))) {
        Fl_Tree_Item* line = selectedLine();
        const bool shown = line && line->visible_r();
        showMenu(shown ? line->label_x() : x() + w() / 2, shown ? line->y() + line->h() : y() + h() / 2);
        return 1;
    }
    return moveByKey(key) || typeAhead(Fl::event_text()) ? 1 : 0;
}

// The form's commands, each on its shortcut; true when `shortcut` is one.
// A command may replace every line: touch none of them after it.
bool DeviceTree::runShortcut(int shortcut)
{
    const std::pair<int, std::function<void()>*> commands[] = {
        {FL_CTRL | FL_SHIFT | 'a', &onToggleAttention}, {FL_CTRL | FL_SHIFT | 'u', &onToggleUpdates},
        {FL_CTRL | 'd', &onFindDrivers},                {FL_CTRL | FL_SHIFT | 'd', &onCollectDrivers},
        {FL_CTRL | 's', &onSaveReport},                 {FL_F + 5, &onRescan},
        {FL_SHIFT | (FL_F + 5), &onRescan},
    };
    for (const auto& [keys, command] : commands)
        if (keys == shortcut) {
            if (*command)
                (*command)();
            return true;
        }
    return false;
}

// The keys that move through the lines, open and close them; false for any other.
bool DeviceTree::moveByKey(int key)
{
    Fl_Tree_Item* line = selectedLine();
    switch (key) {
    case FL_Up:
    case FL_Down:
        if (Fl_Tree_Item* next = line ? next_visible_item(line, key) : first_visible_item())
            selectLine(next);
        return true;
    case FL_Home:
        selectLine(first_visible_item());
        return true;
    case FL_End:
        selectLine(lastVisibleLine());
        return true;
    case FL_Right:
        if (!line)
            selectLine(first_visible_item());
        else if (line->has_children() && line->is_close())
            open(line);
        else if (line->has_children())
            selectLine(line->child(0));
        return true;
    case FL_Left:
        if (!line)
            selectLine(first_visible_item());
        else if (line->has_children() && line->is_open())
            close(line);
        else if (line->parent() && line->parent() != root())
            selectLine(line->parent());
        return true;
    case FL_KP + '+':
        if (line && line->has_children())
            open(line);
        return true;
    case FL_KP + '-':
        if (line && line->has_children())
            close(line);
        return true;
    case FL_KP + '*':
        if (line) {
            buildLines(deviceOf(line));
            setBranchOpen(line, true);
            redraw();
        }
        return true;
    }
    return false;
}

// Typed text jumps to the next visible line whose label starts with what was
// typed since the last pause, wrapping at the end. A new search starts below
// the selected line; a longer one may stay on it.
bool DeviceTree::typeAhead(const char* text)
{
    if (!text || static_cast<unsigned char>(text[0]) < ' ' || text[0] == 0x7f)
        return false;
    const Clock::time_point now = clock();
    const bool extending = !typed.empty() && now - lastTyped < typeAheadPause;
    if (!extending) {
        if (text[0] == ' ')
            return false;  // Space selects, as in Fl_Tree, unless it continues a search
        typed.clear();
    }
    typed += text;
    lastTyped = now;

    Fl_Tree_Item* current = selectedLine();
    Fl_Tree_Item* start = !current ? first_visible_item()
                          : extending ? current
                                      : next_visible_item(current, FL_Down);
    if (!start)
        start = first_visible_item();
    Fl_Tree_Item* candidate = start;
    while (candidate) {
        if (startsWithFolded(candidate->label(), typed)) {
            selectLine(candidate);
            break;
        }
        candidate = next_visible_item(candidate, FL_Down);
        if (!candidate)
            candidate = first_visible_item();
        if (candidate == start)
            break;
    }
    return true;
}

void DeviceTree::showMenu(int atX, int atY)
{
    const int lineFlag = selectedLine() ? 0 : FL_MENU_INACTIVE;
    const int attentionFlag = FL_MENU_TOGGLE | (attentionOnly ? FL_MENU_VALUE : 0);
    const int updatesFlag = FL_MENU_TOGGLE | (updatesOnly ? FL_MENU_VALUE : 0);
    const int collectFlag = canCollectDrivers ? 0 : FL_MENU_INACTIVE;
    const Fl_Menu_Item items[] = {
        {"Copy", FL_CTRL + 'c', nullptr, nullptr, lineFlag, 0, 0, 0, 0},
        {"Copy device", FL_CTRL + FL_SHIFT + 'c', nullptr, nullptr, lineFlag, 0, 0, 0, 0},
        {"Copy hardware IDs", 0, nullptr, nullptr, lineFlag | FL_MENU_DIVIDER, 0, 0, 0, 0},
        {"Copy all devices", 0, nullptr, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
        {"Open all", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
        {"Close all", 0, nullptr, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
        {"Show only devices that need attention", FL_CTRL + FL_SHIFT + 'a', nullptr, nullptr, attentionFlag, 0, 0, 0, 0},
        {"Show only devices with a better driver", FL_CTRL + FL_SHIFT + 'u', nullptr, nullptr,
         updatesFlag | FL_MENU_DIVIDER, 0, 0, 0, 0},
        {"Open another machine's devices...", FL_CTRL + 'o', nullptr, nullptr, 0, 0, 0, 0, 0},
        {"Read the devices again", FL_F + 5, nullptr, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
        {"Find drivers in a folder...", FL_CTRL + 'd', nullptr, nullptr, 0, 0, 0, 0, 0},
        {"Copy drivers for this machine...", FL_CTRL + FL_SHIFT + 'd', nullptr, nullptr, collectFlag, 0, 0, 0, 0},
        {"Save report...", FL_CTRL + 's', nullptr, nullptr, 0, 0, 0, 0, 0},
        {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    };
    // What each item does, in the items' order.
    const std::function<void()> commands[] = {
        [this] { copySelectedLine(); }, [this] { copySelectedDevice(); }, [this] { copySelectedHardwareIds(); },
        [this] { copyAllDevices(); },   [this] { openAll(); },            [this] { closeAll(); },
        onToggleAttention,              onToggleUpdates,                  onOpenFile,
        onRescan,                       onFindDrivers,                    onCollectDrivers,
        onSaveReport,
    };
    static_assert(std::size(commands) + 1 == std::size(items), "a command for each item");
    const Fl_Menu_Item* chosen = items->popup(atX, atY);
    if (chosen && chosen->label() && commands[chosen - items])
        commands[chosen - items]();
}

// Fl_Tree's last_visible_item() may answer a line inside a closed one.
Fl_Tree_Item* DeviceTree::lastVisibleLine()
{
    for (Fl_Tree_Item* item = last(); item && item != root(); item = item->prev())
        if (item->visible_r())
            return item;
    return nullptr;
}

// The heading is drawn by the window, outside the tree's box, and FLTK
// redraws there only where the new one goes: what a longer one covered is
// redrawn too, or its ends would stay around a shorter one.
void DeviceTree::showHeading(const char* text)
{
    int width = 0, height = 0;
    measure_label(width, height);
    const int margin = 5;  // as FLTK's own, for glyphs past their measure
    width = std::max(width, w()) + 2 * margin;
    height += margin;
    if (Fl_Window* shownIn = window())
        shownIn->damage(FL_DAMAGE_ALL, x() + (w() - width) / 2, y() - height, width, height);
    copy_label(text);
}

Fl_Tree_Item* DeviceTree::selectedLine()
{
    return first_selected_item();
}

void DeviceTree::selectLine(Fl_Tree_Item* line)
{
    if (!line)
        return;
    select_only(line, when());
    set_item_focus(line);
    toReveal = line;
    redraw();
}

void DeviceTree::copySelectedLine()
{
    if (const Fl_Tree_Item* line = selectedLine())
        copyToClipboard(lineText(line));
}

void DeviceTree::copySelectedDevice()
{
    if (const Fl_Tree_Item* line = selectedLine())
        copyToClipboard(deviceText(line));
}

void DeviceTree::copySelectedHardwareIds()
{
    const Fl_Tree_Item* line = selectedLine();
    const Fl_Tree_Item* device = line ? deviceOf(line) : nullptr;
    const std::size_t index = device ? reinterpret_cast<std::uintptr_t>(device->user_data()) : devices.size();
    if (index < devices.size() && hardwareIdsOf)
        copyToClipboard(hardwareIdsOf(devices[index].key));
}

void DeviceTree::copyAllDevices()
{
    copyToClipboard(allDevicesText());
}

void DeviceTree::openAll()
{
    for (int i = 0; i < root()->children(); ++i) {
        buildLines(root()->child(i));
        setBranchOpen(root()->child(i), true);
    }
    redraw();
}

// A selected line that closing hides hands the selection to its device.
void DeviceTree::closeAll()
{
    Fl_Tree_Item* line = selectedLine();
    for (int i = 0; i < root()->children(); ++i)
        setBranchOpen(root()->child(i), false);
    if (line && !line->visible_r())
        selectLine(deviceOf(line));
    redraw();
}

// The line's whole text, which its label may show only the start of.
std::string DeviceTree::lineText(const Fl_Tree_Item* line) const
{
    const Fl_Tree_Item* device = deviceOf(line);
    const auto index = [](const Fl_Tree_Item* item) { return reinterpret_cast<std::uintptr_t>(item->user_data()); };
    if (device && index(device) < devices.size()) {
        const DeviceOutline& outline = devices[index(device)].outline;
        const std::size_t at = line == device ? 0 : index(line);
        if ((line == device || at > 0) && at < outline.size())
            return outline[at].text;
    }
    return line && line->label() ? line->label() : "";
}

std::string DeviceTree::deviceText(const Fl_Tree_Item* line) const
{
    std::string text;
    const Fl_Tree_Item* device = deviceOf(line);
    const int index = device ? indexOf(device) : -1;
    if (index >= 0 && index < static_cast<int>(devices.size()))
        appendOutlineText(text, devices[static_cast<std::size_t>(index)].outline);
    return text;
}

std::string DeviceTree::allDevicesText() const
{
    std::string text;
    for (const Device& device : devices)
        appendOutlineText(text, device.outline);
    return text;
}

const Fl_Tree_Item* DeviceTree::deviceOf(const Fl_Tree_Item* line) const
{
    while (line && line->parent() && line->parent()->parent())
        line = line->parent();
    return line && line->parent() ? line : nullptr;  // the root is no device
}

Fl_Tree_Item* DeviceTree::deviceOf(Fl_Tree_Item* line) const
{
    return const_cast<Fl_Tree_Item*>(deviceOf(static_cast<const Fl_Tree_Item*>(line)));
}

// Fl_Tree items copy their labels and draw them literally. What is below a
// device is built when it is first opened: thousands of devices start with
// a line each, and one empty line below it, for the box that opens it.
Fl_Tree_Item* DeviceTree::addDevice(const std::string& key, DeviceOutline outline, MeasuredLabel measured)
{
    if (outline.empty())
        return nullptr;
    Fl_Tree_Item* device = addLine(root(), labelOf(outline.front().text), measured);
    addLine(device, "");
    device->close();  // new items start open; an item's own close() fires no callback
    device->usericon(markPicture(outline.front().mark));
    device->user_data(reinterpret_cast<void*>(devices.size()));  // its place in `devices`
    devices.push_back({key, std::move(outline), false});
    return device;
}

Fl_Tree_Item* DeviceTree::addLine(Fl_Tree_Item* parent, const std::string& label, MeasuredLabel measured)
{
    auto* line = new MeasuredLine(this, measured);  // owned by its parent from here on, as add() makes them
    line->label(label.c_str());
    return parent->add(prefs(), line->label(), line);
}

std::vector<platform::TextFont> DeviceTree::firstDrawingFonts()
{
    std::vector<platform::TextFont> fonts = {labelFont()};
    for (const auto& [face, size] : markGlyphFonts())
        fonts.push_back({face, size});
    return fonts;
}

std::optional<int> DeviceTree::LineMeasure::upperBound(const std::string& label)
{
    double sum = 0;
    for (const char c : label) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 || code > 0x7E || code == '@')  // '@' starts a symbol
            return std::nullopt;
        if (advances[code] == 0) {
            const char alone[] = {c, '\0'};
            advances[code] = fl_width(alone);
        }
        sum += advances[code];
    }
    // Kerning moves a few pairs closer and fewer apart, by a fraction of a
    // character; a fifth more, and two pixels for rounding, is far beyond.
    return static_cast<int>(sum * 1.2) + 2;
}

MeasuredLabel DeviceTree::LineMeasure::operator()(const std::string& text)
{
    const std::string label = labelOf(text);
    fl_font(labelFont().face, labelFont().size);
    MeasuredLabel measured{-1, fl_font(), fl_size(), fl_graphics_driver->scale()};
    if (measured.font != widest.font || measured.size != widest.size || measured.scale != widest.scale) {
        widest = measured;
        advances.fill(0);
    }
    // A device line's mark moves its label right: as far as the widest mark,
    // when the widest line has none.
    static const int markRoom = [] {
        int room = 0;
        for (const DeviceMark mark : picturedMarks)
            room = std::max(room, markPicture(mark)->w() + Fl_Tree_Prefs().usericonmarginleft());
        return room;
    }();
    if (const auto bound = upperBound(label); bound && widest.width >= 0 && *bound + markRoom < widest.width) {
        measured.width = *bound;  // it cannot be the widest
        return measured;
    }
    int height = 0;  // a width of 0: no wrapping
    measured.width = 0;
    fl_measure(label.c_str(), measured.width, height);
    widest.width = std::max(widest.width, measured.width);
    return measured;
}

void DeviceTree::buildLines(Fl_Tree_Item* device)
{
    if (!device || device->parent() != root())
        return;
    Device& entry = devices[reinterpret_cast<std::uintptr_t>(device->user_data())];
    if (entry.built)
        return;
    entry.built = true;
    clear_children(device);
    std::vector<Fl_Tree_Item*> parents = {root(), device};
    for (std::size_t index = 1; index < entry.outline.size(); ++index) {
        const OutlineLine& line = entry.outline[index];
        parents.resize(std::min(static_cast<std::size_t>(line.depth) + 1, parents.size()));
        parents.push_back(addLine(parents.back(), labelOf(line.text)));
        parents.back()->user_data(reinterpret_cast<void*>(index));  // its place in the outline, for copies
    }
    for (int i = 0; i < device->children(); ++i)
        setBranchOpen(device->child(i), false);
}

// Whatever opened a device (a click, a key, the toolkit's own keys), its
// lines are there before anything looks below it.
void DeviceTree::buildOpenDevices()
{
    for (int i = 0; i < root()->children(); ++i)
        if (root()->child(i)->is_open())
            buildLines(root()->child(i));
}

void DeviceTree::clearDevices()
{
    set_item_focus(nullptr);
    toReveal = nullptr;
    clear_children(root());
    devices.clear();
}

std::optional<DeviceTree::LinePath> DeviceTree::pathOf(const Fl_Tree_Item* line) const
{
    const Fl_Tree_Item* device = deviceOf(line);
    if (!device)
        return std::nullopt;
    LinePath path;
    for (; line != device; line = line->parent())
        path.below.insert(path.below.begin(), indexOf(line));
    const int index = indexOf(device);
    if (index < 0 || index >= static_cast<int>(devices.size()))
        return std::nullopt;
    path.device = devices[static_cast<std::size_t>(index)].key;
    return path;
}

Fl_Tree_Item* DeviceTree::lineAt(const LinePath& path) const
{
    const auto device = std::find_if(devices.begin(), devices.end(),
                                     [&path](const Device& candidate) { return candidate.key == path.device; });
    Fl_Tree_Item* top = const_cast<DeviceTree*>(this)->root();
    if (device == devices.end() || !top || device - devices.begin() >= top->children())
        return nullptr;
    Fl_Tree_Item* line = top->child(static_cast<int>(device - devices.begin()));
    if (!path.below.empty())
        const_cast<DeviceTree*>(this)->buildLines(line);
    for (const int index : path.below) {
        if (index < 0 || index >= line->children())
            return nullptr;
        line = line->child(index);
    }
    return line;
}

DeviceTree::View DeviceTree::view()
{
    View kept;
    kept.top = vposition();
    kept.left = hposition();
    for (Fl_Tree_Item* item = first(); item; item = item->next()) {
        if (item->has_children() && item->is_open())
            if (const auto path = pathOf(item))
                kept.open.insert(*path);
        if (item->is_selected())
            kept.selected = pathOf(item);
    }
    return kept;
}

void DeviceTree::restoreView(const View& view)
{
    for (const LinePath& path : view.open)
        if (Fl_Tree_Item* line = lineAt(path); line && line->has_children())
            line->open();
    if (view.selected)
        if (Fl_Tree_Item* line = lineAt(*view.selected)) {
            select_only(line, 0);
            set_item_focus(line);
        }
    // Both are kept within the lines when next drawn.
    _vscroll->Fl_Slider::value(view.top);
    _hscroll->Fl_Slider::value(view.left);
    redraw();
}
