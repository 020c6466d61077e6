// SPDX-License-Identifier: GPL-2.0-or-later
#include "infFile.h"

#include "keyedHash.h"
#include "text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <tuple>

namespace {

// Thrown where reading a file goes past its budget, caught where its reading started.
struct OverBudget {};

// "0x80" or "128": how decorations write product types and suite masks.
std::optional<std::uint32_t> flagNumber(std::string_view text)
{
    if (text::startsWithAsciiFolded(text, "0x"))
        return text::hexNumber(text.substr(2), 8);
    return text::decimalNumber(text, 9);
}

// The parts of `text` between `separators`, empty ones too.
std::vector<std::string_view> split(std::string_view text, std::string_view separators)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t end = text.find_first_of(separators);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return parts;
        text.remove_prefix(end + 1);
    }
}

bool isLeapYear(std::uint32_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::uint32_t parseDate(std::string_view text)
{
    const auto parts = split(text, "/-");
    if (parts.size() != 3)
        return 0;
    const auto month = text::decimalNumber(parts[0], 2), day = text::decimalNumber(parts[1], 2);
    const auto year = text::decimalNumber(parts[2], 4);
    if (!month || !day || !year || parts[2].size() != 4 || *month < 1 || *month > 12 || *day < 1 || *year < 1)
        return 0;
    static constexpr std::array<std::uint32_t, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (*day > days[*month - 1] + (*month == 2 && isLeapYear(*year)))
        return 0;
    return *year * 10000 + *month * 100 + *day;
}

// A TargetOSVersion decoration: NT[architecture][.major[.minor[.productType[.suiteMask[.build]]]]].
struct Decoration {
    std::string_view architecture;  // as written; empty for none
    std::uint32_t major = 0, minor = 0, build = 0;
    std::optional<std::uint32_t> productType, suiteMask;

    std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, int> order() const
    {
        return {major, minor, build, int(productType.has_value()) + int(suiteMask.has_value())};
    }
};

std::optional<Decoration> parseDecoration(std::string_view text)
{
    if (!text::startsWithAsciiFolded(text, "nt"))
        return std::nullopt;
    const auto parts = split(text.substr(2), ".");
    if (parts.size() > 6)
        return std::nullopt;
    Decoration decoration;
    decoration.architecture = parts[0];
    std::array<std::uint32_t*, 3> versions = {&decoration.major, &decoration.minor, &decoration.build};
    for (std::size_t index = 1; index < parts.size(); ++index) {
        if (parts[index].empty())
            continue;
        const bool flags = index == 3 || index == 4;
        const auto value = flags ? flagNumber(parts[index]) : text::decimalNumber(parts[index], 9);
        if (!value)
            return std::nullopt;
        if (index == 3)
            decoration.productType = value;
        else if (index == 4)
            decoration.suiteMask = value;
        else
            *versions[index == 5 ? 2 : index - 1] = *value;
    }
    return decoration;
}

bool applies(const Decoration& decoration, const WindowsTarget& target)
{
    if (decoration.architecture.empty() ? target.architecture != WindowsArchitecture::x86
                                        : !text::equalAsciiFolded(decoration.architecture,
                                                                  architectureName(target.architecture)))
        return false;
    const auto version = std::make_pair(decoration.major, decoration.minor);
    const auto targetVersion = std::make_pair(target.major, target.minor);
    if (version > targetVersion || (version == targetVersion && decoration.build > target.build))
        return false;
    if (decoration.productType && *decoration.productType != target.productType)
        return false;
    return !decoration.suiteMask || (target.suiteMask & *decoration.suiteMask) == *decoration.suiteMask;
}

// A [Strings.LanguageID] section's language, or -1 for [Strings], or
// nothing for a section of another name.
std::optional<int> stringsLanguage(std::string_view name)
{
    if (!text::startsWithAsciiFolded(name, "strings"))
        return std::nullopt;
    name.remove_prefix(7);
    if (name.empty())
        return -1;
    const auto language = name[0] == '.' ? text::hexNumber(name.substr(1), 4) : std::nullopt;
    return language ? std::optional<int>(static_cast<int>(*language)) : std::nullopt;
}

// FeatureScore=F8, 0xF8 or xF8: one byte in hexadecimal.
std::optional<std::uint8_t> featureScore(std::string_view text)
{
    if (text::startsWithAsciiFolded(text, "0x"))
        text.remove_prefix(2);
    else if (text::startsWithAsciiFolded(text, "x"))
        text.remove_prefix(1);
    const auto value = text::hexNumber(text, 2);
    return value ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(*value)) : std::nullopt;
}

}

DriverVersion parseDriverVersion(std::string_view date, std::string_view version)
{
    DriverVersion result;
    result.date = parseDate(date);
    const auto parts = split(version, ".");
    if (version.empty() || parts.size() > 4)
        return result;
    for (std::size_t index = 0; index < 4; ++index) {
        std::optional<std::uint32_t> part = index < parts.size() ? text::decimalNumber(parts[index], 5) : 0u;
        if (!part || *part >= 65535)
            return result;
        result.version = result.version << 16 | *part;
    }
    result.hasVersion = result.version != 0;
    return result;
}

std::string DriverVersion::isoDate() const
{
    if (date == 0)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", unsigned(date / 10000), unsigned(date / 100 % 100),
                  unsigned(date % 100));
    return text;
}

std::string DriverVersion::versionText() const
{
    if (!hasVersion)
        return {};
    return std::to_string(version >> 48) + "." + std::to_string(version >> 32 & 0xFFFF) + "." +
           std::to_string(version >> 16 & 0xFFFF) + "." + std::to_string(version & 0xFFFF);
}

std::vector<std::size_t> InfReader::sectionsNamed(std::string_view name) const
{
    // The index holds (hash, position) pairs in order: those of one hash come
    // in the file's order.
    const std::uint64_t hash = text::keyedFoldedHash(name);
    std::vector<std::size_t> found;
    for (auto at = std::lower_bound(sectionIndex.begin(), sectionIndex.end(), std::make_pair(hash, std::uint32_t(0)));
         at != sectionIndex.end() && at->first == hash; ++at)
        if (text::equalAsciiFolded(sections[at->second].name, name))
            found.push_back(at->second);
    return found;
}

template <typename Each>
void InfReader::forEachEntry(std::string_view name, inf::Entry& entry, Each each)
{
    for (const std::size_t index : sectionsNamed(name)) {
        inf::EntryReader reader(text, sections[index].begin, sections[index].end);
        while (reader.next(entry))
            each(static_cast<const inf::Entry&>(entry));
    }
}

void InfReader::substitute(std::string_view field, std::string& into)
{
    inf::substitute(field, strings, into);
    spent += into.size();
    if (spent > budget)
        throw OverBudget();
}

std::string InfReader::substituted(std::string_view field)
{
    std::string made;
    substitute(field, made);
    return made;
}

void InfReader::loadStrings()
{
    strings.clear();
    // The language Windows would choose for US English (0x0409): the same,
    // the language with no sublanguage, any of the language, none.
    constexpr int language = 0x0409;
    constexpr int primaryMask = 0x3FF;
    std::optional<int> chosen;
    const auto rank = [](int candidate) {
        if (candidate == language)
            return 0;
        if (candidate == (language & primaryMask))
            return 1;
        if (candidate >= 0 && (candidate & primaryMask) == (language & primaryMask))
            return 2;
        return candidate == -1 ? 3 : 4;
    };
    for (const inf::Section& section : sections) {
        const auto candidate = stringsLanguage(section.name);
        if (candidate && rank(*candidate) < 4 &&
            (!chosen || std::make_pair(rank(*candidate), *candidate) < std::make_pair(rank(*chosen), *chosen)))
            chosen = candidate;
    }
    if (!chosen)
        return;
    for (const inf::Section& section : sections) {
        if (stringsLanguage(section.name) != chosen)
            continue;
        inf::EntryReader reader(text, section.begin, section.end);
        while (reader.next(entry))
            strings.add(entry);
    }
}

bool InfReader::readVersion(InfPackage& package)
{
    bool signature = false, haveProvider = false, haveClass = false, haveDriver = false;
    const std::string arch = std::string("catalogfile.nt") + architectureName(target.architecture);
    int catalogRank = 3;  // 0: .NT<architecture>, 1: .NT, 2: undecorated
    provider.clear();
    infClass.clear();
    catalogFile.clear();
    package.driver = {};
    forEachEntry("Version", entry, [&](const inf::Entry& line) {
        if (!line.hasKey)
            return;
        const std::string_view key = line.key;
        if (text::equalAsciiFolded(key, "signature")) {
            const std::string value = substituted(line.field(0));
            signature = signature || text::equalAsciiFolded(value, "$windows nt$") ||
                        text::equalAsciiFolded(value, "$chicago$");
        } else if (text::equalAsciiFolded(key, "provider") && !haveProvider) {
            substitute(line.field(0), provider);
            haveProvider = true;
        } else if (text::equalAsciiFolded(key, "class") && !haveClass) {
            substitute(line.field(0), infClass);
            haveClass = true;
        } else if (text::equalAsciiFolded(key, "driverver") && !haveDriver) {
            const std::string date = substituted(line.field(0));
            package.driver = parseDriverVersion(date, substituted(line.field(1)));
            haveDriver = true;
        } else if (text::startsWithAsciiFolded(key, "catalogfile")) {
            const int rank = text::equalAsciiFolded(key, arch)               ? 0
                             : text::equalAsciiFolded(key, "catalogfile.nt") ? 1
                             : text::equalAsciiFolded(key, "catalogfile")    ? 2
                                                                             : 3;
            if (rank < catalogRank) {
                substitute(line.field(0), catalogFile);
                catalogRank = rank;
            }
        }
    });
    package.provider = provider;
    package.infClass = infClass;
    package.catalogFile = catalogFile;
    return signature;
}

std::optional<std::string> InfReader::modelsSection(const inf::Entry& manufacturer)
{
    std::string name = substituted(manufacturer.field(0));
    std::optional<Decoration> best;
    std::string bestText, decorationText;
    for (std::size_t index = 1; index < manufacturer.fieldCount(); ++index) {
        substitute(manufacturer.field(index), decorationText);
        const auto decoration = parseDecoration(decorationText);
        if (decoration && applies(*decoration, target) && (!best || best->order() < decoration->order())) {
            best = decoration;
            bestText = decorationText;
            best->architecture = {};  // it pointed into decorationText, reused
        }
    }
    if (best)
        return name + "." + bestText;
    if (target.architecture == WindowsArchitecture::x86)
        return name;
    return std::nullopt;
}

std::size_t InfReader::install(const std::string& name)
{
    const std::uint64_t hash = text::keyedFoldedHash(name);
    const auto [first, last] = installsByHash.equal_range(hash);
    for (auto known = first; known != last; ++known)
        if (text::equalAsciiFolded(installs[known->second].name, name))
            return known->second;
    Install result{name, 0xFF, false, {}, {}};
    std::string section = name + ".NT" + architectureName(target.architecture);
    if (sectionsNamed(section).empty())
        section = sectionsNamed(name + ".NT").empty() ? name : name + ".NT";
    bool haveScore = false;
    forEachEntry(section, installEntry, [&](const inf::Entry& line) {
        if (!line.hasKey)
            return;
        if (text::equalAsciiFolded(line.key, "featurescore") && !haveScore) {
            haveScore = true;
            result.featureScore = featureScore(substituted(line.field(0))).value_or(0xFF);
        } else if (text::equalAsciiFolded(line.key, "excludeid")) {
            for (std::size_t index = 0; index < line.fieldCount(); ++index)
                if (std::string id = substituted(line.field(index)); !id.empty())
                    result.excludeIds.push_back(std::move(id));
        } else if (text::equalAsciiFolded(line.key, "driverver") && !result.hasDriverVersion) {
            const std::string date = substituted(line.field(0));
            result.driver = parseDriverVersion(date, substituted(line.field(1)));
            result.hasDriverVersion = true;
        }
    });
    installsByHash.emplace(hash, installs.size());
    installs.push_back(std::move(result));
    return installs.size() - 1;
}

void InfReader::readModels(const std::string& section, const DriverVersion& packageDriver,
                           const std::function<void(const InfModel&)>& model)
{
    forEachEntry(section, entry, [&](const inf::Entry& line) {
        if (!line.hasKey || line.fieldCount() < 2)
            return;
        substitute(line.key, description);
        substitute(line.field(0), installName);
        ids.resize(line.fieldCount() - 1);
        bool anyId = false;
        for (std::size_t index = 1; index < line.fieldCount(); ++index) {
            substitute(line.field(index), ids[index - 1]);
            anyId = anyId || !ids[index - 1].empty();
        }
        if (!anyId)
            return;
        const std::size_t index = install(installName);
        const Install& found = installs[index];
        model(InfModel{description, installName, ids, found.featureScore,
                       found.hasDriverVersion ? found.driver : packageDriver, index, found.excludeIds});
    });
}

InfResult InfReader::open(std::string_view bytes)
{
    if (bytes.size() > maxInfFileSize)
        return InfResult::tooLarge;
    text = inf::decodeText(bytes, scratch);
    if (!inf::findSections(text, sections))
        return InfResult::notInf;
    sectionIndex.clear();
    for (std::size_t index = 0; index < sections.size(); ++index)
        sectionIndex.emplace_back(sections[index].nameHash, static_cast<std::uint32_t>(index));
    std::sort(sectionIndex.begin(), sectionIndex.end());
    budget = substitutionBudget(text.size());
    spent = 0;
    return InfResult::read;
}

InfResult InfReader::read(std::string_view bytes, const std::function<void(const InfPackage&)>& package,
                          const std::function<void(const InfModel&)>& model)
{
    return readAfterVersion(bytes, [&](const InfPackage& header) {
        package(header);
        readManufacturers(header.driver, model);
    });
}

// Opens the file, reads its strings and [Version], then `rest`; a file over
// its budget anywhere is said as such.
InfResult InfReader::readAfterVersion(std::string_view bytes, const std::function<void(const InfPackage&)>& rest)
{
    if (const InfResult opened = open(bytes); opened != InfResult::read)
        return opened;
    try {
        loadStrings();
        InfPackage header;
        if (!readVersion(header))
            return InfResult::notInf;
        rest(header);
    } catch (const OverBudget&) {
        return InfResult::overBudget;
    }
    return InfResult::read;
}

void InfReader::readManufacturers(const DriverVersion& packageDriver, const std::function<void(const InfModel&)>& model)
{
    installs.clear();
    installsByHash.clear();
    modelsSectionsRead.clear();
    std::vector<std::string> chosen;
    forEachEntry("Manufacturer", entry, [&](const inf::Entry& line) {
        if (auto section = modelsSection(line))
            chosen.push_back(std::move(*section));
    });
    for (const std::string& section : chosen)
        if (modelsSectionsRead.insert(text::asciiLowered(section)).second)  // named by two lines: its models once
            readModels(section, packageDriver, model);
}

InfResult InfReader::readPackageFiles(std::string_view bytes, InfPackageFiles& files)
{
    files = {};
    return readAfterVersion(bytes, [&](const InfPackage&) {
        files.catalogFile = catalogFile;
        readSourceDisks(files);
    });
}

namespace {

// Disk IDs are numbers ("1" and "01" name one disk); text that is none
// compares without regard to case.
bool sameDisk(std::string_view a, std::string_view b)
{
    const auto first = text::decimalNumber(a, 9), second = text::decimalNumber(b, 9);
    return first && second ? *first == *second : text::equalAsciiFolded(a, b);
}

}

void InfReader::readSourceDisks(InfPackageFiles& files)
{
    // Each disk's path, the decorated section's before the undecorated one's.
    const std::string decorated = std::string(".") + architectureName(target.architecture);
    std::vector<std::pair<std::string, std::string>> disks;
    for (const std::string& section : {"SourceDisksNames" + decorated, std::string("SourceDisksNames")})
        forEachEntry(section, entry, [&](const inf::Entry& line) {
            if (!line.hasKey)
                return;
            std::string disk = substituted(line.key);
            disks.emplace_back(std::move(disk), substituted(line.field(3)));
        });
    std::unordered_set<std::string, text::KeyedHasher> named;  // the files' names, lowered: the decorated entry wins
    for (const std::string& section : {"SourceDisksFiles" + decorated, std::string("SourceDisksFiles")})
        forEachEntry(section, entry, [&](const inf::Entry& line) {
            if (!line.hasKey)
                return;
            std::string name = substituted(line.key);
            if (name.empty() || !named.insert(text::asciiLowered(name)).second)
                return;
            const std::string disk = substituted(line.field(0));
            const auto found = std::find_if(disks.begin(), disks.end(),
                                            [&disk](const auto& known) { return sameDisk(known.first, disk); });
            std::string subdirectory = substituted(line.field(1));
            files.files.push_back({std::move(name), found == disks.end() ? std::string() : found->second,
                                   std::move(subdirectory), found != disks.end()});
        });
}

std::uint64_t substitutionBudget(std::size_t textSize)
{
    return 16 * std::uint64_t(textSize) + (1u << 20);
}

std::optional<InfFile> readInfFile(std::string_view bytes, const WindowsTarget& target)
{
    InfFile file;
    InfReader reader(target);
    const InfResult result = reader.read(
        bytes,
        [&](const InfPackage& package) {
            file.provider = package.provider;
            file.infClass = package.infClass;
            file.catalogFile = package.catalogFile;
            file.driver = package.driver;
        },
        [&](const InfModel& model) {
            if (model.install == file.excludeIds.size())
                file.excludeIds.push_back(model.excludeIds);
            file.models.push_back({std::string(model.description), std::string(model.installSection), model.ids,
                                   model.featureScore, model.driver, model.install});
        });
    if (result != InfResult::read)
        return std::nullopt;
    return file;
}
