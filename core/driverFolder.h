// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVERFOLDER_H
#define CORVANE_DRIVERFOLDER_H

// Folders of Windows drivers (an unpacked download, a driver disc or pack,
// Windows' own DriverStore\FileRepository or INF folder), archives of them
// (archiveReader.h: a .cab, .zip, .7z or .tar, read in place), and which of
// their drivers fit a device, ranked as Windows 10 and 11 rank them.
//
// Every *.inf below a folder is read (the extension in any case), folder
// by folder, each opened relative to the one it is in: folders may nest as
// deep as they like, and symbolic links (on Windows also junctions) are not
// followed, not even one swapped in while the folder is read. An archive
// among its files is read as a folder of its own, and so is an archive in
// an archive, one level deep (as driver packs nest them); of an archive
// only the INF entries are inflated, each within maxInfFileSize, an archive
// in it within maxNestedArchiveSize, and nothing is unpacked anywhere.
// Other files are passed over, and nothing is written. A file or entry
// that cannot be read, is larger than maxInfFileSize or is no INF is
// counted, a folder that cannot be read too, an archive that cannot be
// read to its end (damaged, truncated, inflating past its budget) too,
// never fatal; so is a file whose reading would cost more than its budget
// (substitutionBudget: its strings would make more text than 16 times its
// own), and an entry inflating past its limit, both named. The same INF
// found twice (Windows\INF keeps an oemNN.inf copy of each package of the
// driver store: same size, same bytes) counts once: the first in the
// folder's order. What is kept is an index of the models lines' IDs with
// what a fit shows, not the files' text; a text a file names on many lines
// (its %strkey%) is kept once, and an install section's ExcludeID lists
// once for all its lines.
//
// The INF files are read on as many threads as there are processors,
// while the folder is walked; the index is the same byte for byte whatever
// their number: it takes the files in the folder's order, each folder's
// files by name (in small letters, then as written) before its subfolders
// and archives, each of those in that order too, an archive's entries as
// if it were that folder unpacked.
//
// Three parts do it: the walk of the folders (driverFolderWalk.cpp, with
// the threads that read the files, driverFolderWork.h), the index of the
// models their files hold (driverFolderIndex.h) and the ranking of those
// that fit a device (driverFolderRanking.h). A fit's rank is 0xSSGGTHHH,
// the lowest the best:
// - THHH, how the IDs matched: the device's hardware ID i against the
//   line's hardware ID 0x0000 + i, against a compatible ID of the line
//   0x1000 + i; the device's compatible ID j against the line's hardware ID
//   0x2000 + j, against its compatible ID k 0x3000 + j + 0x100 * k (at most
//   0x3FFF); IDs compared without regard to case;
// - GG, the install section's FeatureScore, 0xFF when it gives none;
// - SS, the signature: 0x00 (signed) for a driver in a driver store (a path
//   with DriverStore/FileRepository, or an INF directly in a Windows/INF
//   folder, in any case) or whose CatalogFile is beside it; 0xFF (the
//   score of a package not signed or whose signature is unknown) for the
//   others. The catalog is not verified: its presence is taken for a
//   signature.
// A line whose install section's ExcludeID names one of the device's IDs
// does not fit. Equal ranks: the newer DriverVer date first, then the
// higher version. A device is given its best maxListedFits fits, and how
// many more there are.
#include "driverFit.h"
#include "driverFolderIndex.h"
#include "files.h"
#include "windowsTarget.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace archives {
class Reader;
}
namespace driverIndex {
class InfWork;
struct IndexedInf;
}
namespace driverRanking {
struct RankedModel;
}

constexpr std::size_t maxListedFits = 100;
// An archive inside another is read from memory: larger ones are skipped, and named.
constexpr std::uint64_t maxNestedArchiveSize = 256ull << 20;

class DriverFolders {
public:
    explicit DriverFolders(const WindowsTarget& target = {});

    // How the folders are read: on how many threads (0: one per processor),
    // what is said of the progress, and what stops it.
    struct Reading {
        unsigned threads = 0;
        // On the thread that calls read(), as INF files are found and read:
        // how many are read of those found so far.
        std::function<void(std::size_t read, std::size_t found)> progress;
        // Looked at between files and entries: once true, read() ends soon,
        // keeping nothing of that folder.
        const std::atomic<bool>* stop = nullptr;
    };
    void setReading(Reading how) { reading = std::move(how); }

    // Reads every INF below `folder`, or in it when it is an archive.
    // Raises flException (userFacing), naming it, when it does not exist, is
    // neither a folder nor an archive read here (or an archive, where the
    // build reads none), or cannot be listed or opened; what is below it
    // never does. Memory running out is the fatal report
    // (flException::memoryRanOut), naming the file being read. False when
    // stopped (Reading::stop).
    bool read(const std::string& folder);

    // The models lines that fit a device of these IDs (in the order Windows
    // gives them), the best first.
    DriverFits fits(const std::vector<std::string>& hardwareIds, const std::vector<std::string>& compatibleIds) const;

    std::size_t infFilesRead() const { return index.packages.size(); }
    // Files and entries not read, those over their budget or limit
    // included; folders not read; archives not read to their end, or not
    // opened where the build reads none.
    std::size_t filesSkipped() const;
    std::size_t foldersSkipped() const;
    std::size_t archivesSkipped() const;
    // What the user is told once of what was skipped, a line each: per
    // folder given, "No INF files in DIR." when it held none, "2 files of DIR
    // were skipped: unreadable or not INF files.", "1 folder of DIR could not be read.",
    // "1 archive of DIR could not be read to its end: ...", and each file over
    // its budget or entry past its limit by name (the first ten of each);
    // empty when nothing was skipped.
    std::string notice() const;

    const WindowsTarget& target() const { return windows; }

private:
    struct Named {
        std::uint32_t place;
        std::string name;
        std::uint64_t limit;  // of an entry inflating past it; 0 for a file over its budget
    };
    struct Folder {
        std::string path;
        std::size_t filesSkipped = 0, foldersSkipped = 0, archivesUnread = 0, archivesNotOpened = 0;
        std::vector<Named> overBudget;  // files whose reading would cost more than their budget
        std::vector<Named> tooLarge;    // entries inflating past their limit
    };
    // A folder read: one given, or one below it; an archive, or a folder in one.
    struct Place {
        std::uint32_t folder;
        std::uint32_t parent;  // itself for a folder given
        std::string name;      // empty for a folder given
        std::string lowered;   // its name in small letters; of a folder given the last of its path's
        bool inDriverStore;    // in or below a DriverStore/FileRepository
        bool signsPackages;    // in a driver store, or a Windows/INF folder itself
        bool archive;          // an archive: the fits in it name it
    };
    struct Level;
    using ArchivePlaces = std::unordered_map<std::string, std::uint32_t>;

    // The walk (driverFolderWalk.cpp): every INF found goes to `work`.
    void walk(platform::OpenDirectory top, std::uint32_t topPlace, std::vector<platform::DirectoryEntry> entries,
              driverIndex::InfWork& work);
    // Reads the INFs and archives of a folder, of those entries; its subfolders, the last first.
    std::vector<std::string> readDirectory(const platform::OpenDirectory& directory, std::uint32_t place,
                                           std::vector<platform::DirectoryEntry> entries, driverIndex::InfWork& work);
    void readInf(const platform::OpenDirectory& directory, std::uint32_t place, const std::string& name,
                 driverIndex::InfWork& work);
    void readArchiveFile(const platform::OpenDirectory& directory, std::uint32_t place, const std::string& name,
                         driverIndex::InfWork& work);
    // An archive's entries, read into `archivePlace`; one in it too, when `nested` is false.
    void walkArchive(archives::Reader& reader, std::uint32_t archivePlace, bool nested, driverIndex::InfWork& work);
    // An entry kept (keptEntry): an INF or catalog noted, an archive in it walked.
    void readArchiveEntry(archives::Reader& reader, const std::string& path, std::uint32_t archivePlace,
                          ArchivePlaces& inside, driverIndex::InfWork& work);
    // Whether an archive's entry of that path is read: an INF, a catalog, an archive in one not nested.
    static bool keptEntry(const std::string& path, bool nested);
    std::uint32_t placeInArchive(std::uint32_t archivePlace, const std::string& folderPath, ArchivePlaces& folders);
    bool stopped() const { return reading.stop && reading.stop->load(std::memory_order_relaxed); }
    [[noreturn]] void ranOutOfMemory(std::uint32_t place, const std::string& name);

    std::uint32_t addPlace(std::uint32_t parent, const std::string& name, bool archive = false);
    std::string relativePath(std::uint32_t place) const;
    std::string pathOf(std::uint32_t place, const std::string& name) const;
    std::vector<std::string> archivesOf(std::uint32_t place) const;
    // The files read, in the folder's order, into the index.
    void merge(std::vector<driverIndex::IndexedInf> files);
    bool walksBefore(const driverIndex::IndexedInf& a, const driverIndex::IndexedInf& b) const;
    bool catalogBeside(std::uint32_t place, const std::string& catalog) const;
    // A model ranked, and where its INF is.
    DriverFit fitOf(const driverRanking::RankedModel& ranked) const;

    WindowsTarget windows;
    Reading reading;
    std::vector<Folder> folders;
    std::vector<Place> places;
    driverIndex::IndexStore index;  // its ids sorted by hash once a folder is read
    std::unordered_set<std::uint64_t> contents;  // the content key of each INF's bytes read
    // While a folder is read: of each place that holds INFs, the names of
    // its files (in an archive only its catalogs, *.cat), sorted without
    // regard to case, for the catalogs beside them.
    std::unordered_map<std::uint32_t, std::vector<std::string>> filesAt;
};

#endif
