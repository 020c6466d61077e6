// SPDX-License-Identifier: GPL-2.0-or-later
#include "driverCollect.h"

#include "archiveReader.h"
#include "deviceOutline.h"
#include "deviceVerdict.h"
#include "driverFolder.h"
#include "files.h"
#include "flException.h"
#include "infFile.h"
#include "installedDriver.h"
#include "text.h"
#include "visibleText.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>
#include <utility>

namespace {

using Parts = std::vector<std::string>;

// Where packages are written before they are whole (one place for each
// thread that copies them, followed by its number); the collection was
// empty, and the packages' own names never start with a dot.
const std::string stagingName = ".corvane-partial";

[[noreturn]] void failToWrite(const std::string& folder, const std::string& reason)
{
    fail(__FILE__, __LINE__, "Failed to write into " + folder + ": " + reason);
}

// A name Windows takes as a file's own, in every folder: no "." or "..",
// no drive or stream (':'), no characters it refuses, no end it drops.
bool isSafePart(std::string_view part)
{
    if (part.empty() || part == "." || part == ".." || part.back() == '.' || part.back() == ' ')
        return false;
    for (const char c : part)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return false;
    return !text::isDosDeviceName(part);
}

// The parts of a path an INF gives, below the INF's folder; none when a
// part is unsafe or the path names a network share ("\\server\...").
std::optional<Parts> partsOf(std::string_view path, Parts parts = {})
{
    if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/'))
        return std::nullopt;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find_first_of("\\/", start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            if (!isSafePart(part))
                return std::nullopt;
            parts.emplace_back(part);
        }
        start = end + 1;
    }
    return parts;
}

std::string joined(const Parts& parts, char separator = '/')
{
    std::string path;
    for (const std::string& part : parts)
        path += (path.empty() ? "" : std::string(1, separator)) + part;
    return path;
}

std::string loweredPath(const Parts& parts)
{
    return text::asciiLowered(joined(parts));
}

// A file of the package: where its INF puts it, below the INF's folder.
struct PackageFile {
    Parts parts;
    std::string named;  // as the INF names it, for what is said
};

// The files a package is made of (its INF first), or why they cannot be copied.
struct PackageLayout {
    std::vector<PackageFile> files;
    std::vector<std::string> refused;  // names with an unsafe part
};

PackageLayout layoutOf(const std::string& infName, const InfPackageFiles& named)
{
    PackageLayout layout;
    layout.files.push_back({{infName}, infName});
    std::set<std::string> seen = {text::asciiLowered(infName)};
    const auto add = [&](std::string_view disk, std::string_view subdirectory, std::string_view name) {
        auto parts = partsOf(disk);
        if (parts)
            parts = partsOf(subdirectory, std::move(*parts));
        const auto file = parts ? partsOf(name, std::move(*parts)) : std::nullopt;
        std::string said;
        for (const std::string_view piece : {disk, subdirectory, name})
            if (!piece.empty())
                said += (said.empty() || said.back() == '\\' || piece.front() == '\\' ? "" : "\\") + std::string(piece);
        if (!file || file->empty())
            layout.refused.push_back(said);
        else if (seen.insert(loweredPath(*file)).second)
            layout.files.push_back({*file, said});
    };
    if (!named.catalogFile.empty())
        add({}, {}, named.catalogFile);
    for (const InfSourceFile& file : named.files)
        add(file.diskPath, file.subdirectory, file.name);
    return layout;
}

}

namespace {

// A package written aside in the collection and moved into place once
// whole; what it made is removed when it is not.
class StagedPackage {
public:
    StagedPackage(const platform::DirectoryToFill& into, std::string collection, std::string staging)
        : into(into), collection(std::move(collection)), staging(std::move(staging))
    {
        std::string error;
        if (!into.makeDirectory(this->staging, error))
            failToWrite(this->collection, error);
        made.emplace_back(this->staging, true);
    }
    ~StagedPackage()
    {
        for (auto it = made.rbegin(); !moved && it != made.rend(); ++it)
            into.remove(it->first, it->second);
    }
    StagedPackage(const StagedPackage&) = delete;
    StagedPackage& operator=(const StagedPackage&) = delete;

    // Copies `source`, a file open for reading, to `parts` below the
    // package; false when it could not be read whole.
    bool copyFile(const Parts& parts, std::FILE* source, std::uint64_t& bytes)
    {
        platform::NewFile file = create(parts);
        std::string error;
        const auto copied = file.copyFrom(source, bytes, error);
        if (copied == platform::NewFile::Copy::writeFailed)
            failToWrite(collection, error);
        finish(file);
        return copied == platform::NewFile::Copy::copied;
    }

    // Copies an entry of `archive` to `parts` below the package; false when
    // it could not be read whole.
    bool copyEntry(const Parts& parts, archives::Reader& archive, std::uint64_t& bytes)
    {
        platform::NewFile file = create(parts);
        std::string error;
        const auto read = archive.stream([&](std::string_view piece) {
            if (!file.write(piece, error))
                failToWrite(collection, error);
            bytes += piece.size();
            return true;
        });
        finish(file);
        return read == archives::DataResult::read;
    }

    void moveTo(const std::string& name)
    {
        std::string error;
        if (!into.rename(staging, name, error))
            failToWrite(collection, error);
        moved = true;
    }

private:
    platform::NewFile create(const Parts& parts)
    {
        const std::string path = makeDirectories(parts) + '/' + parts.back();
        std::string error;
        platform::NewFile file;
        if (!into.makeFile(path, file, error))
            failToWrite(collection, error);
        made.emplace_back(path, false);
        return file;
    }

    void finish(platform::NewFile& file)
    {
        std::string error;
        if (!file.close(error))
            failToWrite(collection, error);
    }

    // The folders of a file's path, made where they are not yet: one for
    // names that differ in case alone (two on Linux, one on Windows), as it
    // was first spelt. Its path as made.
    std::string makeDirectories(const Parts& parts)
    {
        std::string path = staging, lowered;
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            lowered += '/' + text::asciiLowered(parts[i]);
            const auto [spelt, isNew] = directories.emplace(lowered, path + '/' + parts[i]);
            path = spelt->second;
            std::string error;
            if (isNew && !into.makeDirectory(path, error))
                failToWrite(collection, error);
            if (isNew)
                made.emplace_back(path, true);
        }
        return path;
    }

    const platform::DirectoryToFill& into;
    std::string collection;
    std::string staging;  // its folder while it is written
    std::vector<std::pair<std::string, bool>> made;  // paths, and whether each is a directory
    std::map<std::string, std::string> directories;  // lowered, as made
    bool moved = false;
};

// An INF's bytes, within maxInfFileSize.
std::optional<std::string> wholeFile(const platform::OpenedFile& opened)
{
    if (opened.size > maxInfFileSize)
        return std::nullopt;
    std::string bytes(opened.size, '\0');
    if (std::fread(bytes.data(), 1, bytes.size(), opened.file.get()) != bytes.size())
        return std::nullopt;
    return bytes;
}

// `name` of the kind asked for in `directory` as written, or else without
// regard to case (as Windows finds it), opened by `open`: its name there.
template <typename Open>
std::optional<std::string> openIn(const platform::OpenDirectory& directory, const std::string& name,
                                  platform::DirectoryEntry::Kind kind, Open open)
{
    if (open(name))
        return name;
    std::vector<platform::DirectoryEntry> entries;
    if (directory.list(entries) != platform::Listing::listed)
        return std::nullopt;
    for (const platform::DirectoryEntry& entry : entries)
        if (entry.kind == kind && entry.name != name && text::equalAsciiFolded(entry.name, name) && open(entry.name))
            return entry.name;
    return std::nullopt;
}

// A file `parts` below `folder`, open, and its parts as they are named there.
struct FoundFile {
    platform::OpenedFile opened;
    Parts parts;
};

std::optional<FoundFile> findFile(const platform::OpenDirectory& folder, const Parts& parts)
{
    FoundFile found;
    platform::OpenDirectory held;
    const platform::OpenDirectory* at = &folder;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        platform::OpenDirectory below;
        const auto name = openIn(*at, parts[i], platform::DirectoryEntry::directory,
                                 [&](const std::string& candidate) { return at->openSubdirectory(candidate, below); });
        if (!name)
            return std::nullopt;
        found.parts.push_back(*name);
        held = std::move(below);
        at = &held;
    }
    const auto name = openIn(*at, parts.back(), platform::DirectoryEntry::file, [&](const std::string& candidate) {
        found.opened = at->openFile(candidate);
        return found.opened.file != nullptr;
    });
    if (!name)
        return std::nullopt;
    found.parts.push_back(*name);
    return found;
}

Parts split(std::string_view path)
{
    Parts parts;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}

namespace {

// What one package's copy came to: the files found missing, or why it
// could not be read.
struct CopyResult {
    std::vector<std::string> missing;
    std::string problem;
};

// A package in a folder: its INF's folder, held open.
struct FolderPackage {
    platform::OpenDirectory infFolder;
    std::string infName;
};

std::optional<FolderPackage> openFolderPackage(const DriverFit& fit, std::string& problem)
{
    FolderPackage package;
    Parts parts = split(fit.inf);
    if (parts.empty() || platform::OpenDirectory::open(fit.folder, package.infFolder) != platform::Listing::listed) {
        problem = "its folder can no longer be read";
        return std::nullopt;
    }
    package.infName = parts.back();
    parts.pop_back();
    for (const std::string& part : parts) {
        platform::OpenDirectory below;
        if (!package.infFolder.openSubdirectory(part, below)) {
            problem = "its folder can no longer be read";
            return std::nullopt;
        }
        package.infFolder = std::move(below);
    }
    return package;
}

// Copies every file below `folder` not copied yet (a driver store package's
// own files), links and devices passed over.
void copyRest(const platform::OpenDirectory& folder, Parts& at, std::set<std::string>& copied, StagedPackage& stage,
              CollectedPackage& result, CopyResult& copy)
{
    std::vector<platform::DirectoryEntry> entries;
    if (at.size() > 32 || folder.list(entries) != platform::Listing::listed) {
        copy.problem = "its folder can no longer be read";
        return;
    }
    for (const platform::DirectoryEntry& entry : entries) {
        at.push_back(entry.name);
        platform::OpenDirectory below;
        if (entry.kind == platform::DirectoryEntry::directory && folder.openSubdirectory(entry.name, below))
            copyRest(below, at, copied, stage, result, copy);
        else if (entry.kind == platform::DirectoryEntry::file && copied.insert(loweredPath(at)).second) {
            platform::OpenedFile opened = folder.openFile(entry.name);
            if (!opened.file || !stage.copyFile(at, opened.file.get(), result.bytes))
                copy.problem = "its file " + joined(at, '\\') + " cannot be read";
            ++result.files;
        }
        at.pop_back();
    }
}

CopyResult copyFromFolder(const FolderPackage& package, const PackageLayout& layout, bool wholeFolder,
                          StagedPackage& stage, CollectedPackage& result)
{
    CopyResult copy;
    std::set<std::string> copied;
    for (const PackageFile& file : layout.files) {
        auto found = findFile(package.infFolder, file.parts);
        if (!found) {
            copy.missing.push_back(file.named);
            continue;
        }
        if (!copy.missing.empty() || !copied.insert(loweredPath(found->parts)).second)
            continue;  // not to be copied, or found already under another spelling
        if (!stage.copyFile(found->parts, found->opened.file.get(), result.bytes))
            copy.problem = "its file " + file.named + " cannot be read";
        ++result.files;
    }
    Parts at;
    if (wholeFolder && copy.missing.empty() && copy.problem.empty())
        copyRest(package.infFolder, at, copied, stage, result, copy);
    return copy;
}

}

namespace {

// A package in an archive (or an archive in one): the archive, opened
// afresh for each reading of it.
class ArchivePackage {
public:
    bool open(const DriverFit& fit, std::string& problem)
    {
        std::string prefix;
        for (const std::string& archive : fit.archives)
            if (!archive.empty())
                prefix += archive + '/';
        if (fit.inf.compare(0, prefix.size(), prefix) != 0 || !openOuter(fit, problem))
            return false;
        infPath = fit.inf.substr(prefix.size());
        if (fit.archives.size() < 2)
            return true;
        auto outerReader = reader(problem);
        while (auto entry = outerReader ? outerReader->next() : std::nullopt)
            if (entry->path == fit.archives[1])
                return readNested(*outerReader, problem);
        problem = "its archive can no longer be read";
        return false;
    }

    // A reader of the archive that holds the INF, from its first entry.
    std::unique_ptr<archives::Reader> reader(std::string& problem)
    {
        if (nested)
            return archives::openBytes(inner, problem);
        if (std::fseek(outer.file.get(), 0, SEEK_SET) != 0)
            return nullptr;
        return archives::openFile(outer.file.get(), outer.size, problem);
    }

    std::string infPath;  // in the archive that holds it

private:
    bool openOuter(const DriverFit& fit, std::string& problem)
    {
        const Parts parts = split(fit.archives.empty() ? std::string() : fit.archives[0]);
        platform::OpenDirectory folder;
        if (parts.empty()) {
            outer = platform::openRegularFile(fit.folder.c_str());
        } else if (platform::OpenDirectory::open(fit.folder, folder) == platform::Listing::listed) {
            if (auto found = findFile(folder, parts))
                outer = std::move(found->opened);
        }
        if (!outer.file)
            problem = "its archive can no longer be read";
        return outer.file != nullptr;
    }

    bool readNested(archives::Reader& outerReader, std::string& problem)
    {
        nested = outerReader.read(inner, maxNestedArchiveSize) == archives::DataResult::read;
        if (!nested)
            problem = "its archive can no longer be read";
        return nested;
    }

    platform::OpenedFile outer;
    std::string inner;
    bool nested = false;
};

std::optional<std::string> infOfArchive(ArchivePackage& package, std::string& problem)
{
    auto reader = package.reader(problem);
    while (auto entry = reader ? reader->next() : std::nullopt) {
        std::string bytes;
        if (entry->path == package.infPath)
            return reader->read(bytes, maxInfFileSize) == archives::DataResult::read ? std::optional(bytes) : std::nullopt;
    }
    return std::nullopt;
}

CopyResult copyFromArchive(ArchivePackage& package, const PackageLayout& layout, StagedPackage& stage,
                           CollectedPackage& result)
{
    CopyResult copy;
    const std::size_t slash = package.infPath.rfind('/');
    const std::string infFolder = slash == std::string::npos ? std::string() : package.infPath.substr(0, slash + 1);
    std::unordered_map<std::string, std::size_t> wanted;  // lowered path in the archive, the file
    for (std::size_t i = 0; i < layout.files.size(); ++i)
        wanted.emplace(text::asciiLowered(infFolder + joined(layout.files[i].parts)), i);
    std::vector<bool> found(layout.files.size());
    auto reader = package.reader(copy.problem);
    while (auto entry = reader ? reader->next() : std::nullopt) {
        const auto file = wanted.find(text::asciiLowered(entry->path));
        if (!entry->regularFile || entry->leavesArchive || file == wanted.end() || found[file->second])
            continue;
        found[file->second] = true;
        if (!stage.copyEntry(split(entry->path.substr(infFolder.size())), *reader, result.bytes))
            copy.problem = "its file " + layout.files[file->second].named + " cannot be read from the archive";
        ++result.files;
    }
    if (reader && !reader->reason().empty())
        copy.problem = "its archive cannot be read: " + reader->reason();
    for (std::size_t i = 0; i < found.size(); ++i)
        if (!found[i])
            copy.missing.push_back(layout.files[i].named);
    return copy;
}

}

namespace {

// A package of Windows' driver store: DriverStore/FileRepository/<package>/<INF>.
bool isDriverStorePackage(const DriverFit& fit)
{
    if (!fit.archives.empty())
        return false;
    std::string path = text::asciiLowered(fit.folder + '/' + fit.inf);
    std::replace(path.begin(), path.end(), '\\', '/');
    const std::string repository = "driverstore/filerepository/";
    const std::size_t at = path.rfind(repository);
    return at != std::string::npos && std::count(path.begin() + at + repository.size(), path.end(), '/') == 1;
}

// The package's folder in the collection: its driver store folder's name,
// else its INF's without ".inf", made safe and told apart from the others.
std::string folderName(const DriverFit& fit, const std::set<std::string>& taken)
{
    Parts parts = split(fit.inf);
    std::string name = parts.empty() ? std::string() : parts.back();
    if (isDriverStorePackage(fit) && parts.size() >= 2)
        name = parts[parts.size() - 2];
    else if (name.size() > 4 && text::equalAsciiFolded(name.substr(name.size() - 4), ".inf"))
        name.resize(name.size() - 4);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*\\/").find(c) != std::string_view::npos)
            c = '_';
    if (!isSafePart(name) || name.front() == '.' || text::equalAsciiFolded(name, "README.txt"))
        name = "package";
    std::string unique = name;
    for (int n = 2; taken.count(text::asciiLowered(unique)); ++n)
        unique = name + "-" + std::to_string(n);
    return unique;
}

std::string deviceReason(const DeviceRecord& device)
{
    return hasBetterDriver(device) ? updateLineText(device) : attentionLineText(device);
}

CopyResult copyPackage(const DriverFit& fit, InfReader& reader, StagedPackage& stage, CollectedPackage& result)
{
    CopyResult copy;
    std::optional<FolderPackage> folder;
    ArchivePackage archive;
    std::optional<std::string> inf;
    if (fit.archives.empty()) {
        folder = openFolderPackage(fit, copy.problem);
        auto found = folder ? findFile(folder->infFolder, {folder->infName}) : std::nullopt;
        inf = found ? wholeFile(found->opened) : std::nullopt;
    } else if (archive.open(fit, copy.problem)) {
        inf = infOfArchive(archive, copy.problem);
    }
    InfPackageFiles named;
    if (!inf || reader.readPackageFiles(*inf, named) != InfResult::read) {
        if (copy.problem.empty())
            copy.problem = "its INF can no longer be read";
        return copy;
    }
    const PackageLayout layout = layoutOf(split(fit.inf).back(), named);
    if (!layout.refused.empty()) {
        copy.problem = "its INF names files outside its folder: " + text::visibleText(layout.refused.front());
        return copy;
    }
    return folder ? copyFromFolder(*folder, layout, isDriverStorePackage(fit), stage, result)
                  : copyFromArchive(archive, layout, stage, result);
}

std::string problemOf(const CopyResult& copy)
{
    if (!copy.problem.empty())
        return copy.problem;
    std::string said = copy.missing.size() == 1 ? "a file its INF names is missing: "
                                                : std::to_string(copy.missing.size()) + " files its INF names are missing: ";
    for (std::size_t i = 0; i < copy.missing.size() && i < 10; ++i)
        said += (i ? ", " : "") + text::visibleText(copy.missing[i]);
    return said + (copy.missing.size() > 10 ? ", ..." : "");
}

// The package copied under `staging`, then moved to `folder`.
CollectedPackage collectOne(const PackageToCollect& package, const platform::DirectoryToFill& into,
                            const std::string& collection, InfReader& reader, const std::string& folder,
                            const std::string& staging)
{
    CollectedPackage result;
    result.fit = package.fit;
    for (const DeviceRecord* device : package.devices)
        result.devices.push_back(deviceReason(*device));
    StagedPackage stage(into, collection, staging);
    const CopyResult copy = copyPackage(package.fit, reader, stage, result);
    if (!copy.missing.empty() || !copy.problem.empty()) {
        result.problem = problemOf(copy);
        result.files = result.bytes = 0;
        return result;
    }
    result.folder = folder;
    stage.moveTo(folder);
    return result;
}

// Copies the packages on `threads` threads, each taking the next one to
// copy, into `results` in their order; the first failure ends them all and
// goes on from here.
void copyPackages(const std::vector<PackageToCollect>& packages, const std::vector<std::string>& folders,
                  const platform::DirectoryToFill& into, const CollectionFor& what, const WindowsTarget& target,
                  std::vector<CollectedPackage>& results)
{
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto work = [&](std::size_t thread) {
        try {
            InfReader reader(target);
            const std::string staging = stagingName + "-" + std::to_string(thread);
            for (std::size_t i = next++; i < packages.size() && !failed; i = next++)
                results[i] = collectOne(packages[i], into, what.folder, reader, folders[i], staging);
        } catch (...) {
            const std::lock_guard<std::mutex> hold(failureLock);
            if (!failure)
                failure = std::current_exception();
            failed = true;
        }
    };
    const std::size_t threads = std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), 4,
                                                       packages.size()});
    std::vector<std::thread> others;
    for (std::size_t thread = 1; thread < threads; ++thread)
        others.emplace_back(work, thread);
    work(0);
    for (std::thread& other : others)
        other.join();
    if (failure)
        std::rethrow_exception(failure);
}

}

namespace {

// The collection's own name, as the commands name it on the drive it is taken to.
std::string collectionName(std::string_view folder)
{
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.remove_suffix(1);
    const std::size_t slash = folder.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? folder : folder.substr(slash + 1);
    return isSafePart(name) ? std::string(name) : "drivers";
}

std::string readmeText(const Collection& collection, const CollectionFor& what)
{
    const std::string at = "X:\\" + collectionName(what.folder);
    std::string text = "Drivers for " + what.machine + ", for " + what.windows + ", copied by Corvane: each\n"
                       "package in a folder of its own.\n\n"
                       "To install them on that Windows, in a command prompt run as administrator:\n"
                       "    pnputil /add-driver " + at + "\\*.inf /subdirs /install\n"
                       "To add them to a Windows that does not start (its drive C: here), from\n"
                       "Windows PE or another Windows:\n"
                       "    dism /Image:C:\\ /Add-Driver /Driver:" + at + " /Recurse\n" +
                       at + " stands for where this folder is.\n";
    const auto packageLines = [&text](const CollectedPackage& package, const std::string& heading) {
        text += "\n" + heading + "\n    " + fitLine(package.fit, false) + "\n";
        text += "    from " + package.fit.folder + "\n";
        for (const std::string& device : package.devices)
            text += "    for " + device + "\n";
    };
    for (const CollectedPackage& package : collection.packages)
        if (package.problem.empty())
            packageLines(package, package.folder + "\\" + split(package.fit.inf).back());
    if (!collection.everyPackageCopied())
        text += "\nNot copied:\n";
    for (const CollectedPackage& package : collection.packages)
        if (!package.problem.empty())
            packageLines(package, split(package.fit.inf).back() + ": " + package.problem);
    if (collection.packages.empty())
        text += "\nNo device needs a driver from the folders looked in.\n";
    return text;
}

// Written aside, then moved into place, with Windows' line ends.
void writeReadme(const platform::DirectoryToFill& into, const std::string& text, const std::string& collection)
{
    std::string windowsText;
    for (const char c : text)
        windowsText += c == '\n' ? "\r\n" : std::string(1, c);
    std::string error;
    platform::NewFile file;
    const std::string aside = stagingName + ".txt";
    if (!into.makeFile(aside, file, error) || !file.write(windowsText, error) || !file.close(error) ||
        !into.rename(aside, "README.txt", error)) {
        into.remove(aside, false);
        failToWrite(collection, error);
    }
}


std::string summaryOf(const Collection& collection, const std::string& folder)
{
    std::size_t copied = 0, devices = 0, notCopied = 0;
    for (const CollectedPackage& package : collection.packages) {
        (package.problem.empty() ? copied : notCopied) += 1;
        devices += package.problem.empty() ? package.devices.size() : 0;
    }
    if (collection.packages.empty())
        return "No device needs a driver from the folders: nothing copied into " + folder;
    std::string summary = std::to_string(copied) + (copied == 1 ? " driver package" : " driver packages") + " for " +
                          std::to_string(devices) + (devices == 1 ? " device" : " devices") + " copied into " + folder;
    if (notCopied)
        summary += "; " + std::to_string(notCopied) + " not copied (README.txt says why)";
    return summary;
}

}

bool Collection::everyPackageCopied() const
{
    return std::all_of(packages.begin(), packages.end(), [](const auto& package) { return package.problem.empty(); });
}

std::vector<PackageToCollect> packagesToCollect(const std::vector<std::unique_ptr<DeviceRecord>>& devices)
{
    std::vector<PackageToCollect> packages;
    for (const auto& device : devices) {
        if (!device->fits || device->fits->empty())
            continue;
        const auto reasons = device->attentionReasons();
        const bool noDriver = std::find(reasons.begin(), reasons.end(), AttentionReason::noDriver) != reasons.end();
        const auto compared = compareWithInstalled(*device);
        if (!noDriver && !(compared && compared->betterFit))
            continue;
        const DriverFit& fit = (*device->fits)[noDriver || !compared ? 0 : *compared->betterFit];
        const auto same = std::find_if(packages.begin(), packages.end(), [&fit](const PackageToCollect& package) {
            return package.fit.folder == fit.folder && package.fit.inf == fit.inf;
        });
        if (same != packages.end())
            same->devices.push_back(device.get());
        else
            packages.push_back({fit, {device.get()}});
    }
    return packages;
}

Collection collectDrivers(const std::vector<PackageToCollect>& packages, const platform::DirectoryToFill& into,
                          const CollectionFor& what, const WindowsTarget& target)
{
    // Each package's folder named first, in the packages' order: the same
    // names however the threads go.
    std::set<std::string> taken = {"readme.txt"};
    std::vector<std::string> folders;
    for (const PackageToCollect& package : packages) {
        folders.push_back(folderName(package.fit, taken));
        taken.insert(text::asciiLowered(folders.back()));
    }
    Collection collection;
    collection.packages.resize(packages.size());
    copyPackages(packages, folders, into, what, target, collection.packages);
    writeReadme(into, text::visibleLines(readmeText(collection, what)), what.folder);
    return collection;
}

std::string collectionReport(const Collection& collection, const std::string& folder, std::size_t mostPackages)
{
    std::string lines;
    for (std::size_t i = 0; i < collection.packages.size() && i < mostPackages; ++i) {
        const CollectedPackage& package = collection.packages[i];
        lines += (package.problem.empty() ? "Copied " + package.folder + ": " + fitLine(package.fit, false)
                                          : "Not copied: " + package.fit.inf + ": " + package.problem) +
                 "\n";
    }
    if (collection.packages.size() > mostPackages)
        lines += "... and " + std::to_string(collection.packages.size() - mostPackages) + " more: README.txt names them\n";
    return text::visibleLines(lines + summaryOf(collection, folder));
}
