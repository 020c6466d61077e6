// SPDX-License-Identifier: GPL-2.0-or-later
#include "pciIdsReader.h"

#include "byteSearch.h"
#include "text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// "<digits hex digits><blanks><name>", the name not empty. Blanks and a
// carriage return at the end of the line are not part of the name.
bool splitEntry(std::string_view text, int digits, std::string_view& id, std::string_view& name)
{
    const std::size_t width = static_cast<std::size_t>(digits);
    if (text.size() <= width || !isBlank(text[width]) || !text::hasHexDigits(text, width))
        return false;
    std::string_view rest = text.substr(width);
    while (!rest.empty() && isBlank(rest.front()))
        rest.remove_prefix(1);
    while (!rest.empty() && (isBlank(rest.back()) || rest.back() == '\r'))
        rest.remove_suffix(1);
    if (rest.empty())
        return false;
    id = text.substr(0, width);
    name = rest;
    return true;
}

std::string_view withoutByteOrderMark(std::string_view list)
{
    return list.substr(0, 3) == "\xEF\xBB\xBF" ? list.substr(3) : list;
}

unsigned valueOf(std::string_view digits)
{
    unsigned value = 0;
    for (char c : digits)
        value = value * 16 + static_cast<unsigned>(text::hexDigitValue(c));
    return value;
}

}

bool PciIdsLimits::take(std::string_view bytes)
{
    if (!exceeded.empty())
        return false;
    if (bytes.size() > maxListBytes - listBytes) {
        exceeded = "it holds more than " + std::to_string(maxListBytes >> 20) + " MiB of text, "
                   "far more than a PCI ID list";
        return false;
    }
    listBytes += bytes.size();
    for (;;) {
        const std::size_t end = bytes.find('\n');
        const std::size_t length = end == std::string_view::npos ? bytes.size() : end;  // of the line in this piece
        if (length > maxLineBytes - lineBytes) {
            exceeded = "its line " + std::to_string(lines) + " is longer than " +
                       std::to_string(maxLineBytes >> 20) + " MiB, far longer than a PCI ID list's lines";
            return false;
        }
        if (end == std::string_view::npos) {
            lineBytes += length;
            return true;
        }
        lineBytes = 0;
        ++lines;
        bytes.remove_prefix(end + 1);
    }
}

PciIdsReader::PciIdsReader(std::string_view list) : rest(withoutByteOrderMark(list)) {}

PciIdsNames::PciIdsNames(std::string_view list, std::size_t expectedLookups) : list(withoutByteOrderMark(list))
{
    if (expectedLookups > entriesBeforeIndex)
        indexEntries();
}

bool PciIdsReader::next(PciIdsLine& line)
{
    if (rest.empty())
        return false;
    ++number;
    const std::size_t end = rest.find('\n');
    std::string_view text = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);

    line = PciIdsLine();
    line.text = text;
    using Kind = PciIdsLine::Kind;
    if (text.empty() || text.front() == '#') {
        line.kind = Kind::comment;
    } else if (text.front() == '\t') {
        if (text.size() >= 2 && text[1] == '\t')
            line.kind = Kind::skipped;  // a subsystem, or a programming interface
        else if (section == Section::classes)
            line.kind = splitEntry(text.substr(1), 2, line.id, line.name) ? Kind::subclass : Kind::skipped;
        else if (section == Section::vendor)
            line.kind = splitEntry(text.substr(1), 4, line.id, line.name) ? Kind::device : Kind::badDevice;
        else
            line.kind = section == Section::other ? Kind::skipped : Kind::strayDevice;
    } else if (text::isPciIdsClassLine(text)) {
        line.kind = Kind::classHeader;
        splitEntry(text.substr(2), 2, line.id, line.name);
        section = Section::classes;
    } else if (splitEntry(text, 4, line.id, line.name)) {
        line.kind = Kind::vendor;
        section = Section::vendor;
    } else if (text.size() >= 2 && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
               text[1] == ' ') {
        line.kind = Kind::skipped;  // a section of another kind, such as "S" for subsystems
        section = Section::other;
    } else {
        line.kind = Kind::badVendor;
        if (section != Section::classes)
            section = Section::none;
    }
    return true;
}

namespace {

constexpr std::uint32_t noKey = UINT32_MAX;
constexpr std::uint32_t classKeys = 0x10000;  // the key of class 00, the lowest

// Lines at the top level in the list's order: vendors by identifier, then
// classes by identifier. Other lines have no key.
std::uint32_t topLevelKey(std::string_view text)
{
    std::string_view id, name;
    if (text::isPciIdsClassLine(text))
        return splitEntry(text.substr(2), 2, id, name) ? classKeys | valueOf(id) : noKey;
    return splitEntry(text, 4, id, name) ? valueOf(id) : noKey;
}

}

// The nearest line at the top level with a key, looked for on both sides of
// `middle` at once, within [low, high): a probe that lands among a vendor's
// devices costs the way to the nearer end of them. `explored` is the part
// looked through: it holds no other line with a key.
std::size_t PciIdsNames::nearestKeyedLine(std::size_t middle, std::size_t low, std::size_t high,
                                          std::size_t& exploredFrom, std::size_t& exploredTo) const
{
    std::size_t forward = middle, backward = middle;
    for (std::size_t reach = 256; forward < high || backward > low; reach *= 2) {
        const std::size_t forwardTo = std::min(high, forward + reach);
        for (std::size_t line = nextUnindentedLine(list, forward, forwardTo); line < forwardTo;
             line = nextUnindentedLine(list, line + 1, forwardTo)) {
            if (topLevelKey(lineAt(list, line)) != noKey) {
                exploredFrom = backward;
                exploredTo = line + 1;
                return line;
            }
        }
        forward = forwardTo;
        const std::size_t backwardTo = backward - std::min(backward - low, reach);
        for (std::size_t line = previousUnindentedLine(list, backward, backwardTo); line != std::string_view::npos;
             line = previousUnindentedLine(list, line, backwardTo)) {
            if (topLevelKey(lineAt(list, line)) != noKey) {
                exploredFrom = line;
                exploredTo = forward;
                return line;
            }
        }
        backward = backwardTo;
    }
    exploredFrom = low;
    exploredTo = high;
    return std::string_view::npos;
}

// The first class line: classes close the list, so it is found from its end.
std::size_t PciIdsNames::firstClassLine() const
{
    if (classesStart)
        return *classesStart;
    std::size_t first = std::string_view::npos;
    for (std::size_t line = previousUnindentedLine(list, list.size(), 0); line != std::string_view::npos;
         line = previousUnindentedLine(list, line, 0)) {
        const std::string_view text = lineAt(list, line);
        if (text::isPciIdsClassLine(text))
            first = line;
        else if (!text.empty() && text[0] != '#')
            break;
    }
    classesStart = first;
    return first;
}

// The first line at the top level whose key is `target` or greater, by
// halving the part of the list it can be in (vendors or classes); npos when
// there is none.
std::size_t PciIdsNames::topLevelLine(std::uint32_t target) const
{
    // Keyed lines starting before `low` have smaller keys; `answer` is the
    // first keyed line starting at or after `high`.
    std::size_t low = 0, high = list.size(), answer = std::string_view::npos;
    if (target >= classKeys) {
        const std::size_t classes = firstClassLine();
        low = classes == std::string_view::npos ? list.size() : classes;
    }
    while (low < high) {
        std::size_t from, to;
        const std::size_t line = nearestKeyedLine(low + (high - low) / 2, low, high, from, to);
        if (line == std::string_view::npos) {
            high = low;
        } else if (topLevelKey(lineAt(list, line)) < target) {
            low = to;
        } else {
            answer = line;
            high = from;
        }
    }
    return answer;
}

// The first line at the top level that starts with the needle's text (after
// its line feed) and has the key, in file order: for a list out of the
// repository's order.
std::size_t PciIdsNames::firstLineStarting(std::string_view needle, std::uint32_t key) const
{
    if (list.substr(0, needle.size() - 1) == needle.substr(1) && topLevelKey(lineAt(list, 0)) == key)
        return 0;
    for (std::size_t at = findBytes(list, needle, 0); at != std::string_view::npos;
         at = findBytes(list, needle, at + 1))
        if (topLevelKey(lineAt(list, at + 1)) == key)
            return at + 1;
    return std::string_view::npos;
}

// The line at the top level with this key: where the list's order puts it,
// or else wherever it stands. The list writes digits in small letters;
// capitals are looked for too.
std::optional<std::size_t> PciIdsNames::entryLine(std::uint32_t key) const
{
    auto known = entries.find(key);
    if (known == entries.end() && !allEntries && entries.size() >= entriesBeforeIndex) {
        indexEntries();
        known = entries.find(key);
    }
    if (known == entries.end() && allEntries)
        return std::nullopt;
    if (known == entries.end()) {
        std::size_t line = topLevelLine(key);
        if (line == std::string_view::npos || topLevelKey(lineAt(list, line)) != key) {
            const bool isClass = key >= classKeys;
            char lower[16], upper[16];
            std::snprintf(lower, sizeof lower, isClass ? "\nC %02x" : "\n%04x", key & 0xFFFF);
            std::snprintf(upper, sizeof upper, isClass ? "\nC %02X" : "\n%04X", key & 0xFFFF);
            line = firstLineStarting(lower, key);
            if (line == std::string_view::npos && std::string_view(lower) != upper)
                line = firstLineStarting(upper, key);
        }
        known = entries.emplace(key, line).first;
    }
    return known->second == std::string_view::npos ? std::nullopt : std::optional<std::size_t>(known->second);
}

// Every line at the top level by its key, in one pass; the first in file order counts.
void PciIdsNames::indexEntries() const
{
    entries.clear();
    for (std::size_t line = nextUnindentedLine(list, 0, list.size()); line < list.size();
         line = nextUnindentedLine(list, line + 1, list.size())) {
        const std::uint32_t key = topLevelKey(lineAt(list, line));
        if (key != noKey)
            entries.emplace(key, line);
    }
    allEntries = true;
}

// The line of the entry with this identifier among the lines one level below
// the one at `topLine`, up to the next line at the top level; in file order,
// whatever the order of the identifiers.
std::optional<std::size_t> PciIdsNames::lineBelow(std::size_t topLine, unsigned id, int digits) const
{
    auto [known, isNew] = blocks.try_emplace(topLine);
    Block& found = known->second;
    if (isNew) {
        std::size_t next = nextUnindentedLine(list, topLine + 1, list.size());
        while (next < list.size() && (lineAt(list, next).empty() || list[next] == '#'))
            next = nextUnindentedLine(list, next + 1, list.size());
        found.end = next;
    }
    if (++found.lookups == lookupsBeforeIndex)
        indexBlock(topLine, found, digits);
    if (found.digits == digits) {
        for (const auto* entries : {&found.lower, &found.upper}) {
            const auto line = std::lower_bound(entries->begin(), entries->end(), std::make_pair(id, std::size_t{0}));
            if (line != entries->end() && line->first == id)
                return line->second;
        }
        return std::nullopt;
    }
    const std::string_view block = list.substr(0, found.end);
    char lower[16], upper[16];
    std::snprintf(lower, sizeof lower, "\n\t%0*x", digits, id);
    std::snprintf(upper, sizeof upper, "\n\t%0*X", digits, id);
    const std::string_view needles[] = {lower, upper};
    for (std::size_t i = 0; i < (needles[0] == needles[1] ? 1 : 2); ++i) {
        for (std::size_t at = findBytes(block, needles[i], topLine); at != std::string_view::npos;
             at = findBytes(block, needles[i], at + 1)) {
            std::string_view entryId, name;
            if (splitEntry(lineAt(list, at + 1).substr(1), digits, entryId, name))
                return at + 1;
        }
    }
    return std::nullopt;
}

// Each line one level below whose identifier is written all in small
// letters or all in capitals, the first of each: what the searches would find.
void PciIdsNames::indexBlock(std::size_t topLine, Block& block, int digits) const
{
    for (std::size_t line = nextLine(list, topLine); line < block.end; line = nextLine(list, line)) {
        const std::string_view text = lineAt(list, line);
        std::string_view id, name;
        if (text.size() < 2 || text[0] != '\t' || !splitEntry(text.substr(1), digits, id, name))
            continue;
        const unsigned value = valueOf(id);
        const auto hasIn = [id](char first, char last) {
            return std::any_of(id.begin(), id.end(), [=](char c) { return c >= first && c <= last; });
        };
        if (!hasIn('A', 'Z'))
            block.lower.emplace_back(value, line);  // digits alone are found here
        else if (!hasIn('a', 'z'))
            block.upper.emplace_back(value, line);
    }
    std::sort(block.lower.begin(), block.lower.end());
    std::sort(block.upper.begin(), block.upper.end());
    block.digits = digits;
}

std::optional<std::string_view> PciIdsNames::below(std::size_t topLine, unsigned id, int digits) const
{
    const auto line = lineBelow(topLine, id, digits);
    std::string_view entryId, name;
    if (!line || !splitEntry(lineAt(list, *line).substr(1), digits, entryId, name))
        return std::nullopt;
    return name;
}

std::optional<std::string_view> PciIdsNames::vendor(std::uint16_t vendorId) const
{
    const auto line = entryLine(vendorId);
    std::string_view id, name;
    return line && splitEntry(lineAt(list, *line), 4, id, name) ? std::optional<std::string_view>(name)
                                                                 : std::nullopt;
}

std::optional<std::string_view> PciIdsNames::device(std::uint16_t vendorId, std::uint16_t deviceId) const
{
    const auto line = entryLine(vendorId);
    return line ? below(*line, deviceId, 4) : std::nullopt;
}

// The lines two levels down that follow the device's line, up to the next
// line of another level (comments and blank lines among them are passed).
std::optional<std::string_view> PciIdsNames::subsystem(std::uint16_t vendorId, std::uint16_t deviceId,
                                                       std::uint16_t subsystemVendorId, std::uint16_t subsystemId) const
{
    const auto vendorLine = entryLine(vendorId);
    const auto deviceLine = vendorLine ? lineBelow(*vendorLine, deviceId, 4) : std::nullopt;
    if (!deviceLine)
        return std::nullopt;
    for (std::size_t line = nextLine(list, *deviceLine); line < list.size(); line = nextLine(list, line)) {
        const std::string_view text = lineAt(list, line);
        if (text.empty() || text[0] == '#')
            continue;
        if (text.size() < 2 || text[0] != '\t' || text[1] != '\t')
            break;
        std::string_view vendor, rest, id, name;
        if (!splitEntry(text.substr(2), 4, vendor, rest) || text.size() < 12 || text[6] != ' ' ||
            !splitEntry(text.substr(7), 4, id, name))
            continue;
        if (valueOf(vendor) == subsystemVendorId && valueOf(id) == subsystemId)
            return name;
    }
    return std::nullopt;
}

std::optional<std::string_view> PciIdsNames::baseClass(std::uint16_t classCode) const
{
    const auto line = entryLine(classKeys | (classCode >> 8));
    std::string_view id, name;
    return line && splitEntry(lineAt(list, *line).substr(2), 2, id, name) ? std::optional<std::string_view>(name)
                                                                          : std::nullopt;
}

std::optional<std::string_view> PciIdsNames::subclass(std::uint16_t classCode) const
{
    const auto line = entryLine(classKeys | (classCode >> 8));
    return line ? below(*line, classCode & 0xFF, 2) : std::nullopt;
}
