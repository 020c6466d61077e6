// SPDX-License-Identifier: GPL-2.0-or-later
// The folders given, their places and the index their files make, and the
// fits found in it: the walk of folders and archives is in
// driverFolderWalk.cpp, the ranking of the index's models in
// driverFolderRanking.cpp.
#include "driverFolder.h"

#include "archiveReader.h"
#include "driverFolderRanking.h"
#include "driverFolderWork.h"
#include "flException.h"
#include "text.h"

#include <algorithm>
#include <filesystem>
#include <new>

using driverIndex::IdEntry;
using driverIndex::index32;
using driverIndex::IndexedInf;
using driverIndex::Model;
using driverIndex::Package;

namespace {

// Files over their budget named in the notice, per folder given; the others counted.
constexpr std::size_t namedOverBudget = 10;

[[noreturn]] void fail(const char* file, int line, const std::string& message)
{
    flException failure(file, line, message.c_str());
    failure.userFacing = true;
    throw failure;
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

std::string counted(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + (count == 1 ? one : many);
}

std::string skippedNotice(const std::string& folder, std::size_t count)
{
    return counted(count, " file of ", " files of ") + folder +
           (count == 1 ? " was skipped: unreadable or not an INF file." : " were skipped: unreadable or not INF files.");
}

std::string sizeText(std::uint64_t bytes)
{
    return std::to_string(bytes >> 20) + " MiB";
}

// The order of a folder's names: in small letters, then as written.
bool nameBefore(const std::string& a, const std::string& b)
{
    return text::lessAsciiFolded(a, b) || (!text::lessAsciiFolded(b, a) && a < b);
}

}

DriverFolders::DriverFolders(const WindowsTarget& target) : windows(target)
{
}

bool DriverFolders::read(const std::string& folder)
{
    platform::OpenDirectory top;
    std::vector<platform::DirectoryEntry> entries;
    platform::Listing listing = platform::OpenDirectory::open(folder, top);
    if (listing == platform::Listing::listed)
        listing = top.list(entries);
    platform::OpenedFile file;
    std::unique_ptr<archives::Reader> archiveReader;
    if (listing == platform::Listing::notADirectory) {
        file = platform::openRegularFile(folder.c_str());
        if (!file.file)
            fail(__FILE__, __LINE__, folder + " is not a folder");
        if (!archives::supported() && archives::isArchiveName(folder))
            fail(__FILE__, __LINE__, folder + " is an archive, and this build reads folders of drivers only: "
                                              "unpack it and give its folder");
        std::string problem;
        archiveReader = archives::openFile(file.file.get(), file.size, problem);
        if (!archiveReader && archives::isArchiveName(folder))
            fail(__FILE__, __LINE__, folder + " could not be read as an archive: " + problem);
        if (!archiveReader)
            fail(__FILE__, __LINE__, folder + " is neither a folder nor an archive (.cab, .zip, .7z, .tar)");
    }
    if (listing == platform::Listing::missing)
        fail(__FILE__, __LINE__, "The folder " + folder + " does not exist");
    if (listing == platform::Listing::unreadable)
        fail(__FILE__, __LINE__, "Failed to read the folder " + folder);

    const std::size_t placesBefore = places.size();
    folders.push_back({folder, 0, 0, 0, 0, {}, {}});
    const std::string root = comparablePath(folder);
    const auto topPlace = index32(places.size());
    const bool inStore = root.find("/driverstore/filerepository/") != std::string::npos;
    const bool windowsInf = root.size() >= 13 && root.compare(root.size() - 13, 13, "/windows/inf/") == 0;
    places.push_back({index32(folders.size() - 1), topPlace, "", lastName(root), inStore, inStore || windowsInf,
                      archiveReader != nullptr});
    std::vector<IndexedInf> found;
    {
        driverIndex::InfWork work(reading.threads ? reading.threads : driverIndex::defaultThreads(), windows,
                                  reading.progress, reading.stop);
        if (archiveReader)
            walkArchive(*archiveReader, topPlace, false, work);
        else
            walk(std::move(top), topPlace, std::move(entries), work);
        found = work.finish();
    }
    if (stopped()) {
        places.resize(placesBefore);
        folders.pop_back();
        filesAt.clear();
        return false;
    }
    merge(std::move(found));
    return true;
}

void DriverFolders::ranOutOfMemory(std::uint32_t place, const std::string& name)
{
    flException failure(__FILE__, __LINE__, ("Out of memory while reading " + pathOf(place, name)).c_str());
    failure.userFacing = true;
    failure.memoryRanOut = true;
    throw failure;
}

std::uint32_t DriverFolders::addPlace(std::uint32_t parent, const std::string& name, bool archive)
{
    const Place& above = places[parent];
    std::string lowered = text::asciiLowered(name);
    const bool inStore = above.inDriverStore || (above.lowered == "driverstore" && lowered == "filerepository");
    const bool windowsInf = above.lowered == "windows" && lowered == "inf";
    places.push_back({above.folder, parent, name, std::move(lowered), inStore, inStore || windowsInf, archive});
    return index32(places.size() - 1);
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

std::vector<std::string> DriverFolders::archivesOf(std::uint32_t place) const
{
    std::vector<std::uint32_t> chain;
    for (;; place = places[place].parent) {
        chain.push_back(place);
        if (places[place].parent == place)
            break;
    }
    std::vector<std::string> archives;
    std::string path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        path += places[*at].name;
        if (places[*at].archive) {
            archives.push_back(std::move(path));
            path.clear();
        } else if (!path.empty()) {
            path += '/';
        }
    }
    return archives;
}

// The order of the walk of the files unpacked: each folder's files by name
// before its subfolders (archives among them) by name.
bool DriverFolders::walksBefore(const IndexedInf& a, const IndexedInf& b) const
{
    const auto chain = [this](std::uint32_t place) {
        std::vector<const std::string*> names;
        for (; places[place].parent != place; place = places[place].parent)
            names.push_back(&places[place].name);
        std::reverse(names.begin(), names.end());
        return names;
    };
    std::vector<const std::string*> left = chain(a.place), right = chain(b.place);
    left.push_back(&a.name);
    right.push_back(&b.name);
    for (std::size_t at = 0;; ++at) {
        const bool leftFile = at + 1 == left.size(), rightFile = at + 1 == right.size();
        if (leftFile != rightFile)
            return leftFile;
        if (*left[at] != *right[at])
            return nameBefore(*left[at], *right[at]);
        if (leftFile)
            return false;  // the same path twice (an archive may hold it so): the order found
    }
}

bool DriverFolders::catalogBeside(std::uint32_t place, const std::string& catalog) const
{
    const auto files = filesAt.find(place);
    if (catalog.empty() || files == filesAt.end())
        return false;
    const auto at = std::lower_bound(files->second.begin(), files->second.end(), catalog,
                                     [](const std::string& name, const std::string& wanted) {
                                         return text::lessAsciiFolded(name, wanted);
                                     });
    return at != files->second.end() && text::equalAsciiFolded(*at, catalog);
}

void DriverFolders::merge(std::vector<IndexedInf> files)
{
    for (auto& [place, names] : filesAt)
        std::sort(names.begin(), names.end(), nameBefore);
    std::stable_sort(files.begin(), files.end(),
                     [this](const IndexedInf& a, const IndexedInf& b) { return walksBefore(a, b); });
    index.reserveFor(files);
    for (IndexedInf& file : files) {
        Folder& folder = folders[places[file.place].folder];
        if (file.index.memoryRanOut)
            ranOutOfMemory(file.place, file.name);
        if (file.index.result == InfResult::overBudget) {
            folder.overBudget.push_back({file.place, file.name, 0});
        } else if (file.index.result != InfResult::read) {
            ++folder.filesSkipped;
        } else if (contents.insert(file.index.content).second) {
            Package& package = file.index.store->packages.front();
            package.signedPackage = places[file.place].signsPackages || catalogBeside(file.place, file.index.catalogFile);
            index.append(*file.index.store);
        }
        file.index.store.reset();  // its memory now, not at the end
    }
    filesAt.clear();
    index.sortIds();
}

DriverFits DriverFolders::fits(const std::vector<std::string>& hardwareIds,
                               const std::vector<std::string>& compatibleIds) const
{
    const driverRanking::Ranking ranking = driverRanking::rankModels(index, hardwareIds, compatibleIds, maxListedFits);
    DriverFits result;
    result.more = ranking.more;
    result.best.reserve(ranking.best.size());
    for (const driverRanking::RankedModel& ranked : ranking.best)
        result.best.push_back(fitOf(ranked));
    return result;
}

DriverFit DriverFolders::fitOf(const driverRanking::RankedModel& ranked) const
{
    const Model& model = index.models[ranked.model];
    const Package& package = index.packages[model.package];
    const IdEntry& matched = index.ids[ranked.entry];
    return {relativePath(package.place) + package.name, folders[places[package.place].folder].path,
            std::string(index.textAt(model.descriptionOffset, model.descriptionLength)), package.provider,
            package.infClass, model.driver.isoDate(), model.driver.versionText(),
            std::string(index.textAt(matched.textOffset, matched.textLength)), ranked.rank, package.signedPackage,
            archivesOf(package.place)};
}

std::size_t DriverFolders::filesSkipped() const
{
    std::size_t count = 0;
    for (const Folder& folder : folders)
        count += folder.filesSkipped + folder.overBudget.size() + folder.tooLarge.size();
    return count;
}

std::size_t DriverFolders::foldersSkipped() const
{
    std::size_t count = 0;
    for (const Folder& folder : folders)
        count += folder.foldersSkipped;
    return count;
}

std::size_t DriverFolders::archivesSkipped() const
{
    std::size_t count = 0;
    for (const Folder& folder : folders)
        count += folder.archivesUnread + folder.archivesNotOpened;
    return count;
}

std::string DriverFolders::notice() const
{
    std::vector<std::size_t> infFiles(folders.size());
    for (const Package& package : index.packages)
        ++infFiles[places[package.place].folder];
    std::vector<std::string> lines;
    const auto named = [&](const Folder& folder, const std::vector<Named>& files, const char* sameReason) {
        for (std::size_t at = 0; at < files.size() && at < namedOverBudget; ++at)
            lines.push_back(pathOf(files[at].place, files[at].name) +
                            (files[at].limit ? " was skipped: it inflates past " + sizeText(files[at].limit) + "."
                                             : " was skipped: reading it would take more memory than an INF file of "
                                               "its size may."));
        if (files.size() > namedOverBudget)
            lines.push_back(std::to_string(files.size() - namedOverBudget) + sameReason + folder.path +
                            " were skipped for the same reason.");
    };
    for (const Folder& folder : folders) {
        if (infFiles[static_cast<std::size_t>(&folder - folders.data())] == 0)
            lines.push_back("No INF files in " + folder.path + ".");
        if (folder.filesSkipped)
            lines.push_back(skippedNotice(folder.path, folder.filesSkipped));
        if (folder.foldersSkipped)
            lines.push_back(counted(folder.foldersSkipped, " folder of ", " folders of ") + folder.path +
                            " could not be read.");
        if (folder.archivesUnread)
            lines.push_back(counted(folder.archivesUnread, " archive of ", " archives of ") + folder.path +
                            (folder.archivesUnread == 1 ? " was" : " were") +
                            " not read to the end: damaged, truncated, or inflating past a hundred times its size.");
        if (folder.archivesNotOpened)
            lines.push_back(counted(folder.archivesNotOpened, " archive in ", " archives in ") + folder.path +
                            (folder.archivesNotOpened == 1 ? " was" : " were") +
                            " not opened: this build reads folders of drivers only; unpack them to look in them.");
        named(folder, folder.overBudget, " more files of ");
        named(folder, folder.tooLarge, " more entries of ");
    }
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}
