// SPDX-License-Identifier: GPL-2.0-or-later
// pci.ids of any bytes: the updater's conversion, and the program's lookups
// checked against a plain reading of the same list. Every name a lookup
// gives stands on a line of that kind with that identifier (under a vendor
// or class with that identifier), and every vendor the reading finds is found.
// Bytes that start like gzip are also read as a compressed list from a file.
#include "pciIds.h"
#include "pciIdsReader.h"
#include "text.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

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

// Sorted, for binary searches: a set of every line's entry would cost more
// than the lookups themselves.
template <typename Entry>
bool holds(const std::vector<Entry>& sorted, const Entry& entry)
{
    return std::binary_search(sorted.begin(), sorted.end(), entry);
}

void checkLookups(std::string_view list)
{
    using Kind = PciIdsLine::Kind;
    using Top = std::pair<unsigned, std::string_view>;
    using Below = std::tuple<unsigned, unsigned, std::string_view>;
    constexpr unsigned noClass = 0x100;  // below a class line without an identifier
    std::vector<Top> vendors, classes;
    std::vector<Below> devices, subclasses;
    std::vector<unsigned> findableVendors;
    PciIdsReader reader(list);
    PciIdsLine line;
    unsigned top = 0;
    while (reader.next(line)) {
        if (line.kind == Kind::vendor) {
            top = valueOf(line.id);
            vendors.emplace_back(top, line.name);
            if (singleCase(line.id) && findableVendors.size() < lookupsOfEachKind)
                findableVendors.push_back(top);
        } else if (line.kind == Kind::classHeader) {
            top = line.id.empty() ? noClass : valueOf(line.id);
            classes.emplace_back(top, line.name);
        } else if (line.kind == Kind::device) {
            devices.emplace_back(top, valueOf(line.id), line.name);
        } else if (line.kind == Kind::subclass && top != noClass) {
            subclasses.emplace_back(top, valueOf(line.id), line.name);
        }
    }
    // The first ones in file order are asked for; all are known.
    const std::vector<Below> askedDevices(devices.begin(), devices.begin() + std::min(devices.size(), lookupsOfEachKind));
    const std::vector<Below> askedSubclasses(subclasses.begin(),
                                             subclasses.begin() + std::min(subclasses.size(), lookupsOfEachKind));
    for (auto* entries : {&vendors, &classes})
        std::sort(entries->begin(), entries->end());
    for (auto* entries : {&devices, &subclasses})
        std::sort(entries->begin(), entries->end());

    const PciIdsNames names(list);
    for (const unsigned vendor : findableVendors) {
        const auto found = names.vendor(static_cast<std::uint16_t>(vendor));
        if (!found || !holds(vendors, Top(vendor, *found)))
            std::abort();
    }
    for (const auto& [vendor, id, name] : askedDevices) {
        if (const auto found = names.device(static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(id));
            found && !holds(devices, Below(vendor, id, *found)))
            std::abort();
    }
    for (const auto& [base, subclass, name] : askedSubclasses) {
        const auto code = static_cast<std::uint16_t>(base << 8 | subclass);
        if (const auto found = names.baseClass(code); found && !holds(classes, Top(base, *found)))
            std::abort();
        if (const auto found = names.subclass(code); found && !holds(subclasses, Below(base, subclass, *found)))
            std::abort();
    }
}

// The conversion's lines are devices.lst lines that start with the list's
// identifiers: "0xVVVV","0xDDDD"," with four hexadecimal digits each.
void checkConversion(const std::string& list)
{
    const Conversion conversion = convertPciIds(list);
    const std::string_view lines = conversion.devicesList;
    std::size_t count = 0;
    for (std::size_t start = 0; start < lines.size(); ++count) {
        const std::size_t end = lines.find('\n', start);
        if (end == std::string_view::npos)
            std::abort();  // every line ends
        const std::string_view line = lines.substr(start, end - start);
        if (line.substr(0, 3) != "\"0x" || !text::hasHexDigits(line.substr(3), 4) || line.substr(7, 5) != "\",\"0x" ||
            !text::hasHexDigits(line.substr(12), 4) || line.substr(16, 3) != "\",\"")
            std::abort();
        start = end + 1;
    }
    if (count != static_cast<std::size_t>(conversion.devices))
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
