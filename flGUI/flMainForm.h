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
// registry and shows them as a tree, all in its constructor; F5 does it again.
class flMainForm : public flBaseForm {
public:
    flMainForm();                              // the system's registry
    explicit flMainForm(Registry& registry);   // any other
    ~flMainForm() override;

    void createWidgets() override;
    void handleCallback(Fl_Widget* widget) override;

    // Loads devices.lst and reads the registry again, as the constructor
    // does, and rebuilds the tree keeping the lines the user opened and
    // selected and the scroll position where they still exist. A failure
    // leaves the tree as it is and is reported without ending the program.
    void rescan();

    // Appends a record to `devices` for every device key of the registry's
    // PCI branch that can be read, matched against `database`.
    void scanPciRegistry();

    DeviceTree* browser = nullptr;  // a child of window
    std::unique_ptr<HardwareDatabase> database;
    std::vector<std::unique_ptr<DeviceRecord>> devices;

private:
    // Loads devices.lst into `database` and scans the registry into a fresh
    // `devices`; when either fails, both are left as they were and the
    // flException goes on. Only the first load writes its line feed.
    void loadDevices(bool firstLoad);
    // (Re)builds the tree from `devices`, keeping the tree's view.
    void fillTree();

    Registry& registry;  // where the devices are read from
    bool rescanning = false;
};

// The PCI scan, which needs no window: appends a record to `devices` for
// every device key of the PCI branch that can be read, matched against
// `database`. The main form runs it at start and on F5.
void scanPciBranch(Registry& registry, const HardwareDatabase& database,
                   std::vector<std::unique_ptr<DeviceRecord>>& devices);

#endif
