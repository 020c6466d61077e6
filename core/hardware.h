// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_HARDWARE_H
#define CORVANE_HARDWARE_H

#include "mappedFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The five fields of a devices.lst line (without its line end), found by
// position: the text after position 0 up to the next '"' is the first, and
// every later field starts three characters after the previous closing
// quote. Never reaches outside the line: a field without a closing quote
// runs to the end of the line, and the fields after it are empty.
// Only the first `fieldCount` are looked for; the rest stay empty.
std::array<std::string_view, 5> splitLine(std::string_view line, std::size_t fieldCount = 5);

// One PCI hardware identity: a devices.lst line, or the identifiers taken
// from a device's registry key name. All five fields are kept byte for byte.
class HardwareEntry {
public:
    HardwareEntry() = default;

    // A devices.lst line without its line end, cut by splitLine.
    explicit HardwareEntry(std::string_view line);

    // vendorId = "0x" + characters 4..7 of the key name, deviceId = "0x" +
    // characters 13..16 (fewer when the name is shorter). Texts are untouched.
    void setIdsFromKeyName(const char* keyName);

    std::string getVendorId() const { return vendorId; }
    std::string getDeviceId() const { return deviceId; }
    std::string getText1() const { return text1; }
    std::string getText2() const { return text2; }
    std::string getText3() const { return text3; }

    std::string vendorId;
    std::string deviceId;
    std::string text1;
    std::string text2;
    std::string text3;
};

// Which devices.lst to load. One in the working directory always wins, even
// one that cannot be read, so that it is reported under its own name. Without
// one, an installed copy that exists (readable or not) is taken; without that
// too, "devices.lst", whose open failure is the usual report. An empty
// `installedCopy` means there is none.
std::string databasePath(const std::string& installedCopy);

// The same choice with this build's installed copy (platform::installedDatabase).
std::string databasePath();

// devices.lst, entries in file order: every line that is not empty. The
// file is mapped, not copied, and only the lines that a lookup needs are
// read: loading and the first lookups in a fresh process cost little more
// than opening the file. A UTF-8 byte-order mark before the first line (an
// editor's) is not part of it.
class HardwareDatabase {
public:
    // Larger files are no database (the real one is under 2 MB): they are
    // refused at once rather than mapped and searched.
    static constexpr std::uint64_t maxFileBytes = std::uint64_t{256} << 20;

    // Raises flException "Failed to open <name> for read accesss " when the
    // file cannot be opened, is no regular file (a symbolic link to one is
    // fine) or is larger than maxFileBytes, and "Failed to read <name>" when
    // reading it fails. A file that grows meanwhile is read up to the size it
    // had when opened. Writes one "\n" to standard output once read, unless
    // `announce` is false (a reload while the window is up).
    explicit HardwareDatabase(const std::string& fileName, bool announce = true);

    // The first entry in file order with exactly these identifiers, or null.
    // Where another program cuts the file short or writes it meanwhile, what
    // is found may not be the file: a holder confirms the file unchanged once
    // its lookups are done (a system call, once, not one a lookup).
    const HardwareEntry* find(const std::string& vendorId, const std::string& deviceId) const;

    // What find finds for these numbers (written as databaseId writes them),
    // copied into `into` (false when there is none, and `into` is left as it
    // was): the entry is not kept, so that a scan of thousands of devices
    // holds their database lines once, in its records.
    bool copyEntry(std::uint16_t vendor, std::uint16_t device, HardwareEntry& into) const;

    // Told that about `lookups` lookups are coming (a machine's devices):
    // when they are many, every line is indexed now, before the first, rather
    // than after the first searches have read the file a few times over.
    void expectLookups(std::size_t lookups) const;

    // Raises the flException of a file that cannot be opened when another
    // program has cut the file short or written it since it was loaded.
    void confirmUnchanged() const;

    // The number of entries; it reads the whole file.
    std::size_t size() const;

    // For a holder done with its lookups: the mapped file is handed back, so
    // that its pages count no more to the program's memory (and Windows lets
    // the file be replaced). A later lookup maps the file again, as it is then.
    void release() const;

private:
    std::string_view bytes() const;
    // The start of the first line with these identifiers, or npos.
    std::size_t lineOf(const std::string& vendorId, const std::string& deviceId) const;
    std::size_t firstLineOf(const std::string& vendorId) const;
    const HardwareEntry* entryAt(std::size_t lineStart) const;
    void indexLines() const;

    // Once the searches have read the file this many times over, every line
    // is indexed by its identifiers in one more pass: thousands of devices,
    // or the devices of many machines, then cost little more than that pass,
    // and the few of one machine no index at all.
    static constexpr std::size_t searchesBeforeIndex = 4;
    // As many lookups as make the searches read the file that often, or more.
    static constexpr std::size_t lookupsBeforeIndex = 100;

    std::string fileName;
    mutable MappedFile file;
    mutable bool released = false;
    mutable unsigned mapping = 0;  // counts the times the file was mapped
    // Where each vendor identifier looked up has its first line (npos: none):
    // its devices are looked for from there on.
    mutable std::unordered_map<std::string, std::size_t> firstLines;
    mutable std::size_t searched = 0;  // bytes the searches went through
    // Every line's start by a hash of its identifiers, in order of hash and
    // then of file, once indexed: the lines of a pair are among those of its
    // hash, the first of them first.
    static std::uint64_t hashOf(std::string_view vendorId, std::string_view deviceId);
    mutable std::optional<std::vector<std::pair<std::uint64_t, std::size_t>>> linesByHash;
    // Entries handed out, by mapping and line start; they stay put.
    struct PlaceHash {
        std::size_t operator()(const std::pair<unsigned, std::size_t>& place) const;
    };
    mutable std::unordered_map<std::pair<unsigned, std::size_t>, HardwareEntry, PlaceHash> found;
};

#endif
