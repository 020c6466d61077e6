// pci.ids of any bytes: the updater's conversion, and the program's lookups
// checked against a plain reading of the same list. Every name a lookup
// gives stands on a line of that kind with that identifier (under a vendor
// or class with that identifier), and every vendor the reading finds is found.
// Bytes that start like gzip are also read as a compressed list from a file.
#include "hardware.h"
#include "pciIds.h"
#include "pciIdsReader.h"
#include "text.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

namespace {

unsigned valueOf(std::string_view digits)
{
    unsigned value = 0;
    for (const char c : digits)
        value = value * 16 + static_cast<unsigned>(text::hexDigitValue(c));
    return value;
}

// Digits of one case only: the lookups look for small letters, then capitals.
bool singleCase(std::string_view digits)
{
    return text::asciiLowered(digits) == digits || text::asciiUppered(digits) == digits;
}

// Lookups in a list out of order search all of it: a few dozen of each kind
// are asked for, lest a large list take minutes.
constexpr std::size_t lookupsOfEachKind = 64;

void checkLookups(std::string_view list)
{
    using Kind = PciIdsLine::Kind;
    constexpr unsigned noClass = 0x100;  // below a class line without an identifier
    std::set<std::tuple<unsigned, std::string_view>> vendors, classes;
    std::set<std::tuple<unsigned, unsigned, std::string_view>> devices, subclasses;
    std::set<unsigned> findableVendors;
    PciIdsReader reader(list);
    PciIdsLine line;
    unsigned top = 0;
    while (reader.next(line)) {
        if (line.kind == Kind::vendor) {
            top = valueOf(line.id);
            vendors.emplace(top, line.name);
            if (singleCase(line.id) && findableVendors.size() < lookupsOfEachKind)
                findableVendors.insert(top);
        } else if (line.kind == Kind::classHeader) {
            top = line.id.empty() ? noClass : valueOf(line.id);
            classes.emplace(top, line.name);
        } else if (line.kind == Kind::device) {
            devices.emplace(top, valueOf(line.id), line.name);
        } else if (line.kind == Kind::subclass && top != noClass) {
            subclasses.emplace(top, valueOf(line.id), line.name);
        }
    }

    const PciIdsNames names(list);
    for (const unsigned vendor : findableVendors) {
        const auto found = names.vendor(static_cast<std::uint16_t>(vendor));
        if (!found || !vendors.count({vendor, *found}))
            std::abort();
    }
    std::size_t asked = 0;
    for (auto device = devices.begin(); device != devices.end() && asked < lookupsOfEachKind; ++device, ++asked) {
        const auto& [vendor, id, name] = *device;
        if (const auto found = names.device(static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(id));
            found && !devices.count({vendor, id, *found}))
            std::abort();
    }
    asked = 0;
    for (auto entry = subclasses.begin(); entry != subclasses.end() && asked < lookupsOfEachKind; ++entry, ++asked) {
        const auto& [base, subclass, name] = *entry;
        const auto code = static_cast<std::uint16_t>(base << 8 | subclass);
        if (const auto found = names.baseClass(code); found && !classes.count({base, *found}))
            std::abort();
        if (const auto found = names.subclass(code); found && !subclasses.count({base, subclass, *found}))
            std::abort();
    }
}

// The conversion's lines are devices.lst lines with the list's identifiers.
void checkConversion(const std::string& list)
{
    const Conversion conversion = convertPciIds(list);
    std::size_t lines = 0;
    for (std::size_t start = 0; start < conversion.devicesList.size(); ++lines) {
        const std::size_t end = conversion.devicesList.find('\n', start);
        if (end == std::string::npos)
            std::abort();  // every line ends
        const HardwareEntry entry(std::string_view(conversion.devicesList).substr(start, end - start));
        if (entry.vendorId.size() != 6 || entry.deviceId.size() != 6 || entry.vendorId.compare(0, 2, "0x") != 0)
            std::abort();
        start = end + 1;
    }
    if (lines != static_cast<std::size_t>(conversion.devices))
        std::abort();
}

std::string scratchFile()
{
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory ? directory : "/tmp") + "/corvane-fuzz-" + std::to_string(getpid()) + ".ids.gz";
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string list(reinterpret_cast<const char*>(data), size);
    checkLookups(list);
    checkConversion(list);
    if (list.compare(0, 2, "\x1f\x8b") == 0) {
        static const std::string path = scratchFile();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file)
            std::abort();
        std::fwrite(data, 1, size, file);
        std::fclose(file);
        std::string contents, error;
        if (readListFile(path, contents, error))
            checkConversion(contents);
    }
    return 0;
}
