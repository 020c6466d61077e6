// SPDX-License-Identifier: GPL-2.0-or-later
#include "hardware.h"

#include "byteSearch.h"
#include "flException.h"
#include "files.h"
#include "pciIdentity.h"
#include "platform.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

std::array<std::string_view, 5> splitLine(std::string_view line, std::size_t fieldCount)
{
    std::array<std::string_view, 5> fields;
    std::size_t start = 1;
    for (std::size_t index = 0; index < std::min(fieldCount, fields.size()); ++index) {
        std::string_view& field = fields[index];
        if (start >= line.size())
            break;  // this field and every later one stay empty
        const std::size_t closingQuote = line.find('"', start);
        if (closingQuote == std::string_view::npos) {
            field = line.substr(start);
            break;
        }
        field = line.substr(start, closingQuote - start);
        // Skip the closing quote and the two characters after it.
        start = closingQuote + 3;
    }
    return fields;
}

HardwareEntry::HardwareEntry(std::string_view line)
{
    const auto fields = splitLine(line);
    vendorId = fields[0];
    deviceId = fields[1];
    text1 = fields[2];
    text2 = fields[3];
    text3 = fields[4];
}

void HardwareEntry::setIdsFromKeyName(const char* keyName)
{
    const std::string_view name = keyName ? keyName : "";
    auto digitsAt = [&name](std::size_t position) {
        return "0x" + std::string(position < name.size() ? name.substr(position, 4) : "");
    };
    vendorId = digitsAt(4);
    deviceId = digitsAt(13);
}

namespace {

// The one place where devices.lst is opened: in binary mode (line ends are
// handled by the lookups, the same on every platform), without locking it
// against other readers or writers. Only a regular file is a database: a
// directory, a FIFO, a device or a file too large is none, as a missing file
// is, at once; then `file` is null.
platform::OpenedFile openDatabaseFile(const std::string& fileName)
{
    platform::OpenedFile opened = platform::openRegularFile(fileName.c_str());
    if (opened.size > HardwareDatabase::maxFileBytes)
        opened.file.reset();
    return opened;
}

// What the fatal report says of a database that cannot be opened, or no longer reads as it was.
[[noreturn]] void failToOpen(const std::string& fileName, std::int32_t line)
{
    const std::string message = "Failed to open " + fileName + " for read accesss ";
    throw flException(__FILE__, line, message.c_str());
}

}

HardwareDatabase::HardwareDatabase(const std::string& fileName, bool announce) : fileName(fileName)
{
    // Mapped in whole at once: a lookup of a vendor the file lacks reads all of it.
    const platform::OpenedFile opened = openDatabaseFile(fileName);
    if (!opened.file)
        failToOpen(fileName, __LINE__);
    if (!file.load(opened.file.get(), MappedFile::mapAhead, opened.size)) {
        const std::string message = "Failed to read " + fileName;
        throw flException(__FILE__, __LINE__, message.c_str());
    }
    if (announce) {
        std::fputs("\n", stdout);
        std::fflush(stdout);
    }
}

void HardwareDatabase::release() const
{
    if (file.isMapped()) {
        linesByHash.reset();
        file = MappedFile();
        released = true;
    }
}

// The file's bytes after a leading byte-order mark, mapped again after a
// release; none when that fails.
std::string_view HardwareDatabase::bytes() const
{
    if (released) {
        released = false;
        ++mapping;
        firstLines.clear();  // the file may have changed meanwhile
        linesByHash.reset();
        searched = 0;
        const platform::OpenedFile opened = openDatabaseFile(fileName);
        if (!opened.file || !file.load(opened.file.get(), MappedFile::mapAhead, opened.size))
            file = MappedFile();
    }
    std::string_view text = file.bytes();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return text;
}

std::size_t HardwareDatabase::size() const
{
    const std::string_view text = bytes();
    std::size_t count = 0;
    for (std::size_t start = 0; start < text.size(); start = nextLine(text, start))
        count += !lineAt(text, start).empty();
    return count;
}

// The start of the first line whose first field is vendorId (not empty, no
// quote, no line feed), or npos. Every such line holds vendorId from
// position 1 on: those places are looked at, in file order.
std::size_t HardwareDatabase::firstLineOf(const std::string& vendorId) const
{
    const auto known = firstLines.find(vendorId);
    if (known != firstLines.end())
        return known->second;
    const std::string_view text = bytes();
    std::size_t found = std::string_view::npos;
    for (std::size_t at = findBytes(text, vendorId, 1); at != std::string_view::npos;
         at = findBytes(text, vendorId, at + 1)) {
        const std::size_t start = at - 1;
        if ((start == 0 || text[start - 1] == '\n') && splitLine(lineAt(text, start), 1)[0] == vendorId) {
            found = start;
            break;
        }
    }
    searched += found == std::string_view::npos ? text.size() : found;
    firstLines.emplace(vendorId, found);
    return found;
}

const HardwareEntry* HardwareDatabase::entryAt(std::size_t lineStart) const
{
    return &found.try_emplace({mapping, lineStart}, lineAt(bytes(), lineStart)).first->second;
}

const HardwareEntry* HardwareDatabase::find(const std::string& vendorId,
                                            const std::string& deviceId) const
{
    const std::size_t line = lineOf(vendorId, deviceId);
    return line == std::string_view::npos ? nullptr : entryAt(line);
}

bool HardwareDatabase::copyEntry(std::uint16_t vendor, std::uint16_t device, HardwareEntry& into) const
{
    const std::string vendorId = databaseId(vendor), deviceId = databaseId(device);
    const std::size_t line = lineOf(vendorId, deviceId);
    if (line == std::string_view::npos)
        return false;
    // Read again: another program rewriting the file meanwhile may have
    // changed the line since it matched (confirmUnchanged reports that).
    HardwareEntry found(lineAt(bytes(), line));
    if (found.vendorId != vendorId || found.deviceId != deviceId)
        return false;
    into = std::move(found);
    return true;
}

void HardwareDatabase::expectLookups(std::size_t lookups) const
{
    if (lookups > lookupsBeforeIndex && !linesByHash)
        indexLines();
}

// Another program may have cut the file short or written it meanwhile: then
// what was read is not the file, and the load fails as a file that cannot be
// opened does.
void HardwareDatabase::confirmUnchanged() const
{
    if (!file.intact())
        failToOpen(fileName, __LINE__);
}

// FNV-1a over both identifiers, a separator between them: a few bytes each,
// hashed in a loop the compiler keeps inline.
std::uint64_t HardwareDatabase::hashOf(std::string_view vendorId, std::string_view deviceId)
{
    std::uint64_t hash = 14695981039346656037u;
    const auto add = [&hash](std::string_view bytes) {
        for (const char c : bytes)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    };
    add(vendorId);
    add("\n");  // no field holds one
    add(deviceId);
    return hash;
}

std::size_t HardwareDatabase::PlaceHash::operator()(const std::pair<unsigned, std::size_t>& place) const
{
    return std::hash<std::size_t>()(place.second) * 31 + place.first;
}

std::size_t HardwareDatabase::lineOf(const std::string& vendorId, const std::string& deviceId) const
{
    constexpr std::size_t none = std::string_view::npos;
    const std::string_view text = bytes();
    // No field holds a double quote or spans lines.
    if (vendorId.find_first_of("\"\n") != std::string::npos || deviceId.find_first_of("\"\n") != std::string::npos)
        return none;
    // An empty field can stand in any line: every line is looked at.
    if (vendorId.empty() || deviceId.empty()) {
        for (std::size_t start = 0; start < text.size(); start = nextLine(text, start)) {
            const std::string_view line = lineAt(text, start);
            const auto ids = splitLine(line, 2);
            if (!line.empty() && ids[0] == vendorId && ids[1] == deviceId)
                return start;
        }
        return none;
    }

    if (!linesByHash && searched > searchesBeforeIndex * text.size())
        indexLines();
    if (linesByHash) {
        const std::uint64_t hash = hashOf(vendorId, deviceId);
        for (auto line = std::lower_bound(linesByHash->begin(), linesByHash->end(), std::make_pair(hash, std::size_t{0}));
             line != linesByHash->end() && line->first == hash; ++line) {
            const auto ids = splitLine(lineAt(text, line->second), 2);
            if (ids[0] == vendorId && ids[1] == deviceId)
                return line->second;
        }
        return none;
    }

    // A line with these fields holds vendorId from position 1 on, its closing
    // quote, two characters and deviceId: deviceId is looked for at that
    // distance from line starts, from the vendor's first line on.
    const std::size_t first = firstLineOf(vendorId);
    if (first == std::string_view::npos)
        return none;
    const std::size_t offset = vendorId.size() + 4;
    for (std::size_t at = findBytes(text, deviceId, first + offset); at != std::string_view::npos;
         at = findBytes(text, deviceId, at + 1)) {
        const std::size_t start = at - offset;
        if ((start == 0 || text[start - 1] == '\n') && text.compare(start + 1, vendorId.size(), vendorId) == 0) {
            const auto ids = splitLine(lineAt(text, start), 2);
            if (ids[0] == vendorId && ids[1] == deviceId) {
                searched += start - first;
                return start;
            }
        }
    }
    searched += text.size() - first;
    return none;
}

void HardwareDatabase::indexLines() const
{
    const std::string_view text = bytes();
    linesByHash.emplace();
    linesByHash->reserve(text.size() / 64);  // about a line's length
    for (std::size_t start = 0; start < text.size(); start = nextLine(text, start)) {
        const auto ids = splitLine(lineAt(text, start), 2);
        if (!ids[0].empty() && !ids[1].empty())
            linesByHash->emplace_back(hashOf(ids[0], ids[1]), start);
    }
    std::sort(linesByHash->begin(), linesByHash->end());
}

std::string databasePath(const std::string& installedCopy)
{
    const std::string workingCopy = "devices.lst";
    // Present means anything but "not found": a copy that cannot even be
    // looked at is still the one to report.
    auto present = [](const std::string& path) {
        std::error_code ignored;
        return std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found;
    };
    if (installedCopy.empty() || present(workingCopy) || !present(installedCopy))
        return workingCopy;
    return installedCopy;
}

std::string databasePath()
{
    return databasePath(platform::installedDatabase());
}
