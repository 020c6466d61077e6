// SPDX-License-Identifier: GPL-2.0-or-later
// The walk of a folder of drivers and of the archives in it: every INF
// found is read into memory and handed to the threads that index it
// (driverFolderWork.h); nothing here is kept of a file but where it was.
#include "driverFolder.h"

#include "archiveReader.h"
#include "driverFolderWork.h"
#include "flException.h"
#include "text.h"

#include <algorithm>
#include <new>

using driverIndex::index32;

namespace {

bool isInfName(std::string_view name)
{
    return name.size() > 4 && text::equalAsciiFolded(name.substr(name.size() - 4), ".inf");
}

// Longer names are passed over: no Windows path is longer than 32,767
// characters, and none of a driver's nearly as long.
constexpr std::size_t maxEntryPath = 4096;

// An archive's entries kept (INFs, catalogs and archives in it): past
// these it is not read on. Its other entries cost only the time to pass
// them over, within the archive's budget.
constexpr std::size_t maxKeptEntries = 250000;

bool isCatalogName(std::string_view name)
{
    return name.size() > 4 && text::equalAsciiFolded(name.substr(name.size() - 4), ".cat");
}

}

// A folder on the way down: its place, what it is, and its subfolders still to read, the next last.
struct DriverFolders::Level {
    std::uint32_t place;
    platform::OpenDirectory::Identity identity;
    std::vector<std::string> subfolders;
};

// Depth first, in the order of names, without recursion; one folder open
// at a time, its parent opened again from it (and known by its identity)
// once its subfolders are read: folders may nest as deep as they like.
void DriverFolders::walk(platform::OpenDirectory directory, std::uint32_t topPlace,
                         std::vector<platform::DirectoryEntry> entries, driverIndex::InfWork& work)
{
    const std::uint32_t folderIndex = places[topPlace].folder;
    std::vector<Level> levels;
    levels.push_back({topPlace, directory.identity(), readDirectory(directory, topPlace, std::move(entries), work)});
    while (!levels.empty() && !stopped()) {
        Level& level = levels.back();
        if (!level.subfolders.empty()) {
            const std::string name = std::move(level.subfolders.back());
            level.subfolders.pop_back();
            platform::OpenDirectory below;
            if (!directory.openSubdirectory(name, below) || below.list(entries) != platform::Listing::listed) {
                ++folders[folderIndex].foldersSkipped;
                continue;
            }
            directory = std::move(below);
            const std::uint32_t place = addPlace(level.place, name);
            std::vector<std::string> subfolders = readDirectory(directory, place, std::move(entries), work);
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
            folders[folderIndex].foldersSkipped += left.subfolders.size();
        break;
    }
}

std::vector<std::string> DriverFolders::readDirectory(const platform::OpenDirectory& directory, std::uint32_t place,
                                                      std::vector<platform::DirectoryEntry> entries,
                                                      driverIndex::InfWork& work)
{
    std::vector<std::string> subfolders;
    std::vector<std::string> files;
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.kind == platform::DirectoryEntry::directory)
            subfolders.push_back(entry.name);
        else if (entry.kind == platform::DirectoryEntry::file)
            files.push_back(entry.name);
        else if (isInfName(entry.name) && entry.kind == platform::DirectoryEntry::other)
            ++folders[places[place].folder].filesSkipped;  // a FIFO or a device: never opened
    }
    for (const std::string& name : files) {
        if (stopped())
            break;
        if (isInfName(name))
            readInf(directory, place, name, work);
        else if (archives::isArchiveName(name))
            readArchiveFile(directory, place, name, work);
    }
    if (std::any_of(files.begin(), files.end(), [](const std::string& name) { return isInfName(name); }))
        filesAt[place] = std::move(files);
    // In the order of their names, the next last.
    std::sort(subfolders.begin(), subfolders.end(), [](const std::string& a, const std::string& b) {
        return text::lessAsciiFolded(b, a) || (!text::lessAsciiFolded(a, b) && b < a);
    });
    return subfolders;
}

void DriverFolders::readInf(const platform::OpenDirectory& directory, std::uint32_t place, const std::string& name,
                            driverIndex::InfWork& work)
{
    Folder& folder = folders[places[place].folder];
    try {
        const platform::OpenedFile opened = directory.openFile(name);
        if (!opened.file || opened.size > maxInfFileSize) {
            ++folder.filesSkipped;
            return;
        }
        std::string bytes(static_cast<std::size_t>(opened.size), '\0');
        const std::size_t length = std::fread(bytes.data(), 1, bytes.size(), opened.file.get());
        if (length < bytes.size() && std::ferror(opened.file.get())) {
            ++folder.filesSkipped;
            return;
        }
        bytes.resize(length);
        work.add({place, name, std::move(bytes)});
    } catch (const std::bad_alloc&) {
        ranOutOfMemory(place, name);
    }
}

void DriverFolders::readArchiveFile(const platform::OpenDirectory& directory, std::uint32_t place,
                                    const std::string& name, driverIndex::InfWork& work)
{
    Folder& folder = folders[places[place].folder];
    if (!archives::supported()) {
        ++folder.archivesNotOpened;
        return;
    }
    const platform::OpenedFile opened = directory.openFile(name);
    std::string problem;
    const auto reader = opened.file ? archives::openFile(opened.file.get(), opened.size, problem) : nullptr;
    if (!reader) {
        ++folder.archivesUnread;
        return;
    }
    walkArchive(*reader, addPlace(place, name, true), false, work);
}

void DriverFolders::walkArchive(archives::Reader& reader, std::uint32_t archivePlace, bool nested,
                                driverIndex::InfWork& work)
{
    Folder& folder = folders[places[archivePlace].folder];
    ArchivePlaces inside;  // its folders' places, by their parents' and their names
    std::size_t kept = 0;
    bool unread = false;
    while (!stopped()) {
        const std::optional<archives::Entry> entry = reader.next();
        if (!entry) {
            unread = !reader.reason().empty();
            break;
        }
        if (!entry->regularFile || entry->path.empty())
            continue;  // folders, links and devices: only names
        const bool wanted = keptEntry(entry->path, nested);
        if (wanted && (entry->leavesArchive || entry->path.size() > maxEntryPath)) {
            ++folder.filesSkipped;  // a name no file unpacked could have
        } else if (wanted && ++kept > maxKeptEntries) {
            unread = true;
            break;
        } else if (wanted) {
            readArchiveEntry(reader, entry->path, archivePlace, inside, work);
        }
    }
    if (unread && !stopped())
        ++folders[places[archivePlace].folder].archivesUnread;
}

void DriverFolders::readArchiveEntry(archives::Reader& reader, const std::string& path, std::uint32_t archivePlace,
                                     ArchivePlaces& inside, driverIndex::InfWork& work)
{
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const bool inf = isInfName(name), catalog = isCatalogName(name);
    const std::uint32_t place = placeInArchive(archivePlace, slash == std::string::npos ? "" : path.substr(0, slash), inside);
    if (catalog) {
        filesAt[place].push_back(name);
        return;
    }
    Folder& folder = folders[places[place].folder];
    std::string bytes;
    archives::DataResult result = archives::DataResult::failed;
    try {
        result = reader.read(bytes, inf ? maxInfFileSize : maxNestedArchiveSize);
    } catch (const std::bad_alloc&) {
        ranOutOfMemory(place, name);
    }
    if (result == archives::DataResult::tooLarge)
        folder.tooLarge.push_back({place, name, inf ? maxInfFileSize : maxNestedArchiveSize});
    else if (result == archives::DataResult::failed && inf)
        ++folder.filesSkipped;
    else if (result == archives::DataResult::failed)
        ++folder.archivesUnread;
    if (result != archives::DataResult::read)
        return;
    if (inf) {
        work.add({place, name, std::move(bytes)});
        return;
    }
    std::string problem;
    const auto innerReader = archives::openBytes(bytes, problem);
    if (!innerReader) {
        ++folder.archivesUnread;
        return;
    }
    walkArchive(*innerReader, addPlace(place, name, true), true, work);
}

bool DriverFolders::keptEntry(const std::string& path, bool nested)
{
    const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
    return isInfName(name) || isCatalogName(name) || (!nested && archives::isArchiveName(name));
}

// Part by part, each known by its place's parent and its name.
std::uint32_t DriverFolders::placeInArchive(std::uint32_t archivePlace, const std::string& folderPath,
                                            ArchivePlaces& inside)
{
    std::uint32_t place = archivePlace;
    for (std::size_t start = 0; start < folderPath.size();) {
        const std::size_t end = std::min(folderPath.find('/', start), folderPath.size());
        const std::string part = folderPath.substr(start, end - start);
        const auto [known, added] = inside.try_emplace(std::to_string(place) + '/' + part, 0);
        if (added)
            known->second = addPlace(place, part);
        place = known->second;
        start = end + 1;
    }
    return place;
}
