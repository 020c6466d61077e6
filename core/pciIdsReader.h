// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_PCIIDSREADER_H
#define CORVANE_PCIIDSREADER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The PCI ID Repository's list, pci.ids (man pci.ids): vendor lines
// "vvvv  name", their device lines "\tdddd  name" and, deeper, subsystems;
// then class lines "C cc  name" with subclasses "\tss  name" and, deeper,
// programming interfaces. Identifiers are hexadecimal, separated from the name
// by one or more blanks; '#' starts a comment. Lines beginning with any other
// letter and a blank open a section of kinds this program does not read.
// A UTF-8 byte-order mark before the first line (an editor's) is passed over.

// What a list read whole may hold (a compressed one is inflated, and the
// updater reads every list into memory): the real list is under 2 MB with
// lines under 200 bytes, so one over either limit is no PCI ID list, however
// small its compressed form, and is not read on.
class PciIdsLimits {
public:
    static constexpr std::size_t maxListBytes = std::size_t{64} << 20;
    static constexpr std::size_t maxLineBytes = std::size_t{1} << 20;

    // The list's next bytes, in order; false once the list so far exceeds a
    // limit, and from then on. What it exceeds is in `problem`.
    bool take(std::string_view bytes);
    const std::string& problem() const { return exceeded; }

private:
    std::size_t listBytes = 0;
    std::size_t lineBytes = 0;  // of the line not yet ended
    std::size_t lines = 1;      // the number of that line
    std::string exceeded;
};

// One line of the list, taken in the context of the lines before it.
struct PciIdsLine {
    enum class Kind {
        comment,      // a blank line or one starting with '#'
        vendor,       // id and name
        device,       // below a vendor: id and name
        classHeader,  // "C ..."; id and name when well formed
        subclass,     // below a class: id and name
        skipped,      // subsystems, programming interfaces, other sections
        badVendor,    // a line at the top level that is none of the above
        badDevice,    // a line below a vendor that is not a device line
        strayDevice,  // an indented line with no vendor or class above it
    };
    Kind kind = Kind::comment;
    std::string_view id;    // the digits as written
    std::string_view name;  // without the blanks around it
    std::string_view text;  // the whole line, without its line end
};

// Walks the list from its first line to its last.
class PciIdsReader {
public:
    explicit PciIdsReader(std::string_view list);

    // The next line; false after the last one.
    bool next(PciIdsLine& line);
    int lineNumber() const { return number; }  // of the line last returned, from 1

private:
    enum class Section { none, vendor, classes, other };
    std::string_view rest;
    int number = 0;
    Section section = Section::none;
};

// Names from a list held in memory, found by looking up only the lines that
// hold them: the line of a vendor or a class, then the lines below it. Where
// the list is in the repository's order (vendors by identifier, then classes
// by identifier) a line is found by halving the list; in any other order by
// a search through it. The first line in file order with an identifier
// counts. The list must outlive the names taken from it.
class PciIdsNames {
public:
    // `expectedLookups`: names about to be looked up; when they are many,
    // the lines at the top level are indexed at once rather than after the
    // first searches.
    explicit PciIdsNames(std::string_view list, std::size_t expectedLookups = 0);

    std::optional<std::string_view> vendor(std::uint16_t vendorId) const;
    std::optional<std::string_view> device(std::uint16_t vendorId, std::uint16_t deviceId) const;
    // A subsystem's own name, from the lines "\t\tssss ssss  name" below its device.
    std::optional<std::string_view> subsystem(std::uint16_t vendorId, std::uint16_t deviceId,
                                              std::uint16_t subsystemVendorId, std::uint16_t subsystemId) const;
    // classCode: base class in the high byte, subclass in the low one.
    std::optional<std::string_view> baseClass(std::uint16_t classCode) const;
    std::optional<std::string_view> subclass(std::uint16_t classCode) const;

private:
    // Below a top-level line: where its lines end and, once it has been
    // looked in a few times, its entries by identifier (those written in
    // small letters and those in capitals, as the searches look for them),
    // so that many lookups below one vendor read its lines once.
    struct Block {
        std::size_t end = 0;
        unsigned lookups = 0;
        int digits = 0;
        // (identifier, line), in that order: an identifier's first line first.
        std::vector<std::pair<unsigned, std::size_t>> lower, upper;
    };
    static constexpr unsigned lookupsBeforeIndex = 3;

    std::size_t nearestKeyedLine(std::size_t middle, std::size_t low, std::size_t high, std::size_t& exploredFrom,
                                 std::size_t& exploredTo) const;
    std::size_t firstClassLine() const;
    std::size_t topLevelLine(std::uint32_t target) const;
    std::size_t firstLineStarting(std::string_view needle, std::uint32_t key) const;
    std::optional<std::size_t> entryLine(std::uint32_t key) const;
    void indexEntries() const;
    std::optional<std::size_t> lineBelow(std::size_t topLine, unsigned id, int digits) const;
    void indexBlock(std::size_t topLine, Block& block, int digits) const;
    std::optional<std::string_view> below(std::size_t topLine, unsigned id, int digits) const;

    std::string_view list;
    // What was found, so that a vendor of several devices is looked up once:
    // top-level lines by key (npos: none), where each block ends, the classes.
    mutable std::unordered_map<std::uint32_t, std::size_t> entries;
    // Once this many vendors and classes were looked up, every line at the top
    // level is indexed in one pass, as a list is read whole for many names.
    static constexpr std::size_t entriesBeforeIndex = 64;
    mutable bool allEntries = false;
    mutable std::unordered_map<std::size_t, Block> blocks;
    mutable std::optional<std::size_t> classesStart;
};

#endif
