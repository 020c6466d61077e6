// SPDX-License-Identifier: GPL-2.0-or-later
#include "registry_libpci.h"

#include "pciIdsFile.h"
#include "pciIdsReader.h"
#include "registry_tree.h"
#include "text.h"

extern "C" {
#include <pci/pci.h>
}
#include <libkmod.h>

#include <algorithm>
#include <csetjmp>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace {

struct PciFunction {
    int domain;
    unsigned bus, slot, function;
    unsigned vendorId, deviceId, subsystemVendorId, subsystemId, revision, classCode;
    std::string driver;                                 // bound to it; empty: none
    std::string moduleAlias;                            // when no driver is bound
    std::vector<std::string> modules;                   // that could drive it
    // Views into the list or into the names libpci's other sources gave.
    std::optional<std::string_view> vendorName, deviceName;  // none: no source knows it
    std::string_view className;
    std::string keyName, address;  // its device key's name, its instance key's
    std::size_t nextInstance = 0;  // the next function of its device key; none: npos
};

// Names that do not stand in the list: what libpci's other sources gave,
// class names made of a code. They stay put as more are added.
using OtherNames = std::deque<std::string>;

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

// What libpci knows of a name beyond pci.ids: its cache of answers from the
// network and udev's hardware database, the places it turns to when the list
// lacks a name. Null when they do not know it either, or when libpci fails.
const char* lookupElsewhere(pci_access* access, char* buffer, int size, int flags, unsigned a, unsigned b = 0)
{
    std::jmp_buf failed;
    activeJump = &failed;
    if (setjmp(failed)) {
        activeJump = nullptr;
        return nullptr;
    }
    const char* name =
        pci_lookup_name(access, buffer, size, flags | PCI_LOOKUP_NO_NUMBERS | PCI_LOOKUP_SKIP_LOCAL, a, b);
    activeJump = nullptr;
    return name;
}

// The name the tree shows for a class: the subclass's; for a class whose
// list entry lacks the subclass, the class's with the code in brackets, as
// "Serial bus controller [0c80]"; for a class not listed at all, "Unknown
// class [1400]". The brackets always mean that the name falls short.
std::string_view classNameOf(const PciIdsNames& names, pci_access* access, unsigned classCode, OtherNames& others)
{
    if (const auto name = names.subclass(static_cast<std::uint16_t>(classCode)))
        return *name;
    char buffer[1024];
    if (const char* name = lookupElsewhere(access, buffer, sizeof buffer, PCI_LOOKUP_CLASS, classCode))
        return others.emplace_back(name);
    char code[16];
    std::snprintf(code, sizeof code, " [%04x]", classCode);
    const auto base = names.baseClass(static_cast<std::uint16_t>(classCode));
    return others.emplace_back((base ? std::string(*base) : std::string("Unknown class")) + code);
}

// Names from the list first, from libpci's other sources where it has none.
void nameFunction(PciFunction& function, const PciIdsNames& names, pci_access* access, OtherNames& others)
{
    char buffer[1024];
    const auto vendorId = static_cast<std::uint16_t>(function.vendorId);
    const auto deviceId = static_cast<std::uint16_t>(function.deviceId);
    if (const auto vendor = names.vendor(vendorId))
        function.vendorName = *vendor;
    else if (const char* name = lookupElsewhere(access, buffer, sizeof buffer, PCI_LOOKUP_VENDOR, vendorId))
        function.vendorName = others.emplace_back(name);
    if (const auto model = names.device(vendorId, deviceId))
        function.deviceName = *model;
    else if (const char* name = lookupElsewhere(access, buffer, sizeof buffer, PCI_LOOKUP_DEVICE, vendorId, deviceId))
        function.deviceName = others.emplace_back(name);
    function.className = classNameOf(names, access, function.classCode, others);
}

// Reads every function libpci knows into `functions`, in bus order, with
// `devices` for its list of libpci's. Only libpci's own C frames lie between
// the jump and this function's setjmp, and this function keeps nothing on
// its stack that needs destroying.
bool readPciBus(const LibpciRegistry::Options& options, const std::string& dumpPath,
                std::vector<PciFunction>& functions, std::vector<pci_dev*>& devices, pci_access* access)
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
    if (!dumpPath.empty()) {
        pci_set_param(access, const_cast<char*>("dump.name"), const_cast<char*>(dumpPath.c_str()));
        access->method = PCI_ACCESS_DUMP;
    }
    if (!options.useHwdb)
        pci_set_param(access, const_cast<char*>("hwdb.disable"), const_cast<char*>("1"));
    pci_init(access);
    pci_scan_bus(access);
    // libpci lists functions in no particular order; they are taken by bus address.
    for (pci_dev* device = access->devices; device; device = device->next)
        devices.push_back(device);
    std::sort(devices.begin(), devices.end(), [](const pci_dev* a, const pci_dev* b) {
        return std::tie(a->domain, a->bus, a->dev, a->func) < std::tie(b->domain, b->bus, b->dev, b->func);
    });
    functions.reserve(devices.size());
    for (pci_dev* device : devices) {
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
        function.classCode = device->device_class;
        if (const char* driver = pci_get_string_property(device, PCI_FILL_DRIVER))
            function.driver = driver;
        // What could drive a function that nothing drives; a dump records neither.
        if (function.driver.empty() && dumpPath.empty() && (pci_fill_info(device, PCI_FILL_MODULE_ALIAS) & PCI_FILL_MODULE_ALIAS))
            if (const char* alias = pci_get_string_property(device, PCI_FILL_MODULE_ALIAS))
                function.moduleAlias = alias;
    }
    activeJump = nullptr;
    return true;
}

void ignoreKmodMessage(void*, int, const char*, int, const char*, const char*, va_list) {}

// The kernel's modules whose aliases match a function's, as `lspci -k` finds
// them: through libkmod's indexes of the running kernel's modules (or of
// `directory`, with `config`'s aliases, for tests). A machine without them
// gives none.
class KernelModules {
public:
    KernelModules(const std::string& directory, const std::string& config)
    {
        const char* const configs[] = {config.c_str(), nullptr};
        context = kmod_new(directory.empty() ? nullptr : directory.c_str(), config.empty() ? nullptr : configs);
        if (!context)
            return;
        kmod_set_log_fn(context, ignoreKmodMessage, nullptr);
        kmod_load_resources(context);  // the indexes in memory: each lookup is then cheap
    }
    ~KernelModules()
    {
        if (context)
            kmod_unref(context);
    }
    KernelModules(const KernelModules&) = delete;
    KernelModules& operator=(const KernelModules&) = delete;

    // Each module once, in libkmod's order.
    std::vector<std::string> matching(const std::string& alias) const
    {
        std::vector<std::string> names;
        kmod_list* found = nullptr;
        if (!context || kmod_module_new_from_lookup(context, alias.c_str(), &found) < 0)
            return names;
        kmod_list* entry;
        kmod_list_foreach(entry, found) {
            kmod_module* module = kmod_module_get_module(entry);
            const std::string name = kmod_module_get_name(module);
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
            kmod_module_unref(module);
        }
        kmod_module_unref_list(found);
        return names;
    }

private:
    kmod_ctx* context = nullptr;
};

// Looked up only for the functions without a driver: most machines have none.
void findModules(std::vector<PciFunction>& functions, const LibpciRegistry::Options& options)
{
    const auto unbound = [](const PciFunction& function) { return !function.moduleAlias.empty(); };
    if (std::none_of(functions.begin(), functions.end(), unbound))
        return;
    const KernelModules modules(options.modulesDirectory, options.modulesConfig);
    for (PciFunction& function : functions)
        if (unbound(function))
            function.modules = modules.matching(function.moduleAlias);
}

// `value` in `digits` hexadecimal digits, capitals or small letters.
void appendHex(std::string& text, unsigned value, int digits, bool capitals)
{
    const char* const alphabet = capitals ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        text += alphabet[(value >> shift) & 0xF];
}

// VEN_vvvv&DEV_dddd&SUBSYS_ssssSSSS&REV_rr, as Windows names a device's key.
std::string keyName(const PciFunction& function)
{
    std::string name = "VEN_";
    name.reserve(40);
    appendHex(name, function.vendorId, 4, true);
    name += "&DEV_";
    appendHex(name, function.deviceId, 4, true);
    name += "&SUBSYS_";
    appendHex(name, function.subsystemId, 4, true);
    appendHex(name, function.subsystemVendorId, 4, true);
    name += "&REV_";
    appendHex(name, function.revision, 2, true);
    return name;
}

// The function's address as `lspci -D` prints it: 0000:00:1f.3.
std::string address(const PciFunction& function)
{
    std::string text;
    appendHex(text, static_cast<unsigned>(function.domain), 4, false);
    text += ':';
    appendHex(text, function.bus, 2, false);
    text += ':';
    appendHex(text, function.slot, 2, false);
    text += '.';
    appendHex(text, function.function, 1, false);
    return text;
}

// A value's bytes, given in pieces, as RegQueryValueExA hands them out.
long answer(std::initializer_list<std::string_view> pieces, std::uint32_t valueType, std::uint32_t* type,
            unsigned char* data, std::uint32_t* dataSize)
{
    if (type)
        *type = valueType;
    if (!dataSize)
        return data ? registryError::invalidParameter : registryError::success;
    std::size_t size = 0;
    for (const std::string_view piece : pieces)
        size += piece.size();
    const std::uint32_t available = *dataSize;
    *dataSize = static_cast<std::uint32_t>(size);
    if (!data)
        return registryError::success;
    if (size > available)
        return registryError::moreData;
    for (const std::string_view piece : pieces)
        data = std::copy(piece.begin(), piece.end(), data);
    return registryError::success;
}

constexpr std::string_view zero("\0", 1);

// Beyond this many functions their names touch most of the list's pages:
// mapped at once, they cost one system call rather than a fault each.
constexpr std::size_t manyFunctions = 100;

// Names as the registry compares them: ASCII letters without case.
struct FoldedHash {
    std::size_t operator()(std::string_view name) const
    {
        std::size_t hash = 14695981039346656037u;  // FNV-1a
        for (const char c : name)
            hash = (hash ^ static_cast<unsigned char>(text::asciiLower(c))) * 1099511628211u;
        return hash;
    }
};

}

// The functions, in bus order as read, each with its names and key names;
// the device keys in the order of their first function, each with a chain
// of its functions; the list and the other names the functions' names are in.
struct LibpciRegistry::Bus {
    std::vector<PciFunction> functions;
    std::optional<PciIdsFile> list;
    OtherNames otherNames;
    std::vector<std::size_t> firstInstance;  // of each device key
    // Device keys by the folded hash of their names, for finding one by name.
    std::vector<std::pair<std::size_t, std::size_t>> devicesByHash;

    static constexpr std::size_t none = std::string_view::npos;

    // The device keys, once the functions are read.
    void makeKeys()
    {
        std::unordered_map<std::string_view, std::size_t> lastInstance;  // of each key name so far
        lastInstance.reserve(functions.size());
        for (std::size_t index = 0; index < functions.size(); ++index) {
            PciFunction& function = functions[index];
            function.keyName = keyName(function);
            function.address = address(function);
            function.nextInstance = none;
            const auto [last, added] = lastInstance.emplace(function.keyName, index);
            if (added) {
                firstInstance.push_back(index);
                devicesByHash.emplace_back(FoldedHash()(function.keyName), firstInstance.size() - 1);
            } else {
                functions[last->second].nextInstance = index;
                last->second = index;
            }
        }
        std::sort(devicesByHash.begin(), devicesByHash.end());
    }

    const std::string& deviceName(std::size_t device) const { return functions[firstInstance[device]].keyName; }

    // The function of a device key's instance, by its place among them; none past the last.
    std::size_t instanceAt(std::size_t device, std::size_t instance) const
    {
        std::size_t function = firstInstance[device];
        for (; function != none && instance > 0; --instance)
            function = functions[function].nextInstance;
        return function;
    }

    std::optional<std::size_t> deviceNamed(std::string_view name) const
    {
        const std::size_t hash = FoldedHash()(name);
        for (auto device = std::lower_bound(devicesByHash.begin(), devicesByHash.end(), std::make_pair(hash, std::size_t{0}));
             device != devicesByHash.end() && device->first == hash; ++device)
            if (text::equalAsciiFolded(deviceName(device->second), name))
                return device->second;
        return std::nullopt;
    }
};

LibpciRegistry::LibpciRegistry() = default;
LibpciRegistry::LibpciRegistry(Options options) : options(std::move(options)) {}
LibpciRegistry::LibpciRegistry(Options options, std::string dumpPath)
    : options(std::move(options)), dumpPath(std::move(dumpPath))
{
}
LibpciRegistry::~LibpciRegistry() = default;

bool LibpciRegistry::load()
{
    if (bus)
        return true;
    auto read = std::make_unique<Bus>();
    pci_access* access = pci_alloc();
    access->error = onLibpciError;
    access->warning = ignoreLibpciMessage;
    access->debug = ignoreLibpciMessage;
    // The list is read by the program itself: libpci would parse all of it
    // at its first name, to name a handful of devices.
    if (!options.idsPath.empty())
        pci_set_name_list_path(access, const_cast<char*>(options.idsPath.c_str()), 0);
    std::vector<pci_dev*> devices;
    const bool ok = readPciBus(options, dumpPath, read->functions, devices, access);
    if (ok) {
        // Kept with the functions, whose names are views into it; most of it
        // is read when they are many.
        const std::size_t count = read->functions.size();
        const PciIdsNames names(
            read->list.emplace(access->id_file_name, count > manyFunctions ? MappedFile::mapAhead : MappedFile::mapOnUse)
                .bytes(),
            3 * count);  // a vendor, a device and a class each
        for (PciFunction& function : read->functions)
            nameFunction(function, names, access, read->otherNames);
    }
    pci_cleanup(access);
    if (!ok) {
        error = libpciMessage;
        return false;
    }
    findModules(read->functions, options);
    read->makeKeys();
    bus = std::move(read);
    error.clear();
    return true;
}

bool LibpciRegistry::placeOf(Key key, Place& place) const
{
    if (key == localMachine && bus) {
        place = Place();
        return true;
    }
    const auto open = std::find_if(openKeys.begin(), openKeys.end(),
                                   [key](const std::pair<Key, Place>& handle) { return handle.first == key; });
    if (open == openKeys.end())
        return false;
    place = open->second;
    return true;
}

// One key down from `place`, to its sub-key `name`; false when there is none.
bool LibpciRegistry::descend(Place& place, std::string_view name) const
{
    static const std::vector<std::string_view> branch = splitRegistryPath(pciBranchPath);
    if (place.depth < pciBranchDepth) {
        if (!text::equalAsciiFolded(branch[place.depth], name))
            return false;
    } else if (place.depth == pciBranchDepth) {
        const auto device = bus->deviceNamed(name);
        if (!device)
            return false;
        place.device = *device;
    } else if (place.depth == pciBranchDepth + 1) {
        place.instance = 0;
        std::size_t function = bus->firstInstance[place.device];
        for (; function != Bus::none && !text::equalAsciiFolded(bus->functions[function].address, name);
             function = bus->functions[function].nextInstance)
            ++place.instance;
        if (function == Bus::none)
            return false;
    } else {
        return false;  // an instance has no sub-keys
    }
    ++place.depth;
    return true;
}

long LibpciRegistry::openKey(Key parent, const char* subKey, Key* result)
{
    if (!result)
        return registryError::invalidParameter;
    if (parent == localMachine && !load())
        return registryError::genFailure;
    Place place;
    if (!placeOf(parent, place))
        return registryError::invalidHandle;
    const std::string_view path = subKey ? subKey : "";
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start && !descend(place, path.substr(start, end - start)))
            return registryError::fileNotFound;
        start = end + 1;
    }
    *result = nextHandle;
    openKeys.emplace_back(nextHandle, place);
    nextHandle += 4;  // like real handles: never 0, never reused
    return registryError::success;
}

long LibpciRegistry::enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize)
{
    static const std::vector<std::string_view> branch = splitRegistryPath(pciBranchPath);
    Place place;
    if (!placeOf(key, place))
        return registryError::invalidHandle;
    std::string_view found;
    if (place.depth < pciBranchDepth && index == 0)
        found = branch[place.depth];
    else if (place.depth == pciBranchDepth && index < bus->firstInstance.size())
        found = bus->deviceName(index);
    else if (place.depth == pciBranchDepth + 1 && bus->instanceAt(place.device, index) != Bus::none)
        found = bus->functions[bus->instanceAt(place.device, index)].address;
    else
        return registryError::noMoreItems;
    if (!name || found.size() + 1 > nameSize)
        return registryError::moreData;
    *std::copy(found.begin(), found.end(), name) = '\0';
    return registryError::success;
}

long LibpciRegistry::queryValue(Key key, const char* valueName, std::uint32_t* type,
                                unsigned char* data, std::uint32_t* dataSize)
{
    Place place;
    if (!placeOf(key, place))
        return registryError::invalidHandle;
    if (place.depth != pciBranchDepth + 2)
        return registryError::fileNotFound;
    const PciFunction& function = bus->functions[bus->instanceAt(place.device, place.instance)];
    const std::string_view name = valueName ? valueName : "";
    const auto is = [name](std::string_view wanted) { return text::equalAsciiFolded(name, wanted); };
    if (is("Class"))
        return answer({function.className, zero}, registryType::string, type, data, dataSize);
    if (is("Mfg") && function.vendorName)
        return answer({*function.vendorName, zero}, registryType::string, type, data, dataSize);
    // As Windows records a device's driver and place.
    if (is("DeviceDesc") && function.deviceName)
        return answer({function.driver, ";", *function.deviceName, zero}, registryType::string, type, data, dataSize);
    if (is("Service") && !function.driver.empty())
        return answer({function.driver, zero}, registryType::string, type, data, dataSize);
    if (is("Modules") && !function.modules.empty()) {
        std::string texts;
        for (const std::string& module : function.modules)
            texts += module + '\0';
        return answer({texts, zero}, registryType::multiString, type, data, dataSize);
    }
    if (is("LocationInformation"))
        return answer({function.address, zero}, registryType::string, type, data, dataSize);
    return registryError::fileNotFound;
}

long LibpciRegistry::closeKey(Key key)
{
    if (key == localMachine)
        return registryError::success;
    const auto open = std::find_if(openKeys.begin(), openKeys.end(),
                                   [key](const std::pair<Key, Place>& handle) { return handle.first == key; });
    if (open == openKeys.end())
        return registryError::invalidHandle;
    *open = openKeys.back();
    openKeys.pop_back();
    return registryError::success;
}

Registry& systemRegistry()
{
    static LibpciRegistry live;
    return live;
}

std::unique_ptr<Registry> lspciDumpRegistry(const std::string& path)
{
    return std::make_unique<LibpciRegistry>(LibpciRegistry::Options(), path);
}
