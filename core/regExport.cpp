// SPDX-License-Identifier: GPL-2.0-or-later
#include "regExport.h"

#include "pciScan.h"
#include "text.h"
#include "textEncoding.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <unordered_set>
#include <vector>

namespace {

constexpr std::string_view version5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view version4Header = "REGEDIT4";
constexpr std::size_t maxNameBytes = 255;  // of a key name, as the registry's ANSI functions give it
constexpr std::size_t maxKeyDepth = 512;   // names in a key's path, the hive's included: the registry's own limit
// Names in the path of an instance key: the branch's, then the device's and
// its instance's. The scan reads no deeper, so nothing deeper is kept.
constexpr std::size_t keptDepth = 1 + pciBranchDepth + 2;

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Without the blanks around it, and a carriage return at its end.
std::string_view trimmed(std::string_view text)
{
    std::size_t first = 0, end = text.size();
    while (first < end && (text[first] == ' ' || text[first] == '\t'))
        ++first;
    while (end > first && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r'))
        --end;
    return text.substr(first, end - first);
}

// A quoted text at the start of `text` with the escapes regedit writes
// (\\ and \") and those Wine's adds (\n, \r, \0); another backslash stands
// for itself. Moves `text` past the closing quote; false when there is none.
bool takeQuoted(std::string_view& text, std::string& out)
{
    if (text.empty() || text[0] != '"')
        return false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        // The characters up to the next quote or escape, at once.
        const void* quote = std::memchr(text.data() + i, '"', text.size() - i);
        std::size_t special = quote ? static_cast<std::size_t>(static_cast<const char*>(quote) - text.data())
                                    : text.size();
        if (const void* escape = std::memchr(text.data() + i, '\\', special - i))
            special = static_cast<std::size_t>(static_cast<const char*>(escape) - text.data());
        out.append(text.substr(i, special - i));
        i = special;
        if (i == text.size())
            break;
        const char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return true;
        }
        if (i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case '\\': case '"': out += next; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '0': out += '\0'; break;
        default: out += '\\'; out += next; break;
        }
    }
    return false;
}

// "aa,bb , c" and the like; empty is no bytes. A trailing comma is allowed
// (what precedes a continuation).
bool parseHexBytes(std::string_view hex, std::string& out)
{
    std::size_t start = 0;
    while (start < hex.size()) {
        std::size_t end = hex.find(',', start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = hex.size();
        const std::string_view item = trimmed(hex.substr(start, end - start));
        if (item.empty() && !(last && start > 0))
            return false;
        if (!item.empty()) {
            if (item.size() > 2 || !text::hasHexDigits(item, item.size()))
                return false;
            out += static_cast<char>(item.size() == 1 ? text::hexDigitValue(item[0])
                                                      : text::hexDigitValue(item[0]) * 16 + text::hexDigitValue(item[1]));
        }
        start = end + 1;
    }
    return true;
}

bool parseHexNumber(std::string_view digits, std::size_t maxDigits, std::uint32_t& value)
{
    const auto number = text::hexNumber(digits, maxDigits);
    if (number)
        value = *number;
    return number.has_value();
}

// The roots a SYSTEM hive is found under: the machine's own, and another
// machine's where it was loaded.
const char* const hiveRoots[] = {"hkey_local_machine", "hklm", "hkey_users", "hku"};

// One of hiveRoots by its short name.
std::string rootOf(std::string_view root)
{
    return text::equalAsciiFolded(root, "hkey_users") || text::equalAsciiFolded(root, "hku") ? "hku" : "hklm";
}

bool isControlSet(std::string_view name)
{
    if (text::equalAsciiFolded(name, "currentcontrolset"))
        return true;
    return name.size() == 13 && text::startsWithAsciiFolded(name, "controlset") &&
           std::all_of(name.begin() + 10, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::uint32_t littleEndian32(const std::string& bytes)
{
    std::uint32_t number = 0;
    for (std::size_t i = std::min<std::size_t>(bytes.size(), 4); i-- > 0;)
        number = number << 8 | static_cast<unsigned char>(bytes[i]);
    return number;
}

// A value line's data: text, dword:, hex: and hex(N):, or "-" (a deletion).
struct ValueData {
    std::optional<std::string> bytes;  // none: the value is deleted
    std::uint32_t type = registryType::string;
};

// Parses what follows the '=' of a value line; the reason when it is malformed.
std::optional<ValueData> parseData(std::string_view data, bool version5, const char*& problem)
{
    ValueData value;
    if (data == "-")
        return value;
    if (!data.empty() && data[0] == '"') {
        // Room for the text and its zero at once: one allocation, no spare half.
        std::string textValue;
        textValue.reserve(data.size());
        if (!takeQuoted(data, textValue) || !trimmed(data).empty()) {
            problem = "a text without its closing quote, or more after it";
            return std::nullopt;
        }
        textValue += '\0';
        value.bytes = std::move(textValue);
        return value;
    }
    if (text::startsWithAsciiFolded(data, "dword:")) {
        std::uint32_t number = 0;
        if (!parseHexNumber(trimmed(data.substr(6)), 8, number)) {
            problem = "a dword that is not 1 to 8 hexadecimal digits";
            return std::nullopt;
        }
        value.bytes = std::string{static_cast<char>(number), static_cast<char>(number >> 8),
                                  static_cast<char>(number >> 16), static_cast<char>(number >> 24)};
        value.type = registryType::dword;
        return value;
    }
    if (!text::startsWithAsciiFolded(data, "hex")) {
        problem = "data of no kind an export holds";
        return std::nullopt;
    }
    data.remove_prefix(3);
    value.type = registryType::binary;
    if (!data.empty() && data[0] == '(') {
        const std::size_t close = data.find(')');
        if (close == std::string_view::npos || !parseHexNumber(data.substr(1, close - 1), 8, value.type)) {
            problem = "a hex(N) whose type is not a hexadecimal number";
            return std::nullopt;
        }
        data.remove_prefix(close + 1);
    }
    std::string bytes;
    if (data.empty() || data[0] != ':' || !parseHexBytes(data.substr(1), bytes)) {
        problem = "hex data that is not bytes separated by commas";
        return std::nullopt;
    }
    // Text types hold the file's text: UTF-16 in a 5.00 export, ANSI in REGEDIT4.
    if (registryType::isText(value.type))
        bytes = version5 ? utf16leToUtf8(bytes) : windows1252ToUtf8(bytes);
    value.bytes = std::move(bytes);
    return value;
}

}

// Where a key's path stands against HIVE\<control set>\Enum\PCI, HIVE being
// HKEY_LOCAL_MACHINE\SYSTEM or the key another machine's SYSTEM hive was
// loaded under (reg load, regedit's Load Hive: a key of HKEY_LOCAL_MACHINE
// or HKEY_USERS).
struct RegExportReader::BranchPlace {
    std::size_t matched = 0;  // names of the branch's path that the key's path follows, its hive's key the first
    bool isSelect = false;    // HIVE\Select
    // Names of its path below HIVE\<control set>\Control\Class, when it is
    // that key (0) or one below it: 2 for a driver key, {class}\NNNN.
    std::optional<std::size_t> belowClasses;
    std::string hive;         // the hive's key, "hklm\system" and the like, when the path reaches one
    std::string_view controlSet;  // its name, when the path reaches one
};

RegExportReader::BranchPlace RegExportReader::placeOf(const std::vector<std::string_view>& names)
{
    static const char* const branchNames[pciBranchDepth] = {nullptr, nullptr, "enum", "pci"};
    BranchPlace place;
    if (names.size() > 1)
        place.hive = rootOf(names[0]) + "\\" + text::asciiLowered(names[1]);
    while (place.matched < pciBranchDepth && place.matched + 1 < names.size()) {
        const std::string_view name = names[place.matched + 1];
        if ((place.matched == 1 && !isControlSet(name)) ||
            (place.matched > 1 && !text::equalAsciiFolded(name, branchNames[place.matched])))
            break;
        ++place.matched;
    }
    place.isSelect = names.size() == 3 && place.matched == 1 && text::equalAsciiFolded(names[2], "select");
    if (place.matched >= 2)
        place.controlSet = names[2];
    constexpr std::size_t classesDepth = 5;  // HIVE, SYSTEM, the control set, Control, Class
    if (place.matched == 2 && names.size() >= classesDepth && text::equalAsciiFolded(names[3], "control") &&
        text::equalAsciiFolded(names[4], "class"))
        place.belowClasses = names.size() - classesDepth;
    return place;
}

// The PCI branch of one control set, and with Keep::records the records of
// its devices read so far.
struct RegExportReader::Branch {
    std::unique_ptr<KeyTreeRegistry> registry = std::make_unique<KeyTreeRegistry>();
    DeviceRecords records;
    std::unordered_set<std::uint64_t> recorded;  // the folded hashes of their key names
    bool hasPci = false;  // a control set of driver keys alone has no devices
};

struct RegExportReader::State {
    explicit State(Encoding encoding) : utf16(encoding == Encoding::utf16be) {}

    Utf16Decoder utf16;
    std::string decoded;        // the piece being split into lines
    std::string current;        // the physical line so far
    bool discarding = false;    // the rest of the physical line is not wanted
    bool overlong = false;      // ... because it is too long
    std::string logical;        // a value line continued on the next line
    std::size_t logicalStart = 0;  // the line number where it started
    std::size_t lineNumber = 0;    // of the physical line being read, the header's 0
    bool version5 = true;       // hex(2) and hex(7) data are UTF-16 (REGEDIT4: ANSI)

    enum class Section { outside, branch, select };
    Section section = Section::outside;
    KeyTreeRegistry::Node* key = nullptr;  // in the branch
    // What the key is, which says which of its values the scan reads.
    enum class Kept { other, instance, driverKey, driverRank };
    Kept kept = Kept::other;
    std::string valueName;                 // of the value line being read
    // The branch and the device key entered last, until a deletion.
    KeyTreeRegistry::Node* lastBranch = nullptr;
    KeyTreeRegistry::Node* lastDevice = nullptr;
    Branch* lastBranchOf = nullptr;  // what holds lastBranch
    std::string lastHive;            // its hive's key
    std::string lastControlSet;      // and its control set's name
    // Each hive's PCI branches, by their control sets' folded names, and its
    // Select; by the hive's key (BranchPlace::hive).
    struct Hive {
        std::size_t order = 0;  // hives in the order the file names them first
        std::map<std::string, Branch> branches;
        std::optional<std::uint32_t> selectCurrent, selectDefault;
    };
    std::map<std::string, Hive> hives;
    std::size_t hivesNamed = 0;
    std::string selectOf;            // the hive whose Select is being read
    bool wholeBranchNeeded = false;  // Keep::records: the file is not read a device at a time
    bool finished = false;

    bool wantsValues() const { return section != Section::outside; }
    Hive& hive(const std::string& key)
    {
        Hive& found = hives[key];
        if (found.order == 0)
            found.order = ++hivesNamed;
        return found;
    }
    // The machine's own SYSTEM, else the hive named first that has a branch.
    static bool hasPci(const Hive& hive)
    {
        return std::any_of(hive.branches.begin(), hive.branches.end(),
                           [](const auto& branch) { return branch.second.hasPci; });
    }
    Hive* chosenHive()
    {
        Hive* chosen = nullptr;
        for (auto& [key, hive] : hives) {
            if (!hasPci(hive))
                continue;
            if (key == "hklm\\system")
                return &hive;
            if (!chosen || hive.order < chosen->order)
                chosen = &hive;
        }
        return chosen;
    }
    // The control set Windows would start with, as a hive's reader chooses
    // it: CurrentControlSet, Select's Current, its Default, else the first.
    Branch* chosen()
    {
        Hive* hive = chosenHive();
        if (!hive)
            return nullptr;
        auto& branches = hive->branches;
        const auto withPci = [&branches](const std::string& name) {
            const auto found = branches.find(name);
            return found != branches.end() && found->second.hasPci ? found : branches.end();
        };
        auto found = withPci("currentcontrolset");
        for (const auto& number : {hive->selectCurrent, hive->selectDefault}) {
            if (found != branches.end() || !number)
                continue;
            char name[32];
            std::snprintf(name, sizeof name, "controlset%03u", static_cast<unsigned>(*number));
            found = withPci(name);
        }
        if (found == branches.end())
            found = std::find_if(branches.begin(), branches.end(), [](const auto& branch) { return branch.second.hasPci; });
        return &found->second;
    }
};

namespace {

// Instance\Properties\{a8b865dd-...}\000E, the key that holds the rank of
// the instance's driver.
bool isDriverRankKey(const std::vector<std::string_view>& names)
{
    const std::vector<std::string_view> rankNames = splitRegistryPath(driverRankKey);
    if (names.size() != keptDepth + rankNames.size())
        return false;
    return std::equal(rankNames.begin(), rankNames.end(), names.begin() + keptDepth,
                      [](std::string_view a, std::string_view b) { return text::equalAsciiFolded(a, b); });
}

// Whether the scan reads the value of that name in a key of that kind.
template <typename Kept>
bool isScanned(Kept kept, const std::string& name)
{
    const auto named = [&name](const char* read) { return text::equalAsciiFolded(name, read); };
    switch (kept) {
    case Kept::instance:
        return std::any_of(std::begin(instanceValue::all), std::end(instanceValue::all), named);
    case Kept::driverKey:
        return std::any_of(std::begin(driverKeyValue::all), std::end(driverKeyValue::all), named);
    case Kept::driverRank:
        return name.empty();
    case Kept::other:
        break;
    }
    return false;
}

}

std::optional<RegExportReader::Encoding> RegExportReader::recognise(std::string_view head)
{
    // The header line, in the encoding the first bytes show.
    std::optional<Encoding> encoding;
    std::string header;
    if (startsWith(head, "\xFF\xFE") || (head.size() >= 2 && head[0] != '\0' && head[1] == '\0')) {
        encoding = Encoding::utf16le;
    } else if (startsWith(head, "\xFE\xFF") || (head.size() >= 2 && head[0] == '\0' && head[1] != '\0')) {
        encoding = Encoding::utf16be;
    }
    if (encoding) {
        Utf16Decoder decoder(*encoding == Encoding::utf16be);
        decoder.decode(head.substr(0, 4 * version5Header.size()), header);
        if (startsWith(header, "\xEF\xBB\xBF"))
            header.erase(0, 3);
    } else {
        const bool bom = startsWith(head, "\xEF\xBB\xBF");
        header = std::string(head.substr(bom ? 3 : 0, 2 * version5Header.size()));
        encoding = bom ? Encoding::utf8 : Encoding::ansi;
    }
    const std::string_view firstLine = trimmed(std::string_view(header).substr(0, header.find('\n')));
    if (firstLine == version5Header)
        return *encoding == Encoding::ansi ? Encoding::utf8 : *encoding;  // 8-bit 5.00: an editor's UTF-8
    if (firstLine == version4Header)
        return encoding;
    return std::nullopt;
}

RegExportReader::RegExportReader(Encoding encoding, Keep keep)
    : encoding(encoding), keep(keep), state(std::make_unique<State>(encoding))
{
}

RegExportReader::~RegExportReader() = default;

void RegExportReader::read(std::string_view bytes)
{
    if (encoding == Encoding::utf16le || encoding == Encoding::utf16be) {
        state->decoded.clear();
        state->utf16.decode(bytes, state->decoded);
        splitLines(state->decoded);
    } else {
        splitLines(bytes);  // 8-bit lines are converted one by one, those that are kept
    }
}

void RegExportReader::splitLines(std::string_view piece)
{
    std::size_t start = 0;
    while (start < piece.size()) {
        const std::size_t end = piece.find('\n', start);
        if (end == std::string_view::npos) {
            takeLineBytes(piece.substr(start), false);
            return;
        }
        takeLineBytes(piece.substr(start, end - start), true);
        start = end + 1;
    }
}

void RegExportReader::skip(std::size_t lineNumber, const char* reason)
{
    if (skipped++ == 0)
        first = SkippedLine{lineNumber + 1, reason};
}

void RegExportReader::takeLineBytes(std::string_view bytes, bool lineEnds)
{
    State& s = *state;
    if (lineEnds && s.current.empty() && !s.discarding && bytes.size() <= maxLineBytes) {
        line(bytes);  // whole within the piece: read where it stands
        ++s.lineNumber;
        return;
    }
    if (!s.discarding) {
        if (s.current.size() + bytes.size() > maxLineBytes) {
            s.overlong = s.discarding = true;
            s.current.clear();
        } else {
            s.current.append(bytes);
            // Outside the branch only key lines matter: the rest of a line
            // that is none is not kept.
            const std::size_t firstChar = s.current.find_first_not_of(" \t");
            if (!s.wantsValues() && s.logical.empty() && s.lineNumber > 0 && firstChar != std::string::npos &&
                s.current[firstChar] != '[') {
                s.discarding = true;
                s.current.clear();
            }
        }
    }
    if (!lineEnds)
        return;
    if (s.overlong) {
        if (s.wantsValues() || !s.logical.empty())
            skip(s.logical.empty() ? s.lineNumber : s.logicalStart, "a line too long");
        s.logical.clear();
    } else if (!s.discarding) {
        line(s.current);
    }
    ++s.lineNumber;
    s.current.clear();
    s.discarding = s.overlong = false;
}

void RegExportReader::line(std::string_view raw)
{
    State& s = *state;
    if (s.lineNumber == 0) {  // the header, recognised already
        s.version5 = raw.find(version4Header) == std::string_view::npos;
        return;
    }
    std::string converted;
    if (encoding == Encoding::ansi || (encoding == Encoding::utf8 && !text::isUtf8(raw)))
        raw = converted = windows1252ToUtf8(raw);
    const std::string_view text = trimmed(raw);

    if (!s.logical.empty()) {
        continuedLine(text);
        return;
    }
    if (text.empty() || text[0] == ';' || text[0] == '#')
        return;
    if (text[0] == '[') {
        keyLine(text);
        return;
    }
    if (!s.wantsValues())
        return;
    if (text.back() == '\\' && (text[0] == '"' || text[0] == '@')) {
        s.logical.assign(text.substr(0, text.size() - 1));  // never empty: it starts with " or @
        s.logicalStart = s.lineNumber;
        return;
    }
    valueLine(text, s.lineNumber);
}

// The next part of a value continued with a backslash.
void RegExportReader::continuedLine(std::string_view text)
{
    State& s = *state;
    const bool continues = !text.empty() && text.back() == '\\';
    if (s.logical.size() + text.size() > maxLineBytes) {
        skip(s.logicalStart, "a line too long");
        s.logical.clear();
        return;
    }
    s.logical.append(text.substr(0, text.size() - (continues ? 1 : 0)));
    if (!continues) {
        const std::string whole = std::move(s.logical);
        s.logical.clear();
        valueLine(whole, s.logicalStart);
    }
}

void RegExportReader::keyLine(std::string_view text)
{
    State& s = *state;
    s.section = State::Section::outside;
    s.key = nullptr;
    s.kept = State::Kept::other;
    const std::size_t close = text.rfind(']');
    if (close == std::string_view::npos) {
        skip(s.lineNumber, "a key line without its closing bracket");
        return;
    }
    std::string_view path = text.substr(1, close - 1);
    const bool deletion = !path.empty() && path[0] == '-';
    if (deletion)
        path.remove_prefix(1);
    const std::vector<std::string_view> names = splitRegistryPath(path);
    if (names.size() > maxKeyDepth) {
        skip(s.lineNumber, "a key more than 512 levels deep");
        return;
    }
    if (names.empty() || path.find('\0') != std::string_view::npos ||
        std::any_of(names.begin(), names.end(), [](std::string_view name) { return name.size() > maxNameBytes; })) {
        skip(s.lineNumber, "a key name that is empty, holds a zero or is over 255 bytes");
        return;
    }
    if (!std::any_of(std::begin(hiveRoots), std::end(hiveRoots),
                     [&names](const char* root) { return text::equalAsciiFolded(names[0], root); }))
        return;
    const BranchPlace place = placeOf(names);
    if (deletion) {
        deleteKey(names, place);
    } else if (place.isSelect) {
        s.section = State::Section::select;
        s.selectOf = place.hive;
    } else if (place.matched == pciBranchDepth) {
        enterKey(names, place);
    } else if (place.belowClasses == std::size_t(2)) {
        enterDriverKey(names, place);
    }
}

// A key of the branch, made with every key on the way down to its instance:
// the values that follow are its. Below an instance (Device Parameters and
// the like) neither keys nor values are kept.
void RegExportReader::enterKey(const std::vector<std::string_view>& names, const BranchPlace& place)
{
    State& s = *state;
    // A device's key comes before its instance's: the branch and the device
    // entered last are found again without a search.
    if (!s.lastBranch || !text::equalAsciiFolded(place.controlSet, s.lastControlSet) || place.hive != s.lastHive) {
        if (s.lastBranchOf)
            recordDevices(*s.lastBranchOf);
        Branch& branch = s.hive(place.hive).branches[text::asciiLowered(place.controlSet)];
        branch.hasPci = true;
        s.lastBranch = &branch.registry->addKey(pciBranchPath);
        s.lastBranchOf = &branch;
        s.lastHive = place.hive;
        s.lastControlSet.assign(place.controlSet);
        s.lastDevice = nullptr;
    }
    KeyTreeRegistry::Node* node = s.lastBranch;
    for (std::size_t i = pciBranchDepth + 1; i < std::min(names.size(), keptDepth); ++i) {
        if (i > pciBranchDepth + 1) {
            node = &node->addSubKey(std::string(names[i]));
            continue;
        }
        if (!s.lastDevice || s.lastDevice->name != names[i]) {
            if (keep == Keep::records && !(s.lastDevice && text::equalAsciiFolded(s.lastDevice->name, names[i]))) {
                recordDevices(*s.lastBranchOf);  // the file has gone on to another device
                if (s.lastBranchOf->recorded.count(text::foldedHash(names[i])))
                    s.wholeBranchNeeded = true;  // or back to one recorded (or one of the same hash)
            }
            s.lastDevice = &node->addSubKey(std::string(names[i]));
        }
        node = s.lastDevice;
    }
    if (names.size() <= keptDepth) {
        s.section = State::Section::branch;
        s.key = node;
        s.kept = names.size() == keptDepth ? State::Kept::instance : State::Kept::other;
    } else if (isDriverRankKey(names)) {
        // Of the keys below an instance, the one that holds its driver's rank.
        for (std::size_t i = keptDepth; i < names.size(); ++i)
            node = &node->addSubKey(std::string(names[i]));
        s.section = State::Section::branch;
        s.key = node;
        s.kept = State::Kept::driverRank;
    }
}

// A driver key, Control\Class\{class}\NNNN of a control set: kept beside
// the control set's PCI branch, where the scan looks for it.
void RegExportReader::enterDriverKey(const std::vector<std::string_view>& names, const BranchPlace& place)
{
    State& s = *state;
    Branch& branch = s.hive(place.hive).branches[text::asciiLowered(place.controlSet)];
    KeyTreeRegistry::Node& classes = branch.registry->addKey(controlClassPath);
    s.section = State::Section::branch;
    s.key = &classes.addSubKey(std::string(names[names.size() - 2])).addSubKey(std::string(names.back()));
    s.kept = State::Kept::driverKey;
}

// [-key]: a key of the branch or above it goes, with everything below it.
void RegExportReader::deleteKey(const std::vector<std::string_view>& names, const BranchPlace& place)
{
    State& s = *state;
    s.lastBranch = s.lastDevice = nullptr;  // either may go
    s.lastBranchOf = nullptr;
    if (keep == Keep::records)
        s.wholeBranchNeeded = true;  // what was recorded may be what goes
    if (names.size() == 1) {  // a whole root: its hives
        const std::string root = rootOf(names[0]) + "\\";
        for (auto hive = s.hives.begin(); hive != s.hives.end();)
            hive = hive->first.compare(0, root.size(), root) == 0 ? s.hives.erase(hive) : std::next(hive);
        return;
    }
    const auto hive = s.hives.find(place.hive);
    if (hive == s.hives.end())
        return;
    auto& branches = hive->second.branches;
    if (place.isSelect) {
        hive->second.selectCurrent.reset();
        hive->second.selectDefault.reset();
    } else if (place.matched == 2 && names.size() >= 4 && text::equalAsciiFolded(names[3], "control") &&
               (names.size() == 4 || place.belowClasses)) {  // driver keys, or a key above them
        const auto branch = branches.find(text::asciiLowered(place.controlSet));
        std::string path = "SYSTEM\\CurrentControlSet";
        for (std::size_t i = 3; i < names.size(); ++i)
            path += "\\" + std::string(names[i]);
        if (branch != branches.end())
            branch->second.registry->removeKey(path);
    } else if (place.matched + 1 == names.size() && place.matched < pciBranchDepth) {  // a key above the branch
        if (place.matched >= 2)
            branches.erase(text::asciiLowered(place.controlSet));
        else
            s.hives.erase(hive);
    } else if (place.matched == pciBranchDepth && names.size() <= keptDepth) {
        const auto branch = branches.find(text::asciiLowered(place.controlSet));
        if (branch == branches.end())
            return;
        std::string below;
        for (std::size_t i = pciBranchDepth + 1; i < names.size(); ++i)
            below += "\\" + std::string(names[i]);
        if (below.empty())
            branches.erase(branch);
        else
            branch->second.registry->removeKey(pciBranchPath + below);
    }
}

void RegExportReader::valueLine(std::string_view text, std::size_t lineNumber)
{
    State& s = *state;
    std::string& name = s.valueName;
    name.clear();
    if (!text.empty() && text[0] == '@') {
        text.remove_prefix(1);
    } else if (!takeQuoted(text, name)) {
        skip(lineNumber, "a value line whose name is not quoted");
        return;
    }
    text = trimmed(text);
    if (text.empty() || text[0] != '=') {
        skip(lineNumber, "a value line without '='");
        return;
    }
    const char* problem = nullptr;
    std::optional<ValueData> value = parseData(trimmed(text.substr(1)), s.version5, problem);
    if (!value) {
        skip(lineNumber, problem);
        return;
    }
    if (s.section == State::Section::select) {
        State::Hive& hive = s.hive(s.selectOf);
        const std::string lowered = text::asciiLowered(name);
        auto* number = lowered == "current" ? &hive.selectCurrent : lowered == "default" ? &hive.selectDefault : nullptr;
        if (number && value->bytes && value->type == registryType::dword)
            *number = littleEndian32(*value->bytes);
        else if (number)
            number->reset();
        return;
    }
    if (!s.key)
        return;
    if (keep != Keep::everyValue && !isScanned(s.kept, name))
        return;  // parsed all the same: a malformed line counts wherever it stands
    if (value->bytes)
        s.key->setValue(name, std::move(*value->bytes), value->type);
    else
        s.key->removeValue(name);
}

void RegExportReader::finish()
{
    State& s = *state;
    if (s.finished)
        return;
    s.finished = true;
    if (encoding == Encoding::utf16le || encoding == Encoding::utf16be) {
        s.decoded.clear();
        s.utf16.finish(s.decoded);
        splitLines(s.decoded);
    }
    if (!s.current.empty() || s.discarding)
        takeLineBytes({}, true);
    if (!s.logical.empty()) {  // the file ends inside a value
        skip(s.logicalStart, "a value cut off by the end of the file");
        s.logical.clear();
    }
    if (keep == Keep::records)
        for (auto& [key, hive] : s.hives)
            for (auto& [name, branch] : hive.branches) {
                recordDevices(branch);
                takeLateDriverKeys(branch);
            }
}

// Devices recorded before the file came to the driver keys (an export of
// Enum\PCI and one of Control\Class, one after the other) get their
// installed drivers now.
void RegExportReader::takeLateDriverKeys(Branch& branch)
{
    if (state->wholeBranchNeeded || !branch.registry->addKey(pciBranchPath).subKeys.empty())
        return;
    KeyTreeRegistry::Node* classes = branch.registry->addKey("SYSTEM\\CurrentControlSet\\Control").subKey("Class");
    if (!classes)
        return;
    for (const auto& record : branch.records) {
        if (record->driverKeysRecorded)
            continue;
        record->driverKeysRecorded = true;
        readInstalledDriver(*branch.registry, *record);
    }
}

// The branch holds the keys of one device at most, those read since the last
// record: the scan makes its record, and its keys go.
void RegExportReader::recordDevices(Branch& branch)
{
    State& s = *state;
    if (keep != Keep::records || s.wholeBranchNeeded)
        return;
    KeyTreeRegistry::Node& branchKey = branch.registry->addKey(pciBranchPath);
    if (branchKey.subKeys.empty())
        return;
    for (auto& record : readPciBranch(*branch.registry))
        branch.records.push_back(std::move(record));
    for (const auto& device : branchKey.subKeys)
        branch.recorded.insert(text::foldedHash(device->name));
    branchKey.clear();
    if (s.lastBranch == &branchKey)
        s.lastDevice = nullptr;
}

bool RegExportReader::needsWholeBranch() const
{
    return state->wholeBranchNeeded;
}

DeviceRecords RegExportReader::takeRecords()
{
    Branch* chosen = state->chosen();
    return chosen ? std::move(chosen->records) : DeviceRecords();
}

bool RegExportReader::hasPciBranch() const
{
    return state->chosen() != nullptr;
}

std::unique_ptr<KeyTreeRegistry> RegExportReader::takeRegistry()
{
    Branch* chosen = state->chosen();
    return chosen ? std::move(chosen->registry) : nullptr;
}
