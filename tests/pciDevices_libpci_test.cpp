// SPDX-License-Identifier: GPL-2.0-or-later
// The libpci source makes a record of each of libpci's functions, known by
// its address, and names them from pci.ids as libpci would.
#include "FakeSysfs.h"
#include "deviceOutline.h"
#include "flException.h"
#include "pciIdsReader.h"
#include "text.h"
#include "platform/pciDevices_libpci.h"

extern "C" {
#include <pci/pci.h>
}
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A record in one line: identity, class, manufacturer, description, driver line and location.
std::string summary(const DeviceRecord& device)
{
    return device.identity() + "|" + device.deviceClass + "|" + device.manufacturer + "|" + device.description + "|" +
           driverLine(device).value_or("-") + "|" + device.location;
}

std::vector<std::string> summaries(DeviceSource& source)
{
    std::vector<std::string> lines;
    for (const auto& device : source.readDevices())
        lines.push_back(summary(*device));
    return lines;
}

TEST(LibpciDevices, RecordsEveryFunctionByItsAddress)
{
    FakeSysfs sysfs;
    // Added out of bus order: the source sorts.
    sysfs.add({"0000:03:00.0", 0x8086, 0x10d3, 0x8086, 0xa01f, 0, 0x020000, "e1000e"});
    sysfs.add({"0000:00:1f.3", 0x1234, 0x5678, 0x1234, 0x0001, 0x10, 0x140000, nullptr});
    sysfs.add({"0000:00:00.0", 0x8086, 0x1237, 0, 0, 2, 0x060000, nullptr});
    sysfs.add({"0000:02:00.0", 0x8086, 0x10d3, 0x8086, 0xa01f, 0, 0x020000, "e1000e"});
    sysfs.add({"0000:00:01.0", 0x8086, 0x7191, 0, 0, 3, 0x060400, "pcieport"});
    sysfs.add({"0000:00:1e.0", 0x8086, 0x9999, 0x8086, 0x9999, 0xab, 0x0c0320, "ehci-pci"});
    LibpciDevices source({sysfs.sysfsPath(), sysfs.idsPath(), false});

    EXPECT_EQ(summaries(source), (std::vector<std::string>{
        // The kernel's PCI core serves host bridges: none is missing a driver.
        "0000:00:00.0|Host bridge|Intel Corporation|440FX - 82441FX PMC [Natoma]|No driver needed|0000:00:00.0",
        "0000:00:01.0|PCI bridge|Intel Corporation|440BX/ZX/DX - 82443BX/ZX/DX AGP bridge|Driver: pcieport|0000:00:01.0",
        // Known vendor, unknown device; a class known only by its base class
        // is named the way libpci names it.
        "0000:00:1e.0|Serial bus controller [0c03]|Intel Corporation|Intel Corporation Device 9999|Driver: ehci-pci|0000:00:1e.0",
        // Nothing known: named by numbers, as lspci names them.
        "0000:00:1f.3|Unknown class [1400]||Device 1234:5678|No driver|0000:00:1f.3",
        // Two functions of the same numbers are two devices.
        "0000:02:00.0|Ethernet controller|Intel Corporation|82574L Gigabit Network Connection|Driver: e1000e|0000:02:00.0",
        "0000:03:00.0|Ethernet controller|Intel Corporation|82574L Gigabit Network Connection|Driver: e1000e|0000:03:00.0",
    }));
    // The numbers are libpci's, the programming interface included.
    const DeviceRecords devices = source.readDevices();
    const PciIdentity& usb = devices[2]->ids;
    EXPECT_EQ(usb.classId, 0x0c03);
    EXPECT_EQ(usb.programmingInterface, 0x20);
    EXPECT_EQ(devices[2]->hardwareIds().at(0), "PCI\\VEN_8086&DEV_9999&SUBSYS_99998086&REV_AB");
    EXPECT_EQ(devices[2]->compatibleIds().back(), "PCI\\CC_0C03");
    // No registry recorded them: no key, no instance; what the kernel recorded.
    EXPECT_EQ(devices[2]->keyName, "");
    EXPECT_EQ(devices[2]->instanceId, "");
    EXPECT_EQ(outlineOf(*devices[2]).at(1).text, "Linux");
    // The same name twice: each told apart by its address.
    EXPECT_EQ(deviceLineText(*devices[4]), "82574L Gigabit Network Connection (0000:02:00.0)");
    EXPECT_EQ(deviceLineText(*devices[0]), "440FX - 82441FX PMC [Natoma]");
}

// A function's driver is the one bound to it; one without a driver names the
// modules whose aliases match it (looked up for it alone); its location is
// its address.
TEST(LibpciDevices, RecordsDriversModulesAndPlaces)
{
    FakeSysfs sysfs;
    sysfs.add({"0000:00:1f.3", 0x1234, 0x5678, 0x1234, 0x0001, 0x10, 0x140000, nullptr,
               "pci:v00001234d00005678sv00001234sd00000001bc14sc00i00"});
    sysfs.add({"0000:00:1f.4", 0x1234, 0x5679, 0, 0, 0, 0x0c0500, nullptr,
               "pci:v00001234d00005679sv00000000sd00000000bc0Csc05i00"});
    sysfs.add({"0000:00:1f.5", 0x1234, 0x567a, 0, 0, 0, 0x0c0500, nullptr});  // no alias either
    // Bridges the kernel's PCI core serves: a module that could drive one still counts.
    sysfs.add({"0000:00:00.0", 0x8086, 0x1237, 0, 0, 2, 0x060000, nullptr,
               "pci:v00008086d00001237sv00000000sd00000000bc06sc00i00"});
    sysfs.add({"0000:00:1f.0", 0x8086, 0x7000, 0, 0, 0, 0x060100, nullptr,
               "pci:v00008086d00007000sv00000000sd00000000bc06sc01i00"});
    sysfs.addModuleAlias("pci:v00008086d00001237sv*sd*bc*sc*i*", "fake_edac");
    sysfs.add({"0000:03:00.0", 0x8086, 0x10d3, 0x8086, 0xa01f, 0, 0x020000, "e1000e",
               "pci:v00008086d000010D3sv00008086sd0000A01Fbc02sc00i00"});
    sysfs.addModuleAlias("pci:v00001234d00005678sv*sd*bc*sc*i*", "fake_exact");
    sysfs.addModuleAlias("pci:v00001234d*sv*sd*bc14sc*i*", "fake_class");
    sysfs.addModuleAlias("pci:v00008086d000010D3sv*sd*bc*sc*i*", "e1000e_alt");
    LibpciDevices source(sysfs.options());
    std::vector<std::string> lines;
    for (const auto& device : source.readDevices())
        lines.push_back(device->location + ": " + driverLine(*device).value_or("(none)"));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "0000:00:00.0: No driver (modules: fake_edac)",
                         "0000:00:1f.0: No driver needed",
                         "0000:00:1f.3: No driver (modules: fake_exact, fake_class)",
                         "0000:00:1f.4: No driver",
                         "0000:00:1f.5: No driver",
                         "0000:03:00.0: Driver: e1000e",
                     }));
}

// A kernel without a modules directory (built without modules) has no
// module to offer, as `lspci -k` finds none there: an alias the
// configuration gives is not looked up.
TEST(LibpciDevices, NoModulesWithoutTheModulesDirectory)
{
    FakeSysfs sysfs;
    sysfs.add({"0000:00:1f.3", 0x1234, 0x5678, 0x1234, 0x0001, 0x10, 0x140000, nullptr,
               "pci:v00001234d00005678sv00001234sd00000001bc14sc00i00"});
    sysfs.addModuleAlias("pci:v00001234d00005678sv*sd*bc*sc*i*", "fake_exact");
    LibpciDevices::Options options = sysfs.options();
    options.modulesDirectory += "/missing";
    const auto devices = LibpciDevices(options).readDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(driverLine(*devices[0]).value_or("(none)"), "No driver");
}

bool libkmodLoaded()
{
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("/libkmod.so") != std::string::npos)
            return true;
    return false;
}

const bool libkmodLoadedAtStart = libkmodLoaded();

// libkmod, and libcrypto with it, is loaded only once a function without a
// driver asks for its modules: a machine whose every function has a driver
// starts without it.
TEST(LibpciDevices, LoadsLibkmodOnlyForAFunctionWithoutADriver)
{
    EXPECT_FALSE(libkmodLoadedAtStart);
    if (libkmodLoaded())
        GTEST_SKIP() << "libkmod was loaded by another test in the same process";
    FakeSysfs sysfs;
    sysfs.add({"0000:03:00.0", 0x8086, 0x10d3, 0x8086, 0xa01f, 0, 0x020000, "e1000e",
               "pci:v00008086d000010D3sv00008086sd0000A01Fbc02sc00i00"});
    LibpciDevices(sysfs.options()).readDevices();
    EXPECT_FALSE(libkmodLoaded());
    sysfs.add({"0000:00:1f.3", 0x1234, 0x5678, 0x1234, 0x0001, 0x10, 0x140000, nullptr,
               "pci:v00001234d00005678sv00001234sd00000001bc14sc00i00"});
    LibpciDevices(sysfs.options()).readDevices();
    EXPECT_TRUE(libkmodLoaded());
}

TEST(LibpciDevices, AnEmptyBusHasNoDevices)
{
    FakeSysfs sysfs;
    LibpciDevices source({sysfs.sysfsPath(), sysfs.idsPath(), false});
    EXPECT_TRUE(source.readDevices().empty());
}

TEST(LibpciDevices, LibpciFailureSaysLibpcisReasonAndIsNoExit)
{
    TempDir dir;
    LibpciDevices source({dir.file("no-such-sysfs"), dir.file("pci.ids"), false});
    DeviceRecords records;
    EXPECT_FALSE(source.tryRead(records));
    EXPECT_FALSE(source.lastError().empty());
    // Still failing, still alive, on a second try; the program's own report,
    // in libpci's words rather than a registry's.
    try {
        source.readDevices();
        ADD_FAILURE() << "nothing raised";
    } catch (const flException& failure) {
        EXPECT_EQ(failure.message, "Failed to list the PCI devices: libpci: " + source.lastError());
    }
}

// This machine's functions, one record each, against lspci's own listing.
TEST(LibpciDevices, LiveFunctionsAreWhatLspciLists)
{
    if (!std::filesystem::exists("/sys/bus/pci/devices") ||
        std::filesystem::is_empty("/sys/bus/pci/devices"))
        GTEST_SKIP() << "this machine shows no PCI devices";
    std::FILE* lspci = popen("lspci -Dnm 2>/dev/null", "r");
    ASSERT_NE(lspci, nullptr);
    std::string output;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, lspci)) > 0)
        output.append(chunk, got);
    if (pclose(lspci) != 0)
        GTEST_SKIP() << "lspci is not available";

    // 0000:00:03.0 "0200" "1af4" "1041" -r01 "1af4" "1041": address and numbers
    std::map<std::string, std::string> fromLspci;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string address, classCode, vendor, device;
        words >> address >> classCode >> vendor >> device;
        fromLspci[address] = vendor.substr(1, 4) + ":" + device.substr(1, 4);
    }

    std::map<std::string, std::string> fromRecords;
    for (const auto& device : systemDevices().readDevices()) {
        ASSERT_TRUE(device->address);
        fromRecords[device->identity()] = text::hex(*device->ids.vendor, 4, text::HexCase::small) + ":" +
                                          text::hex(*device->ids.device, 4, text::HexCase::small);
    }
    EXPECT_EQ(fromRecords, fromLspci);
}


// --- names ------------------------------------------------------------------

// libpci's own view of a bus: each function's identifiers, and the names
// libpci gives identifiers from a list (udev's database off), as the backend
// asked it for them before it read the list itself.
class LibpciView {
public:
    struct Function {
        unsigned vendor, device, classCode;
    };

    // Empty paths: the machine's bus, libpci's own list.
    LibpciView(const std::string& sysfsPath, const std::string& listPath) : list(listPath), access(pci_alloc())
    {
        if (!sysfsPath.empty()) {
            pci_set_param(access, const_cast<char*>("sysfs.path"), const_cast<char*>(sysfsPath.c_str()));
            access->method = PCI_ACCESS_SYS_BUS_PCI;
        }
        if (!list.empty())
            pci_set_name_list_path(access, list.data(), 0);  // kept, not copied
        pci_set_param(access, const_cast<char*>("hwdb.disable"), const_cast<char*>("1"));
        pci_init(access);
        pci_scan_bus(access);
        for (pci_dev* device = access->devices; device; device = device->next) {
            pci_fill_info(device, PCI_FILL_IDENT | PCI_FILL_CLASS);
            char address[32];
            std::snprintf(address, sizeof address, "%04x:%02x:%02x.%x", device->domain, device->bus, device->dev,
                          device->func);
            functions[address] = {device->vendor_id, device->device_id, device->device_class};
        }
    }
    ~LibpciView() { pci_cleanup(access); }
    LibpciView(const LibpciView&) = delete;
    LibpciView& operator=(const LibpciView&) = delete;

    std::optional<std::string> name(int kind, unsigned a, unsigned b = 0) const
    {
        char buffer[1024];
        const char* found = pci_lookup_name(access, buffer, sizeof buffer, kind | PCI_LOOKUP_NO_NUMBERS, a, b);
        return found ? std::optional<std::string>(found) : std::nullopt;
    }

    std::map<std::string, Function> functions;  // by address

private:
    std::string list;
    pci_access* access;
};

std::string unknownClass(unsigned classCode)
{
    char text[32];
    std::snprintf(text, sizeof text, "Unknown class [%04x]", classCode);
    return text;
}

// Every record carries the names libpci gives its function's
// identifiers, or none at all where the list cannot be read.
void expectLibpcisNames(const DeviceRecords& devices, const LibpciView& libpci, bool listRead)
{
    auto named = [&](int kind, unsigned a, unsigned b = 0) {
        return listRead ? libpci.name(kind, a, b) : std::nullopt;
    };
    for (const auto& device : devices) {
        SCOPED_TRACE(device->location);
        const LibpciView::Function& function = libpci.functions.at(device->location);
        EXPECT_EQ(device->deviceClass,
                  named(PCI_LOOKUP_CLASS, function.classCode).value_or(unknownClass(function.classCode)));
        EXPECT_EQ(device->manufacturer, named(PCI_LOOKUP_VENDOR, function.vendor).value_or(""));
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "Device %04x:%04x", function.vendor, function.device);
        const auto vendor = named(PCI_LOOKUP_VENDOR, function.vendor);
        EXPECT_EQ(device->description,
                  named(PCI_LOOKUP_DEVICE, function.vendor, function.device)
                      .value_or(vendor ? *vendor + " Device " + std::string(numbers + 12) : std::string(numbers)));
    }
}

// Sorted as the repository sorts, with the forms and places a lookup can trip on.
const char* const edgeList =
    "# pci.ids with edge cases\n"
    "\n"
    "0001  Vendor Without Devices\n"
    "1234  Example Vendor\n"
    "\t0001  First Device\n"
    "# a comment inside a vendor\n"
    "\n"
    "\t0002  Second Device\n"
    "\t\t1234 0001  A Subsystem\n"
    "\t0010  Device After A Subsystem\n"
    "8086  Intel Corporation\r\n"
    "\t10d3  82574L Gigabit Network Connection\r\n"
    "\t1237  440FX - 82441FX PMC [Natoma]\n"
    "fffe  Last Vendor\n"
    "\t0001  Its Only Device\n"
    "\n"
    "# classes\n"
    "C 02  Network controller\n"
    "\t00  Ethernet controller\n"
    "C 06  Bridge\n"
    "\t00  Host bridge\n"
    "\t04  PCI bridge\n"
    "C 0c  Serial bus controller\n"
    "\t03  USB controller\n"
    "\t\t30  XHCI\n";

// The same entries in another order: libpci takes lists in any order.
const char* const unsortedEdgeList =
    "C 0c  Serial bus controller\n"
    "\t03  USB controller\n"
    "C 02  Network controller\n"
    "\t00  Ethernet controller\n"
    "fffe  Last Vendor\n"
    "\t0001  Its Only Device\n"
    "8086  Intel Corporation\n"
    "\t1237  440FX - 82441FX PMC [Natoma]\n"
    "\t10d3  82574L Gigabit Network Connection\n"
    "1234  Example Vendor\n"
    "\t0010  Device After A Subsystem\n"
    "\t0002  Second Device\n"
    "\t\t1234 0001  A Subsystem\n"
    "\t0001  First Device\n"
    "0001  Vendor Without Devices\n"
    "C 06  Bridge\n"
    "\t04  PCI bridge\n"
    "\t00  Host bridge\n";

const FakeFunction edgeBus[] = {
    {"0000:00:00.0", 0x8086, 0x1237, 0, 0, 2, 0x060000, nullptr},       // known, a class with its subclass
    {"0000:00:01.0", 0x0001, 0x0001, 0, 0, 0, 0x020000, nullptr},       // a vendor without devices
    {"0000:00:02.0", 0x5555, 0x0001, 0, 0, 0, 0x0c0300, "xhci_hcd"},   // a device of an unknown vendor
    {"0000:00:03.0", 0xfffe, 0x0001, 0, 0, 0, 0x0c8000, nullptr},       // the last vendor; base class only
    {"0000:00:04.0", 0x1234, 0x0010, 0, 0, 0, 0x140000, nullptr},       // after a subsystem; unknown class
    {"0000:00:05.0", 0x1234, 0x0003, 0, 0, 0, 0x068000, nullptr},       // missing between two devices
    {"0000:00:06.0", 0x8086, 0x10d3, 0x8086, 0xa01f, 0, 0x020000, "e1000e"},  // a line ending in \r\n
    {"0000:00:07.0", 0x1234, 0x0001, 0, 0, 0, 0xff0000, nullptr},       // a device after a comment line
};

struct ListCase {
    const char* name;
    enum Kind { plain, unsorted, gzip, besideGzipName, missing, directory, damagedGzip, inflatesTooFar } kind;
};

class ListNames : public testing::TestWithParam<ListCase> {};

TEST_P(ListNames, AreLibpcisOwnOrNoneAtAll)
{
    FakeSysfs sysfs;
    for (const FakeFunction& function : edgeBus)
        sysfs.add(function);
    TempDir dir;
    std::string compressed;
    {
        const std::string path = dir.file("packed.gz");
        gzFile file = gzopen(path.c_str(), "wb");
        gzwrite(file, edgeList, static_cast<unsigned>(std::strlen(edgeList)));
        gzclose(file);
        compressed = readFile(path);
    }
    std::string path;
    switch (GetParam().kind) {
    case ListCase::plain: path = dir.write("pci.ids", edgeList); break;
    case ListCase::unsorted: path = dir.write("pci.ids", unsortedEdgeList); break;
    case ListCase::gzip: path = dir.write("pci.ids.gz", compressed); break;
    case ListCase::besideGzipName: dir.write("pci.ids", edgeList); path = dir.file("pci.ids.gz"); break;
    case ListCase::missing: path = dir.file("pci.ids"); break;
    case ListCase::directory: dir.write("pci.ids/inside", ""); path = dir.file("pci.ids"); break;
    case ListCase::damagedGzip: path = dir.write("pci.ids.gz", compressed.substr(0, compressed.size() / 2)); break;
    case ListCase::inflatesTooFar: {
        // 100 kB that inflate to a comment line of 100 MB before the list: not inflated beyond its first MiB.
        path = dir.file("pci.ids.gz");
        gzFile file = gzopen(path.c_str(), "wb");
        const std::string line(1 << 20, 'x');
        gzputs(file, "# ");
        for (int i = 0; i < 100; ++i)
            gzwrite(file, line.data(), static_cast<unsigned>(line.size()));
        gzputs(file, "\n");
        gzputs(file, edgeList);
        gzclose(file);
        break;
    }
    }
    const bool listRead = GetParam().kind <= ListCase::besideGzipName;

    const DeviceRecords devices = LibpciDevices({sysfs.sysfsPath(), path, false}).readDevices();
    ASSERT_EQ(devices.size(), std::size(edgeBus));
    const LibpciView libpci(sysfs.sysfsPath(), listRead ? path : std::string());
    expectLibpcisNames(devices, libpci, listRead);
}

INSTANTIATE_TEST_SUITE_P(Lists, ListNames, testing::Values(
    ListCase{"Plain", ListCase::plain}, ListCase{"Unsorted", ListCase::unsorted}, ListCase{"Gzip", ListCase::gzip},
    ListCase{"PlainBesideTheGzipName", ListCase::besideGzipName}, ListCase{"Missing", ListCase::missing},
    ListCase{"Directory", ListCase::directory}, ListCase{"DamagedGzip", ListCase::damagedGzip},
    ListCase{"InflatesTooFar", ListCase::inflatesTooFar}),
    [](const auto& info) { return std::string(info.param.name); });

// This machine's devices, named from the system's list.
TEST(LibpciDevices, LiveNamesAreLibpcisOwn)
{
    if (!std::filesystem::exists("/sys/bus/pci/devices") || std::filesystem::is_empty("/sys/bus/pci/devices"))
        GTEST_SKIP() << "this machine shows no PCI devices";
    const LibpciView libpci("", "");
    expectLibpcisNames(LibpciDevices({"", "", false}).readDevices(), libpci, true);
}

TEST(PciIdsNames, AByteOrderMarkBeforeTheFirstVendorIsPassedOver)
{
    const PciIdsNames names("\xEF\xBB\xBF" "0001  First Vendor\n\t0002  Its Device\n0003  Next\n");
    EXPECT_EQ(names.vendor(0x0001), std::optional<std::string_view>("First Vendor"));
    EXPECT_EQ(names.device(0x0001, 0x0002), std::optional<std::string_view>("Its Device"));
    EXPECT_EQ(names.vendor(0x0003), std::optional<std::string_view>("Next"));
}

// Every vendor, device and class of the system's list, and the identifier
// after each, which the list mostly lacks.
TEST(PciIdsNames, AnswerAsLibpciForEveryEntryOfTheSystemList)
{
    const std::string path = "/usr/share/misc/pci.ids";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no " << path;
    const std::string list = readFile(path);
    const PciIdsNames names(list);
    FakeSysfs sysfs;
    const LibpciView libpci(sysfs.sysfsPath(), path);
    auto ours = [](std::optional<std::string_view> name) {
        return name ? std::optional<std::string>(*name) : std::nullopt;
    };
    auto ourClass = [&](unsigned code) -> std::optional<std::string> {
        if (const auto name = names.subclass(static_cast<std::uint16_t>(code)))
            return std::string(*name);
        char number[16];
        std::snprintf(number, sizeof number, " [%04x]", code);
        const auto base = names.baseClass(static_cast<std::uint16_t>(code));
        return base ? std::optional<std::string>(std::string(*base) + number) : std::nullopt;
    };
    auto value = [](std::string_view digits) { return static_cast<unsigned>(std::stoul(std::string(digits), nullptr, 16)); };

    PciIdsReader reader(list);
    PciIdsLine line;
    unsigned vendor = 0, base = 0;
    int compared = 0;
    while (reader.next(line)) {
        switch (line.kind) {
        case PciIdsLine::Kind::vendor:
            vendor = value(line.id);
            for (unsigned id : {vendor, (vendor + 1) & 0xFFFF})
                ASSERT_EQ(ours(names.vendor(static_cast<std::uint16_t>(id))), libpci.name(PCI_LOOKUP_VENDOR, id)) << id;
            compared += 2;
            break;
        case PciIdsLine::Kind::device:
            for (unsigned id : {value(line.id), (value(line.id) + 1) & 0xFFFF})
                ASSERT_EQ(ours(names.device(static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(id))),
                          libpci.name(PCI_LOOKUP_DEVICE, vendor, id)) << vendor << ":" << id;
            compared += 2;
            break;
        case PciIdsLine::Kind::classHeader:
            base = value(line.id);
            ASSERT_EQ(ourClass(base << 8 | 0xFE), libpci.name(PCI_LOOKUP_CLASS, base << 8 | 0xFE)) << base;
            ASSERT_EQ(ourClass((base + 1) % 256 << 8), libpci.name(PCI_LOOKUP_CLASS, (base + 1) % 256 << 8)) << base;
            compared += 2;
            break;
        case PciIdsLine::Kind::subclass:
            ASSERT_EQ(ourClass(base << 8 | value(line.id)), libpci.name(PCI_LOOKUP_CLASS, base << 8 | value(line.id)));
            ++compared;
            break;
        default:
            break;
        }
    }
    EXPECT_GT(compared, 30000);
}
}
