// SPDX-License-Identifier: GPL-2.0-or-later
// The toolkit's floor for corvane's start-up: the same window with the same
// tree, lines and marks, taken from the arguments, and nothing else read.
//   startup-floor [--toolkit-defaults] [--marks MARK,...] LINE...
//   startup-floor [--toolkit-defaults] [--marks MARK,...] --lines FILE
// Each argument (or each line of FILE) is one line of the tree, indented by
// two blanks per level as corvane-list prints it; every line with lines below
// it starts closed. The marks are the device lines', in their order: none,
// problem, disabled, notInDatabase, problemNotInDatabase or
// disabledNotInDatabase. The display is opened as corvane opens it, or with
// --toolkit-defaults as FLTK opens it by itself.
#include "DeviceTree.h"
#include "deviceMarks.h"
#include "platformWindow.h"
#include "version.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Tree_Item.H>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

bool takeOption(std::vector<std::string>& arguments, const std::string& option)
{
    if (arguments.empty() || arguments.front() != option)
        return false;
    arguments.erase(arguments.begin());
    return true;
}

std::vector<DeviceMark> marksNamed(const std::string& list)
{
    static const std::pair<const char*, DeviceMark> names[] = {
        {"none", DeviceMark::none},
        {"problem", DeviceMark::problem},
        {"disabled", DeviceMark::disabled},
        {"notInDatabase", DeviceMark::notInDatabase},
        {"problemNotInDatabase", DeviceMark::problemNotInDatabase},
        {"disabledNotInDatabase", DeviceMark::disabledNotInDatabase}};
    std::vector<DeviceMark> marks;
    std::istringstream items(list);
    for (std::string item; std::getline(items, item, ',');) {
        const auto named = std::find_if(std::begin(names), std::end(names),
                                        [&item](const auto& name) { return item == name.first; });
        if (named == std::end(names)) {
            std::fprintf(stderr, "startup-floor: no mark is named %s\n", item.c_str());
            std::exit(2);
        }
        marks.push_back(named->second);
    }
    return marks;
}

// Each line below the one before it that is one level up, closed where it has lines below it.
void addLines(DeviceTree& tree, const std::vector<std::string>& lines, const std::vector<DeviceMark>& marks)
{
    std::vector<Fl_Tree_Item*> parents = {tree.root()};
    std::size_t devicesSeen = 0;
    for (const std::string& line : lines) {
        const char* text = line.c_str();
        std::size_t depth = 0;
        while (text[0] == ' ' && text[1] == ' ') {
            text += 2;
            ++depth;
        }
        parents.resize(std::min(depth + 1, parents.size()));
        parents.push_back(tree.add(parents.back(), text));
        if (depth == 0 && devicesSeen < marks.size())
            parents.back()->usericon(markPicture(marks[devicesSeen]));
        devicesSeen += depth == 0;
    }
    for (Fl_Tree_Item* item = tree.first(); item; item = item->next())
        if (item != tree.root() && item->has_children())
            item->close();
}

}

int main(int argc, char** argv)
{
    Fl_Double_Window window(800, 600, "Corvane " CORVANE_VERSION " Release " CORVANE_RELEASE_DATE_US "'");
    window.end();
    auto* tree = new DeviceTree(10, 15, 785, 525, "Hardware Devices");
    window.add(tree);
    tree->showroot(0);
    tree->sortorder(FL_TREE_SORT_NONE);

    std::vector<std::string> lines(argv + 1, argv + argc);
    const bool toolkitDefaults = takeOption(lines, "--toolkit-defaults");
    std::vector<DeviceMark> marks;
    if (lines.size() >= 2 && takeOption(lines, "--marks")) {
        marks = marksNamed(lines.front());
        lines.erase(lines.begin());
    }
    if (lines.size() == 2 && lines[0] == "--lines") {
        std::ifstream file(lines[1]);
        lines.clear();
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
    }
    addLines(*tree, lines, marks);
    if (!toolkitDefaults)
        platform::openDisplay(DeviceTree::firstDrawingFonts());
    window.show();
    return Fl::run();
}
