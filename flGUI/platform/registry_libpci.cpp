#include "registry_libpci.h"

extern "C" {
#include <pci/pci.h>
}

#include <algorithm>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <tuple>
#include <vector>

namespace {

struct PciFunction {
    int domain;
    unsigned bus, slot, function;
    unsigned vendorId, deviceId, subsystemVendorId, subsystemId, revision;
    std::string driver;
    bool hasVendorName = false, hasDeviceName = false;
    std::string vendorName, deviceName, className;
};

// libpci's default error handler ends the process; ours jumps back into
// readPciBus, which turns the failure into an error code.
std::jmp_buf* activeJump = nullptr;
char libpciMessage[512];

// The handler's type carries GNU's noreturn, which clang counts as part of it.
void onLibpciError(char* format, ...) __attribute__((noreturn));
void onLibpciError(char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(libpciMessage, sizeof libpciMessage, format, arguments);
    va_end(arguments);
    std::longjmp(*activeJump, 1);
}

void ignoreLibpciMessage(char*, ...) {}

const char* lookupName(pci_access* access, char* buffer, int size, int flags, unsigned a, unsigned b = 0)
{
    return pci_lookup_name(access, buffer, size, flags | PCI_LOOKUP_NO_NUMBERS, a, b);
}

// Reads every function libpci knows into `functions`. Only libpci's own C
// frames lie between the jump and this function's setjmp, and this function
// keeps nothing on its stack that needs destroying.
bool readPciBus(const LibpciRegistry::Options& options, std::vector<PciFunction>& functions,
                pci_access* access)
{
    std::jmp_buf failed;
    activeJump = &failed;
    if (setjmp(failed)) {
        activeJump = nullptr;
        return false;
    }
    if (!options.sysfsPath.empty()) {
        pci_set_param(access, const_cast<char*>("sysfs.path"),
                      const_cast<char*>(options.sysfsPath.c_str()));
        access->method = PCI_ACCESS_SYS_BUS_PCI;
    }
    if (!options.idsPath.empty())
        pci_set_name_list_path(access, const_cast<char*>(options.idsPath.c_str()), 0);
    if (!options.useHwdb)
        pci_set_param(access, const_cast<char*>("hwdb.disable"), const_cast<char*>("1"));
    pci_init(access);
    pci_scan_bus(access);
    for (pci_dev* device = access->devices; device; device = device->next) {
        pci_fill_info(device, PCI_FILL_IDENT | PCI_FILL_CLASS | PCI_FILL_CLASS_EXT |
                                  PCI_FILL_SUBSYS | PCI_FILL_DRIVER);
        functions.emplace_back();
        PciFunction& function = functions.back();
        function.domain = device->domain;
        function.bus = device->bus;
        function.slot = device->dev;
        function.function = device->func;
        function.vendorId = device->vendor_id;
        function.deviceId = device->device_id;
        function.subsystemVendorId = device->subsys_vendor_id;
        function.subsystemId = device->subsys_id;
        function.revision = device->rev_id;
        if (const char* driver = pci_get_string_property(device, PCI_FILL_DRIVER))
            function.driver = driver;
        char name[1024];
        if (const char* vendor = lookupName(access, name, sizeof name, PCI_LOOKUP_VENDOR, device->vendor_id)) {
            function.vendorName = vendor;
            function.hasVendorName = true;
        }
        if (const char* model = lookupName(access, name, sizeof name, PCI_LOOKUP_DEVICE,
                                           device->vendor_id, device->device_id)) {
            function.deviceName = model;
            function.hasDeviceName = true;
        }
        if (const char* kind = lookupName(access, name, sizeof name, PCI_LOOKUP_CLASS, device->device_class))
            function.className = kind;
        else {
            std::snprintf(name, sizeof name, "Class %04x", device->device_class);
            function.className = name;
        }
    }
    activeJump = nullptr;
    return true;
}

std::string formatted(const char* format, ...)
{
    char text[128];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

}

bool LibpciRegistry::load()
{
    if (loaded)
        return true;
    std::vector<PciFunction> functions;
    pci_access* access = pci_alloc();
    access->error = onLibpciError;
    access->warning = ignoreLibpciMessage;
    access->debug = ignoreLibpciMessage;
    const bool read = readPciBus(options, functions, access);
    pci_cleanup(access);
    if (!read) {
        error = libpciMessage;
        return false;
    }

    // libpci lists functions in no particular order; the registry lists them by bus address.
    std::sort(functions.begin(), functions.end(), [](const PciFunction& a, const PciFunction& b) {
        return std::tie(a.domain, a.bus, a.slot, a.function) <
               std::tie(b.domain, b.bus, b.slot, b.function);
    });
    KeyTreeRegistry::Node& branch = tree.addKey(pciBranchPath);
    for (const PciFunction& function : functions) {
        KeyTreeRegistry::Node& device = branch.addSubKey(formatted(
            "VEN_%04X&DEV_%04X&SUBSYS_%04X%04X&REV_%02X", function.vendorId, function.deviceId,
            function.subsystemId, function.subsystemVendorId, function.revision));
        KeyTreeRegistry::Node& instance = device.addSubKey(formatted(
            "%04x:%02x:%02x.%x", function.domain, function.bus, function.slot, function.function));
        instance.setString("Class", function.className);
        if (function.hasVendorName)
            instance.setString("Mfg", function.vendorName);
        if (function.hasDeviceName)
            instance.setString("DeviceDesc", function.driver + ";" + function.deviceName);
    }
    loaded = true;
    error.clear();
    return true;
}

long LibpciRegistry::openKey(Key parent, const char* subKey, Key* result)
{
    if (parent == localMachine && !load())
        return registryError::genFailure;
    return tree.openKey(parent, subKey, result);
}

long LibpciRegistry::enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize)
{
    return tree.enumKey(key, index, name, nameSize);
}

long LibpciRegistry::queryValue(Key key, const char* valueName,
                                unsigned char* data, std::uint32_t* dataSize)
{
    return tree.queryValue(key, valueName, data, dataSize);
}

long LibpciRegistry::closeKey(Key key)
{
    return tree.closeKey(key);
}

Registry& systemRegistry()
{
    static LibpciRegistry live;
    return live;
}
