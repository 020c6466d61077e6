// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVEROPTIONS_H
#define CORVANE_DRIVEROPTIONS_H

// The options of both programs that look for drivers: --drivers DIR (a
// folder or an archive, as often as given) and --windows TARGET. A mistake
// in them is a usage error, said before anything is read.
#include "commandLine.h"
#include "driverFolder.h"
#include "windowsTarget.h"

#include <optional>
#include <string>
#include <vector>

struct DriverOptions {
    std::vector<std::string> folders;
    std::string windows;
    WindowsTarget target;  // once checked

    // `shown` says what the program does with this machine's devices
    // ("showing", "listing"), for --windows' help.
    void addTo(CommandLine& line, const char* driversHelp, const char* shown);
    // Checks what was given, after line.parse(), and sets `target`: the one
    // given, else this Windows when `thisMachine`, else the default. The
    // usage error's status, or none.
    std::optional<int> check(const CommandLine& line, bool thisMachine);
};

// Reads `folders` into `drivers` in turn, the window's on its thread and
// the list's alike: false when the reading was stopped.
bool readDriverFolders(DriverFolders& drivers, const std::vector<std::string>& folders);

#endif
