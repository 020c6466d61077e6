// SPDX-License-Identifier: GPL-2.0-or-later
#include "commandLine.h"
#include "deviceSource.h"
#include "driverOptions.h"
#include "flException.h"
#include "flMainForm.h"
#include "outOfMemory.h"
#include "platform.h"
#include "platformWindow.h"

#include <FL/Fl.H>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// corvane [OPTION]... [FILE]: the machine's PCI devices, or those recorded
// in FILE (a Windows registry export or an lspci dump from another machine).
int main(int argc, char** argv)
{
    reportOutOfMemoryAtTerminate();
    std::vector<std::string> arguments;
    DriverOptions options;
    CommandLine line("corvane", "corvane [OPTION]... [FILE]",
                     "Shows the PCI devices of this computer, or those another machine recorded in\n"
                     "FILE (a Windows registry export or an lspci dump), in a window: what the\n"
                     "system records of each and what devices.lst says of it.\n",
                     "Exit status: 0 once the window is closed, 2 for bad arguments, 255 after a\n"
                     "fatal error (its line is appended to error.log).\n");
    options.addTo(line, "look for the drivers that fit each device in the INF files\nbelow DIR (may be given several times)",
                  "showing");
    line.operands(arguments);
    if (const auto status = line.parse(platform::arguments(argc, argv)))
        return *status;
    if (arguments.size() > 1) {
        std::fprintf(stderr, "usage: corvane [FILE]\n");
        return 2;
    }
    if (const auto status = options.check(line, arguments.empty()))
        return *status;
    const flMainForm::DriverSearch drivers{options.folders, options.target};
    flException::showBox = platform::showMessageBox;
    runReportingFailures([&arguments, &drivers] {
        platform::hideConsole();
        auto form = arguments.empty() ? std::make_unique<flMainForm>(systemDevices(), drivers)
                                      : std::make_unique<flMainForm>(arguments[0], drivers);
        form->show();
        Fl::run();
    });
    return 0;
}
