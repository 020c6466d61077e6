// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVERFOLDER_H
#define CORVANE_DRIVERFOLDER_H

// Folders of Windows drivers (an unpacked download, a driver disc or pack,
// Windows' own DriverStore\FileRepository or INF folder) and which of their
// drivers fit a device, ranked as Windows 10 and 11 rank them.
//
// Every *.inf below a folder is read (the extension in any case), folder
// by folder, each opened relative to the one it is in: folders may nest as
// deep as they like, and symbolic links (on Windows also junctions) are not
// followed, not even one swapped in while the folder is read. Other files
// are passed over, and nothing is written. A file that cannot be read, is
// larger than maxInfFileSize or is no INF is counted, a folder that cannot
// be read too, never fatal; so is a file whose reading would cost more than
// its budget (substitutionBudget: its strings would make more text than 16
// times its own), which is named. The same INF found twice (Windows\INF
// keeps an oemNN.inf copy of each package of the driver store: same size,
// same bytes) counts once: the first found. What is kept is an index of the
// models lines' IDs with what a fit shows, not the files' text; a text a
// file names on many lines (its %strkey%) is kept once, and an install
// section's ExcludeID lists once for all its lines.
//
// A fit's rank is 0xSSGGTHHH, the lowest the best:
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
#include "files.h"
#include "infFile.h"
#include "keyedHash.h"
#include "windowsTarget.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>


constexpr std::size_t maxListedFits = 100;

class DriverFolders {
public:
    explicit DriverFolders(const WindowsTarget& target = {});

    // Reads every INF below `folder`. Raises flException (userFacing),
    // naming the folder, when it does not exist, is no folder or cannot be
    // listed; what is below it never does. Memory running out is the fatal
    // report (flException::memoryRanOut), naming the file being read.
    void read(const std::string& folder);

    // The models lines that fit a device of these IDs (in the order Windows
    // gives them), the best first.
    DriverFits fits(const std::vector<std::string>& hardwareIds, const std::vector<std::string>& compatibleIds) const;

    std::size_t infFilesRead() const { return packages.size(); }
    // Files not read, those over their budget included; folders not read.
    std::size_t filesSkipped() const;
    std::size_t foldersSkipped() const;
    // What the user is told once of what was skipped, a line each: per
    // folder given, "No INF files in DIR." when it held none, "2 files of DIR
    // were skipped: unreadable or not INF files.", "1 folder of DIR could not be read.", and each file over its
    // budget by name (the first ten); empty when nothing was skipped.
    std::string notice() const;

    const WindowsTarget& target() const { return reader.windows(); }

private:
    // A text kept in `texts`; at most a field's length (16,380 bytes).
    struct TextRef {
        std::uint64_t offset;
        std::uint16_t length;
    };
    struct Folder {
        std::string path;
        std::size_t filesSkipped = 0, foldersSkipped = 0;
        std::vector<std::pair<std::uint32_t, std::string>> overBudget;  // place and name of each file
    };
    // A folder read: one given, or one below it.
    struct Place {
        std::uint32_t folder;
        std::uint32_t parent;  // itself for a folder given
        std::string name;      // empty for a folder given
        std::string lowered;   // its name in small letters; of a folder given the last of its path's
        bool inDriverStore;    // in or below a DriverStore/FileRepository
        bool signsPackages;    // in a driver store, or a Windows/INF folder itself
    };
    struct Package {
        std::uint32_t place;
        std::string name;
        std::string provider;
        std::string infClass;
        bool signedPackage;
    };
    // A fit found, before it is said: its rank and what breaks ties.
    struct Ranked {
        std::uint32_t rank, date;
        std::uint64_t version;
        std::uint32_t model, entry;
    };
    // Windows' order: the lower rank, then the newer date, then the higher version.
    static bool ranksBefore(const Ranked& a, const Ranked& b);
    std::vector<Ranked> bestOfEachModel(std::vector<Ranked> ranked) const;
    struct Model {
        std::uint64_t descriptionOffset;
        std::uint32_t package;
        std::uint32_t excludes;  // in `excludeLists`; 0 for none
        std::uint16_t descriptionLength;
        std::uint8_t featureScore;
        DriverVersion driver;
    };
    struct IdEntry {
        std::uint64_t hash;  // text::keyedFoldedHash of the ID
        std::uint64_t textOffset;
        std::uint32_t model;
        std::uint16_t textLength;
        std::uint16_t position;  // 0: the line's hardware ID, k + 1: its compatible ID k
    };
    // How far each store had grown before a file: what its reading is undone to.
    struct Mark {
        std::size_t packages, models, ids, excludeLists, excludeIds, texts;
    };
    struct Level;

    void walk(platform::OpenDirectory top, std::uint32_t topPlace, std::vector<platform::DirectoryEntry> entries);
    // Reads the INFs of a folder, of those entries; its subfolders, the last first.
    std::vector<std::string> readDirectory(const platform::OpenDirectory& directory, std::uint32_t place,
                                           std::vector<platform::DirectoryEntry> entries);
    std::uint32_t addPlace(std::uint32_t parent, const std::string& name);
    std::string relativePath(std::uint32_t place) const;
    std::string pathOf(std::uint32_t place, const std::string& name) const;
    void readInf(const platform::OpenDirectory& directory, const std::vector<platform::DirectoryEntry>& entries,
                 std::uint32_t place, const std::string& name);
    InfResult readIndexed(std::string_view bytes, const std::vector<platform::DirectoryEntry>& entries,
                          std::uint32_t place, const std::string& name);
    Mark mark() const;
    void undo(const Mark& to);
    void sortIds();
    void addModel(const InfModel& model);
    std::uint32_t excludeListOf(const InfModel& model);
    TextRef keep(std::string_view text);
    std::string_view textAt(std::uint64_t offset, std::size_t length) const;
    // Each model that names one of the IDs: its best identifier score, and the entry of `ids` that gave it.
    std::unordered_map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>>
    bestScores(const std::vector<std::string>& hardwareIds, const std::vector<std::string>& compatibleIds) const;
    bool excludes(std::uint32_t list, const std::vector<std::string>& hardwareIds,
                  const std::vector<std::string>& compatibleIds) const;

    InfReader reader;
    std::vector<Folder> folders;
    std::vector<Place> places;
    std::vector<Package> packages;
    std::vector<Model> models;
    std::vector<IdEntry> ids;  // by hash once a folder is read: looked up by halving
    std::vector<std::pair<std::uint32_t, std::uint32_t>> excludeLists;  // first and count in `excludeIds`
    std::vector<TextRef> excludeIds;
    std::string texts;  // descriptions and IDs
    std::size_t sortedIds = 0;  // `ids` up to here are in the order of their hashes
    // Of the file being read: its texts kept (by text::keyedHash), and the
    // list of each of its install sections.
    text::HashSlots fileTexts;
    std::vector<TextRef> fileTextRefs;
    std::vector<std::uint32_t> fileExcludeLists;
    std::unordered_set<std::uint64_t> contents;  // the text::keyedHash of each INF's bytes read
    std::vector<char> buffer;  // the file being read
};

#endif
