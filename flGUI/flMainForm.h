#ifndef CORVANE_FLMAINFORM_H
#define CORVANE_FLMAINFORM_H

#include "DeviceRecord.h"
#include "flBaseForm.h"
#include "hardware.h"

#include <memory>
#include <vector>

class DeviceTree;
class Registry;

// The program's window: loads devices.lst, reads the PCI devices from the
// registry and shows them as a tree, all in its constructor.
class flMainForm : public flBaseForm {
public:
    flMainForm();                              // the system's registry
    explicit flMainForm(Registry& registry);   // any other
    ~flMainForm() override;

    // Appends a record to `devices` for every device key of the PCI branch
    // that can be read, matched against `database`.
    void scanPciRegistry();

    void createWidgets() override;
    void handleCallback(Fl_Widget* widget) override;

    DeviceTree* browser = nullptr;  // a child of window
    std::unique_ptr<HardwareDatabase> database;
    std::vector<std::unique_ptr<DeviceRecord>> devices;

private:
    Registry& registry;
};

// The scan itself, which needs no window: the main form runs it on its own
// registry, database and device list.
void scanPciBranch(Registry& registry, const HardwareDatabase& database,
                   std::vector<std::unique_ptr<DeviceRecord>>& devices);

#endif
