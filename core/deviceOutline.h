#ifndef CORVANE_DEVICEOUTLINE_H
#define CORVANE_DEVICEOUTLINE_H

#include "DeviceRecord.h"

#include <string>
#include <vector>

// What is shown of one device, line by line, in the order shown: the
// device's label at depth 0; its groups ("Windows", "Database") at depth 1;
// their lines at depth 2. The window's tree, corvane-list and every copy are
// made from it, so they always agree.
struct OutlineLine {
    int depth;
    std::string text;
};
using DeviceOutline = std::vector<OutlineLine>;

DeviceOutline outlineOf(const DeviceRecord& device);

// The outline as text, as corvane-list prints it: every line indented by two
// blanks a level and ended by a line feed. Appended to `text`.
void appendOutlineText(std::string& text, const DeviceOutline& outline);

#endif
