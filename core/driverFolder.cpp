// SPDX-License-Identifier: GPL-2.0-or-later
#include "driverFolder.h"

#include "files.h"
#include "flException.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace {

constexpr std::uint8_t signedScore = 0x00;
constexpr std::uint8_t unsignedScore = 0xFF;

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

// Windows' driver store, and the INF folder where Windows keeps a copy of
// each of its packages' INFs: their packages are signed, or Windows would
// not have taken them.
bool isDriverStore(const std::string& comparableDirectory)
{
    const std::string_view path = comparableDirectory;
    return path.find("/driverstore/filerepository/") != std::string_view::npos ||
           (path.size() >= 13 && path.substr(path.size() - 13) == "/windows/inf/");
}

std::string skippedNotice(const std::string& folder, std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " file of " : " files of ") + folder +
           (count == 1 ? " was skipped: unreadable or not an INF file." : " were skipped: unreadable or not INF files.");
}

// What tells two files' bytes apart: their hash, with their size mixed in.
std::uint64_t contentKey(std::string_view bytes)
{
    return std::hash<std::string_view>()(bytes) ^ bytes.size() * 0x9E3779B97F4A7C15ull;
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

}

// A folder below a given one, being read.
struct DriverFolders::Directory {
    std::uint32_t folder;
    std::string relative;  // below the folder given, '/'-separated, with a '/' at its end; empty for the folder itself
    std::vector<platform::DirectoryEntry> entries;  // in the order of their names without regard to case
    bool driverStore;

    std::string path(const std::vector<Folder>& folders, const std::string& name) const
    {
        const std::string& root = folders[folder].path;
        const bool separated = !root.empty() && (root.back() == '/' || root.back() == '\\');
        return root + (separated ? "" : "/") + relative + name;
    }

    // Whether a file of that name, in any case, is here.
    bool hasFile(std::string_view name) const
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
};

DriverFolders::DriverFolders(const WindowsTarget& target) : reader(target)
{
}

void DriverFolders::read(const std::string& folder)
{
    Directory top{static_cast<std::uint32_t>(folders.size()), "", {}, false};
    switch (platform::listDirectory(folder, top.entries)) {
    case platform::Listing::listed:
        break;
    case platform::Listing::missing:
        fail(__FILE__, __LINE__, "The folder " + folder + " does not exist");
    case platform::Listing::notADirectory:
        fail(__FILE__, __LINE__, folder + " is not a folder");
    case platform::Listing::unreadable:
        fail(__FILE__, __LINE__, "Failed to read the folder " + folder);
    }
    folders.push_back({folder, 0});
    const std::string root = comparablePath(folder);
    top.driverStore = isDriverStore(root);
    // Depth first, in the order of names, without recursion: folders may
    // nest as deep as paths allow.
    std::vector<std::string> pending;  // below the folder, the next last
    Directory directory = std::move(top);
    for (;;) {
        readDirectory(directory);
        for (auto entry = directory.entries.rbegin(); entry != directory.entries.rend(); ++entry)
            if (entry->kind == platform::DirectoryEntry::directory)
                pending.push_back(directory.relative + entry->name + "/");
        if (!nextDirectory(directory, pending))
            break;
        directory.driverStore = isDriverStore(root + text::asciiLowered(directory.relative));
    }
    sortIds();
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

bool DriverFolders::nextDirectory(Directory& directory, std::vector<std::string>& pending)
{
    while (!pending.empty()) {
        directory = Directory{directory.folder, std::move(pending.back()), {}, false};
        pending.pop_back();
        if (platform::listDirectory(directory.path(folders, ""), directory.entries) == platform::Listing::listed)
            return true;
        ++folders[directory.folder].skipped;
    }
    return false;
}

void DriverFolders::readDirectory(Directory& directory)
{
    std::sort(directory.entries.begin(), directory.entries.end(),
              [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) {
                  return text::lessAsciiFolded(a.name, b.name) ||
                         (!text::lessAsciiFolded(b.name, a.name) && a.name < b.name);
              });
    for (const platform::DirectoryEntry& entry : directory.entries) {
        if (!isInfName(entry.name))
            continue;
        if (entry.kind == platform::DirectoryEntry::file)
            readInf(directory, entry.name);
        else if (entry.kind == platform::DirectoryEntry::other)
            ++folders[directory.folder].skipped;  // a FIFO or a device: never opened
    }
}

void DriverFolders::readInf(Directory& directory, const std::string& name)
{
    Folder& folder = folders[directory.folder];
    const std::string path = directory.path(folders, name);
    const platform::OpenedFile opened = platform::openRegularFile(path.c_str());
    if (!opened.file || opened.size > maxInfFileSize) {
        ++folder.skipped;
        return;
    }
    const auto size = static_cast<std::size_t>(opened.size);
    if (buffer.size() < size)
        buffer.resize(size);
    const std::size_t length = std::fread(buffer.data(), 1, size, opened.file.get());
    if (length < size && std::ferror(opened.file.get())) {
        ++folder.skipped;
        return;
    }
    const std::string_view bytes(buffer.data(), length);
    std::optional<std::uint64_t> content;
    if (sameAsBefore(bytes, content))
        return;
    const std::uint32_t package = static_cast<std::uint32_t>(packages.size());
    const auto result = reader.read(
        bytes,
        [&](const InfPackage& header) {
            const bool catalogBeside = !header.catalogFile.empty() && directory.hasFile(header.catalogFile);
            packages.push_back({directory.folder, directory.relative + name, std::string(header.provider),
                                std::string(header.infClass), directory.driverStore || catalogBeside});
        },
        [&](const InfModel& model) { addModel(model); });
    if (result != InfResult::read) {
        ++folder.skipped;
        return;
    }
    if (content)
        contents.insert(*content);
    else
        unhashedBySize[length].push_back(package);
}

bool DriverFolders::sameAsBefore(std::string_view bytes, std::optional<std::uint64_t>& content)
{
    // Sizes first: only a second INF of a size has the INFs of that size hashed,
    // those read before read once more.
    const auto sameSize = unhashedBySize.find(bytes.size());
    if (sameSize == unhashedBySize.end())
        return false;
    std::vector<char> earlier(bytes.size());
    for (const std::uint32_t package : sameSize->second) {
        const Package& other = packages[package];
        const std::string path = Directory{other.folder, "", {}, false}.path(folders, other.inf);
        const platform::OpenedFile opened = platform::openRegularFile(path.c_str());
        if (opened.file && std::fread(earlier.data(), 1, earlier.size(), opened.file.get()) == earlier.size())
            contents.insert(contentKey(std::string_view(earlier.data(), earlier.size())));
    }
    sameSize->second.clear();
    content = contentKey(bytes);
    return contents.count(*content) != 0;
}

void DriverFolders::addModel(const InfModel& model)
{
    Model kept{static_cast<std::uint32_t>(packages.size() - 1), 0, 0, static_cast<std::uint32_t>(excludes.size()), 0,
               model.featureScore, model.driver};
    const bool sameDescription = !models.empty() && models.back().package == kept.package &&
                                 textAt(models.back().descriptionOffset, models.back().descriptionLength) ==
                                     model.description;
    if (sameDescription) {
        kept.descriptionOffset = models.back().descriptionOffset;
    } else {
        kept.descriptionOffset = static_cast<std::uint32_t>(texts.size());
        texts += model.description;
    }
    kept.descriptionLength = static_cast<std::uint32_t>(model.description.size());
    for (const std::string& id : model.excludeIds) {
        excludes.emplace_back(static_cast<std::uint32_t>(texts.size()), static_cast<std::uint32_t>(id.size()));
        texts += id;
    }
    kept.excludeCount = static_cast<std::uint32_t>(excludes.size()) - kept.excludeBegin;
    const auto index = static_cast<std::uint32_t>(models.size());
    models.push_back(kept);
    for (std::size_t position = 0; position < model.ids.size(); ++position) {
        const std::string& id = model.ids[position];
        if (id.empty())
            continue;
        ids.push_back({text::foldedHash(id), static_cast<std::uint32_t>(texts.size()),
                       static_cast<std::uint16_t>(id.size()),
                       static_cast<std::uint16_t>(std::min<std::size_t>(position, 0xFFFF)), index});
        texts += id;
    }
}

std::string_view DriverFolders::textAt(std::uint32_t offset, std::size_t length) const
{
    return std::string_view(texts).substr(offset, length);
}

std::vector<DriverFit> DriverFolders::fits(const std::vector<std::string>& hardwareIds,
                                           const std::vector<std::string>& compatibleIds) const
{
    // Each model's best identifier score, and the entry that gave it.
    std::unordered_map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> best;
    const auto match = [&](const std::vector<std::string>& deviceIds, bool hardware) {
        for (std::size_t position = 0; position < deviceIds.size(); ++position) {
            const std::string& id = deviceIds[position];
            const std::uint64_t hash = text::foldedHash(id);
            const auto first = std::lower_bound(ids.begin(), ids.end(), hash,
                                                [](const IdEntry& entry, std::uint64_t value) { return entry.hash < value; });
            for (auto same = first; same != ids.end() && same->hash == hash; ++same) {
                const IdEntry& entry = *same;
                const auto at = static_cast<std::uint32_t>(same - ids.begin());
                if (!text::equalAsciiFolded(textAt(entry.textOffset, entry.textLength), id))
                    continue;
                const std::uint32_t score = identifierScore(hardware, position, entry.position);
                auto [found, added] = best.try_emplace(entry.model, score, at);
                if (!added && score < found->second.first)
                    found->second = {score, at};
            }
        }
    };
    match(hardwareIds, true);
    match(compatibleIds, false);

    const auto namesDevice = [&](std::string_view excluded) {
        const auto same = [&](const std::string& id) { return text::equalAsciiFolded(id, excluded); };
        return std::any_of(hardwareIds.begin(), hardwareIds.end(), same) ||
               std::any_of(compatibleIds.begin(), compatibleIds.end(), same);
    };
    struct Ranked {
        DriverFit fit;
        std::uint32_t date;
        std::uint64_t version;
        std::uint32_t model;
    };
    std::vector<Ranked> ranked;
    for (const auto& [modelIndex, score] : best) {
        const Model& model = models[modelIndex];
        bool excluded = false;
        for (std::uint32_t at = model.excludeBegin; at < model.excludeBegin + model.excludeCount && !excluded; ++at)
            excluded = namesDevice(textAt(excludes[at].first, excludes[at].second));
        if (excluded)
            continue;
        const Package& package = packages[model.package];
        const IdEntry& matched = ids[score.second];
        const std::uint32_t rank = std::uint32_t(package.signedPackage ? signedScore : unsignedScore) << 24 |
                                   std::uint32_t(model.featureScore) << 16 | score.first;
        ranked.push_back({{package.inf, folders[package.folder].path,
                           std::string(textAt(model.descriptionOffset, model.descriptionLength)), package.provider,
                           package.infClass, model.driver.isoDate(), model.driver.versionText(),
                           std::string(textAt(matched.textOffset, matched.textLength)), rank, package.signedPackage},
                          model.driver.date, model.driver.hasVersion ? model.driver.version : 0, modelIndex});
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.fit.rank != b.fit.rank)
            return a.fit.rank < b.fit.rank;
        if (a.date != b.date)
            return a.date > b.date;
        if (a.version != b.version)
            return a.version > b.version;
        return a.model < b.model;
    });
    std::vector<DriverFit> result;
    result.reserve(ranked.size());
    for (Ranked& each : ranked)
        result.push_back(std::move(each.fit));
    return result;
}

std::size_t DriverFolders::filesSkipped() const
{
    std::size_t count = 0;
    for (const Folder& folder : folders)
        count += folder.skipped;
    return count;
}

std::string DriverFolders::notice() const
{
    std::string text;
    for (const Folder& folder : folders)
        if (folder.skipped)
            text += (text.empty() ? "" : "\n") + skippedNotice(folder.path, folder.skipped);
    return text;
}
