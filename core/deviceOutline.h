// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICEOUTLINE_H
#define CORVANE_DEVICEOUTLINE_H

#include "DeviceRecord.h"

#include <cstdint>

#include <optional>
#include <string>
#include <vector>

// What the device line's mark says, the most pressing first: no driver (or a
// problem the system reports), disabled, not in the database; a device
// without a driver or disabled that is not in the database either says both.
enum class DeviceMark { none, problem, disabled, notInDatabase, problemNotInDatabase, disabledNotInDatabase };

// What is shown of one device, line by line, in the order shown: the
// device's label at depth 0, with its mark; its groups (what its system
// recorded, named after it: "Windows", "Linux" or "lspci"; "Database"; and
// "Drivers that fit" when a folder of drivers was looked in)
// at depth 1; their lines at depth 2 (a fit's details, and the installed
// driver's, at 3). The window's tree,
// corvane-list and every copy are made from it, so they always agree; the
// text forms leave the mark out. Its texts are shown as visibleText.h says:
// a line of the outline holds no control character.
struct OutlineLine {
    int depth;
    std::string text;
    DeviceMark mark = DeviceMark::none;
};
using DeviceOutline = std::vector<OutlineLine>;

DeviceOutline outlineOf(const DeviceRecord& device);


// The text of the outline's first line, the device's label: its name, and
// what tells it apart where another device shows the same name ("... (PCI bus
// 2, device 0, function 0)"). Known once the source made the record, before
// it is looked up in the database.
std::string deviceLineText(const DeviceRecord& device);

// The name of the group of what the device's system recorded.
const char* recordedByName(RecordedBy recordedBy);

// The device's driver line ("Driver: e1000e", "No driver (modules: a, b)",
// ...), none where its source records no drivers.
std::optional<std::string> driverLine(const DeviceRecord& device);

DeviceMark markOf(const DeviceRecord& device);

// A driver that fits, by what decides between fits: "Red Hat VirtIO
// Ethernet Adapter, 100.101.104.28600, 2026-07-22, signed".
std::string fitSummary(const DriverFit& fit);

// A driver that fits, as its line says it: its summary first, so that the
// window shows it without scrolling sideways, then the INF below the folder:
// "Best: Red Hat VirtIO Ethernet Adapter, 100.101.104.28600, 2026-07-22,
// signed — NetKVM/netkvm.inf" (the best, the first fit, says so), and
// after "signed" what it is against the installed driver where that is
// known ("newer than installed", "installed": fitStandingWords).
std::string fitLine(const DriverFit& fit, bool best, FitStanding standing = FitStanding::none);

// What tells a fit from the others, a line each below its line: "Provider:
// ...", where it names one, "Rank 00ff0000: " and its rankWords, "Matched: ...".
std::vector<std::string> fitDetails(const DriverFit& fit);

// What a rank (Windows' 0xSSGGTHHH) says, in words: "signed, no feature
// score, the device's compatible ID 2 matched the INF's hardware ID".
std::string rankWords(std::uint32_t rank);

// The rank as eight small hexadecimal digits, as the forms for scripts give it.
std::string rankText(std::uint32_t rank);

// A text as a line shows it: up to its first zero byte, which a devices.lst
// field may hold; no form of the outline can show more.
std::string lineText(const std::string& text);

// The outline as text, as corvane-list prints it: every line indented by two
// blanks a level and ended by a line feed. Appended to `text`.
void appendOutlineText(std::string& text, const DeviceOutline& outline);

#endif
