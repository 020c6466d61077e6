// SPDX-License-Identifier: GPL-2.0-or-later
#include "pciDevices_libpci.h"

#include "flException.h"

#include "pciIdsFile.h"
#include "pciIdsReader.h"
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
#include <cstring>
#include <deque>
#include <dlfcn.h>
#include <sys/utsname.h>
#include <memory>
#include <optional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace {

struct PciFunction {
    PciAddress address;
    unsigned vendorId, deviceId, subsystemVendorId, subsystemId, revision, classCode, programmingInterface;
    std::string driver;                                 // bound to it; empty: none
    std::string moduleAlias;                            // when no driver is bound
    std::vector<std::string> modules;                   // that could drive it
    // Views into the list or into the names libpci's other sources gave.
    std::optional<std::string_view> vendorName, deviceName;  // none: no source knows it
    std::string_view className;
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

// The driver bound to a function: the last part of the link named driver in
// its directory under sysfs, read once (libpci's PCI_FILL_DRIVER resolves
// every part of the path the link makes, a system call each). Unchanged
// where there is none.
void readBoundDriver(const char* sysfsPath, PciFunction& function)
{
    const std::string link = std::string(sysfsPath) + "/devices/" + function.address.text() + "/driver";
    char target[1024];
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0)
        return;
    target[length] = '\0';
    const char* const slash = std::strrchr(target, '/');
    function.driver = slash ? slash + 1 : target;
}

// Reads every function libpci knows into `functions`, in bus order, with
// `devices` for its list of libpci's. Only libpci's own C frames lie between
// the jump and this function's setjmp, and this function keeps nothing on
// its stack that needs destroying.
bool readPciBus(const LibpciDevices::Options& options, const std::string& dumpPath,
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
        pci_fill_info(device, PCI_FILL_IDENT | PCI_FILL_CLASS | PCI_FILL_CLASS_EXT | PCI_FILL_SUBSYS);
        functions.emplace_back();
        PciFunction& function = functions.back();
        function.address.domain = static_cast<std::uint32_t>(device->domain);
        function.address.bus = device->bus;
        function.address.device = device->dev;
        function.address.function = device->func;
        function.vendorId = device->vendor_id;
        function.deviceId = device->device_id;
        function.subsystemVendorId = device->subsys_vendor_id;
        function.subsystemId = device->subsys_id;
        function.revision = device->rev_id;
        function.classCode = device->device_class;
        function.programmingInterface = device->prog_if;
        if (access->method == PCI_ACCESS_SYS_BUS_PCI)
            readBoundDriver(pci_get_param(access, const_cast<char*>("sysfs.path")), function);
        // What could drive a function that nothing drives; a dump records neither.
        if (function.driver.empty() && dumpPath.empty() && (pci_fill_info(device, PCI_FILL_MODULE_ALIAS) & PCI_FILL_MODULE_ALIAS))
            if (const char* alias = pci_get_string_property(device, PCI_FILL_MODULE_ALIAS))
                function.moduleAlias = alias;
    }
    activeJump = nullptr;
    return true;
}

void ignoreKmodMessage(void*, int, const char*, int, const char*, const char*, va_list) {}

// libkmod, loaded the first time a function without a driver asks for its
// modules: it brings libcrypto, whose thousands of symbols the dynamic
// loader would otherwise bind before main at every start, where most
// machines and every file read never look a module up.
struct Libkmod {
    decltype(&kmod_new) newContext;
    decltype(&kmod_set_log_fn) setLogFunction;
    decltype(&kmod_load_resources) loadResources;
    decltype(&kmod_unref) unrefContext;
    decltype(&kmod_module_new_from_lookup) lookUp;
    decltype(&kmod_list_next) next;
    decltype(&kmod_module_get_module) moduleOf;
    decltype(&kmod_module_get_name) nameOf;
    decltype(&kmod_module_unref) unrefModule;
    decltype(&kmod_module_unref_list) unrefList;

    // Null where libkmod 2, whose interface its header declares, cannot be loaded.
    static const Libkmod* loaded()
    {
        static const std::optional<Libkmod> library = load();
        return library ? &*library : nullptr;
    }

private:
    // libkmod and the libraries it brings may look their symbols up in
    // themselves first: each of libcrypto's thousands is otherwise sought
    // through every library the window links, milliseconds at each start.
    // Not where the allocator is replaced (a preloaded one, the sanitizers):
    // libkmod would free with the C library what the C library allocated
    // with the replacement.
    static int ownSymbolsFirst()
    {
#ifdef RTLD_DEEPBIND
        void* const library = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
        if (!library)
            return 0;
        bool ownAllocator = true;
        for (const char* name : {"malloc", "free", "calloc", "realloc"})
            ownAllocator = ownAllocator && dlsym(RTLD_DEFAULT, name) == dlsym(library, name);
        dlclose(library);
        return ownAllocator ? RTLD_DEEPBIND : 0;
#else
        return 0;
#endif
    }

    static std::optional<Libkmod> load()
    {
        void* handle = dlopen("libkmod.so.2", RTLD_NOW | RTLD_LOCAL | ownSymbolsFirst());  // kept for the process's life
        if (!handle)
            return std::nullopt;
        Libkmod functions;
        bool complete = true;
        const auto find = [handle, &complete](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
            complete = complete && function;
        };
        find(functions.newContext, "kmod_new");
        find(functions.setLogFunction, "kmod_set_log_fn");
        find(functions.loadResources, "kmod_load_resources");
        find(functions.unrefContext, "kmod_unref");
        find(functions.lookUp, "kmod_module_new_from_lookup");
        find(functions.next, "kmod_list_next");
        find(functions.moduleOf, "kmod_module_get_module");
        find(functions.nameOf, "kmod_module_get_name");
        find(functions.unrefModule, "kmod_module_unref");
        find(functions.unrefList, "kmod_module_unref_list");
        if (!complete)
            return std::nullopt;
        return functions;
    }
};

// The kernel's modules whose aliases match a function's, as `lspci -k` finds
// them: through libkmod's indexes of the running kernel's modules (or of
// `directory`, with `config`'s aliases, for tests). A machine without them,
// or without libkmod, gives none.
class KernelModules {
public:
    KernelModules(const std::string& directory, const std::string& config) : kmod(Libkmod::loaded())
    {
        if (!kmod)
            return;
        const char* const configs[] = {config.c_str(), nullptr};
        context = kmod->newContext(directory.empty() ? nullptr : directory.c_str(), config.empty() ? nullptr : configs);
        if (!context)
            return;
        kmod->setLogFunction(context, ignoreKmodMessage, nullptr);
        kmod->loadResources(context);  // the indexes in memory: each lookup is then cheap
    }
    ~KernelModules()
    {
        if (context)
            kmod->unrefContext(context);
    }
    KernelModules(const KernelModules&) = delete;
    KernelModules& operator=(const KernelModules&) = delete;

    // Each module once, in libkmod's order.
    std::vector<std::string> matching(const std::string& alias) const
    {
        std::vector<std::string> names;
        kmod_list* found = nullptr;
        if (!context || kmod->lookUp(context, alias.c_str(), &found) < 0)
            return names;
        for (kmod_list* entry = found; entry; entry = kmod->next(found, entry)) {
            kmod_module* module = kmod->moduleOf(entry);
            const std::string name = kmod->nameOf(module);
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
            kmod->unrefModule(module);
        }
        kmod->unrefList(found);
        return names;
    }

private:
    const Libkmod* kmod;
    kmod_ctx* context = nullptr;
};

// Where libkmod finds the running kernel's modules and their indexes. A
// kernel built without modules has none, and `lspci -k` then finds no module.
bool haveModulesDirectory(const std::string& directory)
{
    if (!directory.empty())
        return access(directory.c_str(), F_OK) == 0;
    utsname system{};
    if (uname(&system) != 0)
        return true;  // libkmod will say
    const std::string release = system.release;
    return access(("/lib/modules/" + release).c_str(), F_OK) == 0 ||
           access(("/usr/lib/modules/" + release).c_str(), F_OK) == 0;
}

// Looked up only for the functions without a driver: most machines have none.
void findModules(std::vector<PciFunction>& functions, const LibpciDevices::Options& options)
{
    const auto unbound = [](const PciFunction& function) { return !function.moduleAlias.empty(); };
    if (std::none_of(functions.begin(), functions.end(), unbound) || !haveModulesDirectory(options.modulesDirectory))
        return;
    const KernelModules modules(options.modulesDirectory, options.modulesConfig);
    for (PciFunction& function : functions)
        if (unbound(function))
            function.modules = modules.matching(function.moduleAlias);
}

// Beyond this many functions their names touch most of the list's pages:
// mapped at once, they cost one system call rather than a fault each.
constexpr std::size_t manyFunctions = 100;

// The device's name, or as lspci names a device the list does not know: by
// its vendor's name and its number ("Intel Corporation Device 0d57"), or by
// both numbers ("Device 1234:5678").
std::string descriptionOf(const PciFunction& function)
{
    if (function.deviceName)
        return std::string(*function.deviceName);
    std::string name = function.vendorName ? std::string(*function.vendorName) + " Device " : "Device ";
    if (!function.vendorName) {
        text::appendHex(name, function.vendorId, 4, text::HexCase::small);
        name += ':';
    }
    text::appendHex(name, function.deviceId, 4, text::HexCase::small);
    return name;
}

// Host bridges and ISA bridges are served by the kernel's PCI core itself:
// without a driver bound and without a module that could drive one (an EDAC
// driver may), nothing is missing.
DriverState driverStateOf(const PciFunction& function)
{
    constexpr unsigned hostBridge = 0x0600, isaBridge = 0x0601;
    if (!function.driver.empty())
        return DriverState::bound;
    const bool servedByTheCore = function.classCode == hostBridge || function.classCode == isaBridge;
    return servedByTheCore && function.modules.empty() ? DriverState::notNeeded : DriverState::none;
}

// The numbers of a function.
PciIdentity identityOf(const PciFunction& function)
{
    PciIdentity ids;
    ids.vendor = static_cast<std::uint16_t>(function.vendorId);
    ids.device = static_cast<std::uint16_t>(function.deviceId);
    ids.subsystemVendor = static_cast<std::uint16_t>(function.subsystemVendorId);
    ids.subsystem = static_cast<std::uint16_t>(function.subsystemId);
    ids.revision = static_cast<std::uint8_t>(function.revision);
    ids.classId = static_cast<std::uint16_t>(function.classCode);
    ids.programmingInterface = static_cast<std::uint8_t>(function.programmingInterface);
    return ids;
}

// The record of a function, from libpci's numbers and the names found for it.
std::unique_ptr<DeviceRecord> recordOf(const PciFunction& function, bool recordsDrivers)
{
    auto record = std::make_unique<DeviceRecord>(identityOf(function), function.address,
                                                 recordsDrivers ? RecordedBy::linuxKernel : RecordedBy::lspciDump);
    record->deviceClass = std::string(function.className);
    if (function.vendorName)
        record->manufacturer = std::string(*function.vendorName);
    record->description = descriptionOf(function);
    if (recordsDrivers) {
        record->driverState = driverStateOf(function);
        record->driver = function.driver;
        record->modules = function.modules;
    }
    record->location = function.address.text();
    return record;
}

// A record for each function, in bus order.
DeviceRecords recordsOf(const std::vector<PciFunction>& functions, bool recordsDrivers)
{
    DeviceRecords records;
    records.reserve(functions.size());
    for (const PciFunction& function : functions)
        records.push_back(recordOf(function, recordsDrivers));
    return records;
}

}

LibpciDevices::LibpciDevices() = default;
LibpciDevices::LibpciDevices(Options options) : options(std::move(options)) {}
LibpciDevices::LibpciDevices(Options options, std::string dumpPath)
    : options(std::move(options)), dumpPath(std::move(dumpPath))
{
}

bool LibpciDevices::tryRead(DeviceRecords& records)
{
    pci_access* access = pci_alloc();
    access->error = onLibpciError;
    access->warning = ignoreLibpciMessage;
    access->debug = ignoreLibpciMessage;
    // The list is read by the program itself: libpci would parse all of it
    // at its first name, to name a handful of devices.
    if (!options.idsPath.empty())
        pci_set_name_list_path(access, const_cast<char*>(options.idsPath.c_str()), 0);
    std::vector<PciFunction> functions;
    std::vector<pci_dev*> devices;
    const bool ok = readPciBus(options, dumpPath, functions, devices, access);
    if (ok) {
        const std::size_t count = functions.size();
        const PciIdsFile list(access->id_file_name, count > manyFunctions ? MappedFile::mapAhead : MappedFile::mapOnUse);
        const PciIdsNames names(list.bytes(), 3 * count);  // a vendor, a device and a class each
        OtherNames otherNames;
        for (PciFunction& function : functions)
            nameFunction(function, names, access, otherNames);
        pci_cleanup(access);
        findModules(functions, options);
        records = recordsOf(functions, dumpPath.empty());
        error.clear();
        return true;
    }
    pci_cleanup(access);
    error = libpciMessage;
    return false;
}

DeviceRecords LibpciDevices::read()
{
    DeviceRecords records;
    if (!tryRead(records))
        throw flException(__FILE__, __LINE__, ("Failed to list the PCI devices: libpci: " + error).c_str());
    return records;
}

DeviceSource& systemDevices()
{
    static LibpciDevices live;
    return live;
}

std::unique_ptr<DeviceSource> lspciDumpDevices(const platform::OpenedFile& file, const std::string& path)
{
    // libpci opens the dump by name: it is handed the file already opened and
    // checked, never the name again, which another program may meanwhile have
    // pointed at a FIFO or anything else.
    const std::string opened = "/proc/self/fd/" + std::to_string(fileno(file.file.get()));
    LibpciDevices dump(LibpciDevices::Options(), access(opened.c_str(), R_OK) == 0 ? opened : path);
    DeviceRecords records;
    if (!dump.tryRead(records)) {
        const std::string why = dump.lastError().empty() ? "" : ": " + dump.lastError();
        fail(__FILE__, __LINE__, "Failed to read " + path + " as an lspci dump" + why);
    }
    return std::make_unique<RecordedDevices>(std::move(records));
}
