// SPDX-License-Identifier: GPL-2.0-or-later
#include "driverOptions.h"

#include "files.h"
#include "platform.h"

void DriverOptions::addTo(CommandLine& line, const char* driversHelp, const char* shown)
{
    line.fileList(0, "drivers", "DIR", folders, driversHelp)
        .value(0, "windows", "TARGET", windows,
               std::string("the Windows the drivers are to fit: ARCH, VERSION or\nARCH:VERSION, e.g. amd64:10.0.22631 "
                           "(default: this\nWindows when ") +
                   shown + " it, else amd64:10.0.26100)");
}

std::optional<int> DriverOptions::check(const CommandLine& line, bool thisMachine)
{
    for (const std::string& folder : folders) {
        platform::OpenDirectory opened;
        const platform::Listing listing = platform::OpenDirectory::open(folder, opened);
        if (listing == platform::Listing::missing)
            return line.usageError("--drivers '" + folder + "': no such folder or archive");
        if (listing == platform::Listing::notADirectory && !platform::openRegularFile(folder.c_str()).file)
            return line.usageError("--drivers '" + folder + "': neither a folder nor an archive");
    }
    target = thisMachine ? platform::runningWindows() : WindowsTarget();
    if (!windows.empty()) {
        std::string problem;
        const auto given = parseWindowsTarget(windows, problem);
        if (!given)
            return line.usageError("--windows '" + windows + "': " + problem);
        target = *given;
    }
    return std::nullopt;
}

bool readDriverFolders(DriverFolders& drivers, const std::vector<std::string>& folders)
{
    for (const std::string& folder : folders)
        if (!drivers.read(folder))
            return false;
    return true;
}
