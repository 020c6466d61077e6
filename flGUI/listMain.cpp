// corvane-list: the program's start-up without the window. It loads
// devices.lst, reads the PCI devices and prints the tree as text; a failure
// ends in the same fatal-error report as the window's.
#include "flException.h"
#include "flMainForm.h"
#include "platform/platform.h"
#include "platform/registry.h"

#include <cstdio>

int main()
{
    runReportingFailures([] {
        platform::showUtf8OnConsole();
        const HardwareDatabase database(databasePath());
        std::vector<std::unique_ptr<DeviceRecord>> devices;
        scanPciBranch(systemRegistry(), database, devices);
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
