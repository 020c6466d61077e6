// corvane-list [--attention] [FILE]: the program's start-up without the
// window, for terminals and scripts. It loads devices.lst, reads the PCI
// devices (of this machine, or those recorded in FILE) and prints each
// device's outline as indented text; with --attention only the devices that
// need attention. A failure ends in the fatal-error report without its box:
// the error.log line, the standard-error line and status 255.
#include "deviceFile.h"
#include "deviceOutline.h"
#include "flException.h"
#include "hardware.h"
#include "pciScan.h"
#include "platform.h"
#include "registry.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments = platform::arguments(argc, argv);
    const auto option = std::find(arguments.begin(), arguments.end(), "--attention");
    const bool attentionOnly = option != arguments.end();
    if (attentionOnly)
        arguments.erase(option);
    if (arguments.size() > 1) {
        std::fprintf(stderr, "usage: corvane-list [--attention] [FILE]\n");
        return 2;
    }
    runReportingFailures([&arguments, attentionOnly] {
        platform::showUtf8OnConsole();
        const HardwareDatabase database(databasePath());
        DeviceFile file;
        if (!arguments.empty()) {
            file = readDeviceFile(arguments[0]);
            const std::string notice = noticeOf(arguments[0], file);
            if (!notice.empty()) {
                std::fprintf(stderr, "%s\n", notice.c_str());
                std::fflush(stderr);
            }
        }
        std::string text;
        for (const auto& device : scanPciRegistry(file.registry ? *file.registry : systemRegistry(), database))
            if (!attentionOnly || device->needsAttention())
                appendOutlineText(text, outlineOf(*device));
        std::fwrite(text.data(), 1, text.size(), stdout);
    });
    return 0;
}
