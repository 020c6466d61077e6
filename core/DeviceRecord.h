#ifndef CORVANE_DEVICERECORD_H
#define CORVANE_DEVICERECORD_H

#include "hardware.h"

#include <string>

// One PCI device: what the registry says of it and what devices.lst says.
class DeviceRecord {
public:
    // Identifiers from the device key's name; every text empty.
    explicit DeviceRecord(const char* keyName);

    // Copies the first database entry with the same identifiers, if any.
    void matchDatabase(const HardwareDatabase& database);

    std::string keyName;  // the device key's name, which tells the device apart across scans
    std::string deviceClass;
    std::string manufacturer;
    std::string description;
    HardwareEntry entry;
};

#endif
