// corvane-list [OPTION]... [FILE]: the program's start-up without the
// window, for terminals and scripts. It loads devices.lst, reads the PCI
// devices (of this machine, or those recorded in FILE) and prints each
// device's outline as indented text. A failure ends in the fatal-error report
// without its box: the error.log line, the standard-error line and status 255.
#include "commandLine.h"
#include "deviceFile.h"
#include "deviceOutline.h"
#include "flException.h"
#include "hardware.h"
#include "pciScan.h"
#include "platform.h"
#include "registry.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments;
    CommandLine line("corvane-list", "corvane-list [OPTION]... [FILE]",
                     "Prints the PCI devices of this computer, or those another machine recorded in\n"
                     "FILE (a Windows registry export or an lspci dump), as indented text: what the\n"
                     "system records of each and what devices.lst says of it.\n",
                     "Exit status: 0 when the devices were printed, 2 for bad arguments, 255 after\n"
                     "a fatal error (its line is appended to error.log).\n");
    line.operands(arguments);
    if (const auto status = line.parse(platform::arguments(argc, argv)))
        return *status;
    if (arguments.size() > 1) {
        std::fprintf(stderr, "usage: corvane-list [FILE]\n");
        return 2;
    }
    runReportingFailures([&arguments] {
        platform::showUtf8OnConsole();
        const HardwareDatabase database(databasePath());
        DeviceFile file;
        if (!arguments.empty()) {
            file = readDeviceFile(arguments[0]);
            if (file.skippedLines) {
                std::fprintf(stderr, "%s\n", skippedLinesNotice(arguments[0], file.skippedLines).c_str());
                std::fflush(stderr);
            }
        }
        std::string text;
        for (const auto& device : scanPciRegistry(file.registry ? *file.registry : systemRegistry(), database))
            appendOutlineText(text, outlineOf(*device));
        std::fwrite(text.data(), 1, text.size(), stdout);
    });
    return 0;
}
