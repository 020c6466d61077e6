// corvane-list [FILE]: the program's start-up without the window. It loads
// devices.lst, reads the PCI devices (of this machine, or those recorded in
// FILE) and prints the tree as text; a failure ends in the same fatal-error
// report as the window's.
#include "deviceFile.h"
#include "flException.h"
#include "flMainForm.h"
#include "platform/platform.h"
#include "platform/registry.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = platform::arguments(argc, argv);
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
        std::vector<std::unique_ptr<DeviceRecord>> devices;
        scanPciBranch(file.registry ? *file.registry : systemRegistry(), database, devices);
        for (const auto& device : devices) {
            const HardwareEntry& entry = device->entry;
            std::printf("%s\n  Windows\n    %s\n    %s\n  Database\n    %s\n    %s\n    %s\n    %s\n    %s\n",
                        device->description.c_str(), device->deviceClass.c_str(),
                        device->manufacturer.c_str(), entry.getVendorId().c_str(),
                        entry.getDeviceId().c_str(), entry.getText1().c_str(), entry.getText3().c_str(),
                        entry.getText2().c_str());
        }
    });
    return 0;
}
