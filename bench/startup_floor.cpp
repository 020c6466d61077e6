// SPDX-License-Identifier: GPL-2.0-or-later
// The toolkit's floor for corvane's start-up: the same window with the same
// tree and the same lines, taken from the arguments, and nothing else read.
//   startup-floor [--toolkit-defaults] LINE...
//   startup-floor [--toolkit-defaults] --lines FILE
// Each argument (or each line of FILE) is one line of the tree, indented by
// two blanks per level as corvane-list prints it; every line with lines below
// it starts closed. The display is opened as corvane opens it, or with
// --toolkit-defaults as FLTK opens it by itself.
#include "DeviceTree.h"
#include "platformWindow.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Tree_Item.H>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    Fl_Double_Window window(800, 600, "Corvane 1.5.1 Release 12/17/2011'");
    window.end();
    auto* tree = new DeviceTree(10, 15, 785, 525, "Hardware Devices");
    window.add(tree);
    tree->showroot(0);
    tree->sortorder(FL_TREE_SORT_NONE);

    const bool toolkitDefaults = argc > 1 && std::string(argv[1]) == "--toolkit-defaults";
    std::vector<std::string> lines(argv + (toolkitDefaults ? 2 : 1), argv + argc);
    if (lines.size() == 2 && lines[0] == "--lines") {
        std::ifstream file(lines[1]);
        lines.clear();
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
    }
    std::vector<Fl_Tree_Item*> parents = {tree->root()};
    for (const std::string& line : lines) {
        const char* text = line.c_str();
        std::size_t depth = 0;
        while (text[0] == ' ' && text[1] == ' ') {
            text += 2;
            ++depth;
        }
        parents.resize(std::min(depth + 1, parents.size()));
        parents.push_back(tree->add(parents.back(), text));
    }
    for (Fl_Tree_Item* item = tree->first(); item; item = item->next())
        if (item != tree->root() && item->has_children())
            item->close();
    if (!toolkitDefaults)
        platform::openDisplay();
    window.show();
    return Fl::run();
}
