// SPDX-License-Identifier: GPL-2.0-or-later
#include "driverFolder.h"

#include "flException.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <new>
#include <unordered_map>

namespace {

constexpr std::uint8_t signedScore = 0x00;
constexpr std::uint8_t unsignedScore = 0xFF;
// Files over their budget named in the notice, per folder given; the others counted.
constexpr std::size_t namedOverBudget = 10;
constexpr std::uint32_t noExclusions = 0;

[[noreturn]] void fail(const char* file, int line, const std::string& message)
{
    flException failure(file, line, message.c_str());
    failure.userFacing = true;
    throw failure;
}

bool isInfName(std::string_view name)
{
    return name.size() > 4 && text::equalAsciiFolded(name.substr(name.size() - 4), ".inf");
}

// The folder's path made absolute, '/'-separated, in small letters, with a
// '/' at each end: what tells a driver store.
std::string comparablePath(const std::string& folder)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::u8path(folder), error);
    std::string path = error ? folder : absolute.lexically_normal().u8string();
    std::replace(path.begin(), path.end(), '\\', '/');
    return "/" + text::asciiLowered(path) + "/";
}

// The last name of a comparable path.
std::string lastName(const std::string& comparable)
{
    const std::string_view path(comparable.data(), comparable.size() - 1);
    return std::string(path.substr(path.rfind('/') + 1));
}

std::string skippedNotice(const std::string& folder, std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " file of " : " files of ") + folder +
           (count == 1 ? " was skipped: unreadable or not an INF file." : " were skipped: unreadable or not INF files.");
}

std::string unreadFoldersNotice(const std::string& folder, std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " folder of " : " folders of ") + folder + " could not be read.";
}

std::string overBudgetNotice(const std::string& path)
{
    return path + " was skipped: reading it would take more memory than an INF file of its size may.";
}

// What tells two files' bytes apart: a keyed hash, so that no file can be
// made to pass for another one.
std::uint64_t contentKey(std::string_view bytes)
{
    return text::keyedHash(bytes) ^ bytes.size() * 0x9E3779B97F4A7C15ull;
}

std::uint32_t identifierScore(bool deviceHardwareId, std::size_t devicePosition, std::uint16_t infPosition)
{
    const auto position = static_cast<std::uint32_t>(std::min<std::size_t>(devicePosition, 0xFFF));
    if (deviceHardwareId)
        return (infPosition == 0 ? 0x0000 : 0x1000) + position;
    if (infPosition == 0)
        return 0x2000 + position;
    return std::min<std::uint32_t>(0x3000 + position + 0x100u * (infPosition - 1u), 0x3FFF);
}

// Whether a file of that name, in any case, is among the entries (sorted without regard to case).
bool hasFile(const std::vector<platform::DirectoryEntry>& entries, std::string_view name)
{
    auto at = std::lower_bound(entries.begin(), entries.end(), name,
                               [](const platform::DirectoryEntry& entry, std::string_view wanted) {
                                   return text::lessAsciiFolded(entry.name, wanted);
                               });
    for (; at != entries.end() && text::equalAsciiFolded(at->name, name); ++at)
        if (at->kind == platform::DirectoryEntry::file)
            return true;
    return false;
}

// A count that indexes a store of 32-bit indexes: past it, as for memory running out.
std::uint32_t index32(std::size_t count)
{
    if (count >= std::numeric_limits<std::uint32_t>::max())
        throw std::bad_alloc();
    return static_cast<std::uint32_t>(count);
}

}

// A folder on the way down: its place, what it is, and its subfolders still to read, the next last.
struct DriverFolders::Level {
    std::uint32_t place;
    platform::OpenDirectory::Identity identity;
    std::vector<std::string> subfolders;
};

DriverFolders::DriverFolders(const WindowsTarget& target) : reader(target), excludeLists{{0, 0}}
{
}

void DriverFolders::read(const std::string& folder)
{
    platform::OpenDirectory top;
    std::vector<platform::DirectoryEntry> entries;
    platform::Listing listing = platform::OpenDirectory::open(folder, top);
    if (listing == platform::Listing::listed)
        listing = top.list(entries);
    switch (listing) {
    case platform::Listing::listed:
        break;
    case platform::Listing::missing:
        fail(__FILE__, __LINE__, "The folder " + folder + " does not exist");
    case platform::Listing::notADirectory:
        fail(__FILE__, __LINE__, folder + " is not a folder");
    case platform::Listing::unreadable:
        fail(__FILE__, __LINE__, "Failed to read the folder " + folder);
    }
    folders.push_back({folder, 0, 0, {}});
    const std::string root = comparablePath(folder);
    const auto topPlace = index32(places.size());
    const bool inStore = root.find("/driverstore/filerepository/") != std::string::npos;
    const bool windowsInf = root.size() >= 13 && root.compare(root.size() - 13, 13, "/windows/inf/") == 0;
    places.push_back({index32(folders.size() - 1), topPlace, "", lastName(root), inStore, inStore || windowsInf});
    walk(std::move(top), topPlace, std::move(entries));
    sortIds();
}

// Depth first, in the order of names, without recursion; one folder open
// at a time, its parent opened again from it (and known by its identity)
// once its subfolders are read: folders may nest as deep as they like.
void DriverFolders::walk(platform::OpenDirectory directory, std::uint32_t topPlace,
                         std::vector<platform::DirectoryEntry> entries)
{
    Folder& folder = folders[places[topPlace].folder];
    std::vector<Level> levels;
    levels.push_back({topPlace, directory.identity(), readDirectory(directory, topPlace, std::move(entries))});
    while (!levels.empty()) {
        Level& level = levels.back();
        if (!level.subfolders.empty()) {
            const std::string name = std::move(level.subfolders.back());
            level.subfolders.pop_back();
            platform::OpenDirectory below;
            if (!directory.openSubdirectory(name, below) || below.list(entries) != platform::Listing::listed) {
                ++folder.foldersSkipped;
                continue;
            }
            directory = std::move(below);
            const std::uint32_t place = addPlace(level.place, name);
            std::vector<std::string> subfolders = readDirectory(directory, place, std::move(entries));
            levels.push_back({place, directory.identity(), std::move(subfolders)});
            continue;
        }
        levels.pop_back();
        platform::OpenDirectory parent;
        if (levels.empty() || directory.openParent(levels.back().identity, parent)) {
            directory = std::move(parent);
            continue;
        }
        // Moved meanwhile: what is left above cannot be reached the way down went.
        for (const Level& left : levels)
            folder.foldersSkipped += left.subfolders.size();
        break;
    }
}

std::uint32_t DriverFolders::addPlace(std::uint32_t parent, const std::string& name)
{
    const Place& above = places[parent];
    std::string lowered = text::asciiLowered(name);
    const bool inStore = above.inDriverStore || (above.lowered == "driverstore" && lowered == "filerepository");
    const bool windowsInf = above.lowered == "windows" && lowered == "inf";
    places.push_back({above.folder, parent, name, std::move(lowered), inStore, inStore || windowsInf});
    return index32(places.size() - 1);
}

std::vector<std::string> DriverFolders::readDirectory(const platform::OpenDirectory& directory, std::uint32_t place,
                                                      std::vector<platform::DirectoryEntry> entries)
{
    Folder& folder = folders[places[place].folder];
    std::sort(entries.begin(), entries.end(), [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) {
        return text::lessAsciiFolded(a.name, b.name) || (!text::lessAsciiFolded(b.name, a.name) && a.name < b.name);
    });
    std::vector<std::string> subfolders;
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.kind == platform::DirectoryEntry::directory)
            subfolders.push_back(entry.name);
        else if (isInfName(entry.name) && entry.kind == platform::DirectoryEntry::file)
            readInf(directory, entries, place, entry.name);
        else if (isInfName(entry.name) && entry.kind == platform::DirectoryEntry::other)
            ++folder.filesSkipped;  // a FIFO or a device: never opened
    }
    std::reverse(subfolders.begin(), subfolders.end());
    return subfolders;
}

std::string DriverFolders::relativePath(std::uint32_t place) const
{
    std::vector<std::uint32_t> chain;
    for (; places[place].parent != place; place = places[place].parent)
        chain.push_back(place);
    std::string path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at)
        path += places[*at].name + "/";
    return path;
}

std::string DriverFolders::pathOf(std::uint32_t place, const std::string& name) const
{
    const std::string& root = folders[places[place].folder].path;
    const bool separated = !root.empty() && (root.back() == '/' || root.back() == '\\');
    return root + (separated ? "" : "/") + relativePath(place) + name;
}

void DriverFolders::readInf(const platform::OpenDirectory& directory,
                            const std::vector<platform::DirectoryEntry>& entries, std::uint32_t place,
                            const std::string& name)
{
    Folder& folder = folders[places[place].folder];
    const Mark before = mark();
    try {
        const platform::OpenedFile opened = directory.openFile(name);
        if (!opened.file || opened.size > maxInfFileSize) {
            ++folder.filesSkipped;
            return;
        }
        const auto size = static_cast<std::size_t>(opened.size);
        if (buffer.size() < size)
            buffer.resize(size);
        const std::size_t length = std::fread(buffer.data(), 1, size, opened.file.get());
        if (length < size && std::ferror(opened.file.get())) {
            ++folder.filesSkipped;
            return;
        }
        const std::string_view bytes(buffer.data(), length);
        const std::uint64_t content = contentKey(bytes);
        if (contents.count(content) != 0)
            return;
        const InfResult result = readIndexed(bytes, entries, place, name);
        if (result == InfResult::read) {
            contents.insert(content);
            return;
        }
        undo(before);
        if (result == InfResult::overBudget)
            folder.overBudget.emplace_back(place, name);
        else
            ++folder.filesSkipped;
    } catch (const std::bad_alloc&) {
        undo(before);  // room for the report
        flException failure(__FILE__, __LINE__, ("Out of memory while reading " + pathOf(place, name)).c_str());
        failure.userFacing = true;
        failure.memoryRanOut = true;
        throw failure;
    }
}

InfResult DriverFolders::readIndexed(std::string_view bytes, const std::vector<platform::DirectoryEntry>& entries,
                                     std::uint32_t place, const std::string& name)
{
    fileTexts.clear();
    fileTextRefs.clear();
    fileExcludeLists.clear();
    return reader.read(
        bytes,
        [&](const InfPackage& header) {
            const bool catalogBeside = !header.catalogFile.empty() && hasFile(entries, header.catalogFile);
            packages.push_back({place, name, std::string(header.provider), std::string(header.infClass),
                                places[place].signsPackages || catalogBeside});
        },
        [&](const InfModel& model) { addModel(model); });
}

DriverFolders::Mark DriverFolders::mark() const
{
    return {packages.size(), models.size(), ids.size(), excludeLists.size(), excludeIds.size(), texts.size()};
}

void DriverFolders::undo(const Mark& to)
{
    packages.resize(to.packages);
    models.resize(to.models);
    ids.resize(to.ids);
    excludeLists.resize(to.excludeLists);
    excludeIds.resize(to.excludeIds);
    texts.resize(to.texts);
}

void DriverFolders::sortIds()
{
    // Sorted once a folder is read rather than kept in a hash map as they
    // come: a node a line costs more than the reading.
    const auto byHash = [](const IdEntry& a, const IdEntry& b) { return a.hash < b.hash; };
    std::sort(ids.begin() + static_cast<std::ptrdiff_t>(sortedIds), ids.end(), byHash);
    std::inplace_merge(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(sortedIds), ids.end(), byHash);
    sortedIds = ids.size();
}

DriverFolders::TextRef DriverFolders::keep(std::string_view text)
{
    const std::uint64_t hash = text::keyedHash(text);
    const auto known = fileTexts.find(hash, [&](std::uint32_t item) {
        return textAt(fileTextRefs[item].offset, fileTextRefs[item].length) == text;
    });
    if (known)
        return fileTextRefs[*known];
    const TextRef kept{texts.size(), static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF))};
    texts.append(text.substr(0, kept.length));
    fileTextRefs.push_back(kept);
    fileTexts.insert(hash, index32(fileTextRefs.size() - 1));
    return kept;
}

std::uint32_t DriverFolders::excludeListOf(const InfModel& model)
{
    if (model.install >= fileExcludeLists.size())
        fileExcludeLists.resize(model.install + 1, noExclusions);
    std::uint32_t& list = fileExcludeLists[model.install];
    if (list == noExclusions && !model.excludeIds.empty()) {
        list = index32(excludeLists.size());
        excludeLists.emplace_back(index32(excludeIds.size()), index32(model.excludeIds.size()));
        for (const std::string& id : model.excludeIds)
            excludeIds.push_back(keep(id));
    }
    return list;
}

void DriverFolders::addModel(const InfModel& model)
{
    const TextRef description = keep(model.description);
    const std::uint32_t index = index32(models.size());
    models.push_back({description.offset, index32(packages.size() - 1), excludeListOf(model), description.length,
                      model.featureScore, model.driver});
    for (std::size_t position = 0; position < model.ids.size(); ++position) {
        const std::string& id = model.ids[position];
        if (id.empty())
            continue;
        const TextRef text = keep(id);
        ids.push_back({text::keyedFoldedHash(id), text.offset, index, text.length,
                       static_cast<std::uint16_t>(std::min<std::size_t>(position, 0xFFFF))});
    }
}

std::string_view DriverFolders::textAt(std::uint64_t offset, std::size_t length) const
{
    return std::string_view(texts).substr(static_cast<std::size_t>(offset), length);
}

bool DriverFolders::excludes(std::uint32_t list, const std::vector<std::string>& hardwareIds,
                             const std::vector<std::string>& compatibleIds) const
{
    const auto [first, count] = excludeLists[list];
    for (std::uint32_t at = first; at < first + count; ++at) {
        const std::string_view excluded = textAt(excludeIds[at].offset, excludeIds[at].length);
        const auto same = [&](const std::string& id) { return text::equalAsciiFolded(id, excluded); };
        if (std::any_of(hardwareIds.begin(), hardwareIds.end(), same) ||
            std::any_of(compatibleIds.begin(), compatibleIds.end(), same))
            return true;
    }
    return false;
}

std::unordered_map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>>
DriverFolders::bestScores(const std::vector<std::string>& hardwareIds, const std::vector<std::string>& compatibleIds) const
{
    std::unordered_map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> best;
    const auto match = [&](const std::vector<std::string>& deviceIds, bool hardware) {
        for (std::size_t position = 0; position < deviceIds.size(); ++position) {
            const std::string& id = deviceIds[position];
            const std::uint64_t hash = text::keyedFoldedHash(id);
            const auto first = std::lower_bound(ids.begin(), ids.end(), hash,
                                                [](const IdEntry& entry, std::uint64_t value) { return entry.hash < value; });
            for (auto same = first; same != ids.end() && same->hash == hash; ++same) {
                if (!text::equalAsciiFolded(textAt(same->textOffset, same->textLength), id))
                    continue;
                const std::uint32_t score = identifierScore(hardware, position, same->position);
                const auto at = static_cast<std::uint32_t>(same - ids.begin());
                auto [found, added] = best.try_emplace(same->model, score, at);
                if (!added && score < found->second.first)
                    found->second = {score, at};
            }
        }
    };
    match(hardwareIds, true);
    match(compatibleIds, false);
    return best;
}

// Of the lines of one INF that name the device with one model's name (a
// line for each of its IDs, or in each platform's section), the best: the
// one driver Windows shows for them.
bool DriverFolders::ranksBefore(const Ranked& a, const Ranked& b)
{
    if (a.rank != b.rank)
        return a.rank < b.rank;
    if (a.date != b.date)
        return a.date > b.date;
    if (a.version != b.version)
        return a.version > b.version;
    return a.model < b.model;
}

std::vector<DriverFolders::Ranked> DriverFolders::bestOfEachModel(std::vector<Ranked> ranked) const
{
    struct ModelOfPackage {
        std::uint32_t package;
        std::string_view name;
        bool operator==(const ModelOfPackage& other) const { return package == other.package && name == other.name; }
    };
    struct Hash {
        std::size_t operator()(const ModelOfPackage& key) const
        {
            return static_cast<std::size_t>(text::keyedHash(key.name) ^ (std::uint64_t{key.package} * 0x9E3779B97F4A7C15u));
        }
    };
    std::unordered_map<ModelOfPackage, std::size_t, Hash> kept;  // its place in `best`
    std::vector<Ranked> best;
    for (Ranked& candidate : ranked) {
        const Model& model = models[candidate.model];
        const auto [found, added] =
            kept.try_emplace({model.package, textAt(model.descriptionOffset, model.descriptionLength)}, best.size());
        if (added)
            best.push_back(candidate);
        else if (ranksBefore(candidate, best[found->second]))
            best[found->second] = candidate;
    }
    return best;
}

DriverFits DriverFolders::fits(const std::vector<std::string>& hardwareIds,
                               const std::vector<std::string>& compatibleIds) const
{
    std::vector<Ranked> ranked;
    std::unordered_map<std::uint32_t, bool> excludedBy;  // each install section's lists looked at once
    for (const auto& [modelIndex, score] : bestScores(hardwareIds, compatibleIds)) {
        const Model& model = models[modelIndex];
        if (model.excludes != noExclusions) {
            const auto [verdict, added] = excludedBy.try_emplace(model.excludes, false);
            if (added)
                verdict->second = excludes(model.excludes, hardwareIds, compatibleIds);
            if (verdict->second)
                continue;
        }
        const bool signedPackage = packages[model.package].signedPackage;
        const std::uint32_t rank = std::uint32_t(signedPackage ? signedScore : unsignedScore) << 24 |
                                   std::uint32_t(model.featureScore) << 16 | score.first;
        ranked.push_back({rank, model.driver.date, model.driver.hasVersion ? model.driver.version : 0, modelIndex,
                          score.second});
    }
    ranked = bestOfEachModel(std::move(ranked));
    const std::size_t listed = std::min(ranked.size(), maxListedFits);
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(listed), ranked.end(), ranksBefore);
    DriverFits result;
    result.more = ranked.size() - listed;
    for (std::size_t at = 0; at < listed; ++at) {
        const Model& model = models[ranked[at].model];
        const Package& package = packages[model.package];
        const IdEntry& matched = ids[ranked[at].entry];
        result.best.push_back({relativePath(package.place) + package.name, folders[places[package.place].folder].path,
                               std::string(textAt(model.descriptionOffset, model.descriptionLength)), package.provider,
                               package.infClass, model.driver.isoDate(), model.driver.versionText(),
                               std::string(textAt(matched.textOffset, matched.textLength)), ranked[at].rank,
                               package.signedPackage});
    }
    return result;
}

std::size_t DriverFolders::filesSkipped() const
{
    std::size_t count = 0;
    for (const Folder& folder : folders)
        count += folder.filesSkipped + folder.overBudget.size();
    return count;
}

std::size_t DriverFolders::foldersSkipped() const
{
    std::size_t count = 0;
    for (const Folder& folder : folders)
        count += folder.foldersSkipped;
    return count;
}

std::string DriverFolders::notice() const
{
    std::vector<std::size_t> infFiles(folders.size());
    for (const Package& package : packages)
        ++infFiles[places[package.place].folder];
    std::vector<std::string> lines;
    for (const Folder& folder : folders) {
        if (infFiles[static_cast<std::size_t>(&folder - folders.data())] == 0)
            lines.push_back("No INF files in " + folder.path + ".");
        if (folder.filesSkipped)
            lines.push_back(skippedNotice(folder.path, folder.filesSkipped));
        if (folder.foldersSkipped)
            lines.push_back(unreadFoldersNotice(folder.path, folder.foldersSkipped));
        for (std::size_t at = 0; at < folder.overBudget.size() && at < namedOverBudget; ++at)
            lines.push_back(overBudgetNotice(pathOf(folder.overBudget[at].first, folder.overBudget[at].second)));
        if (folder.overBudget.size() > namedOverBudget)
            lines.push_back(std::to_string(folder.overBudget.size() - namedOverBudget) + " more files of " +
                            folder.path + " were skipped for the same reason.");
    }
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}
