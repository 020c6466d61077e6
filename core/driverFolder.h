// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVERFOLDER_H
#define CORVANE_DRIVERFOLDER_H

// Folders of Windows drivers (an unpacked download, a driver disc or pack,
// Windows' own DriverStore\FileRepository or INF folder) and which of their
// drivers fit a device, ranked as Windows 10 and 11 rank them.
//
// Every *.inf below a folder is read (the extension in any case); symbolic
// links (on Windows also junctions) are not followed, other files are
// passed over, and nothing is written. A file that cannot be read, is
// larger than maxInfFileSize or is no INF is counted, never fatal. The same
// INF found twice (Windows\INF keeps an oemNN.inf copy of each package of
// the driver store: same size, same bytes) counts once: the first found.
// What is kept is an index of the models lines' IDs with what a fit shows,
// not the files' text.
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
// higher version.
#include "driverFit.h"
#include "infFile.h"
#include "windowsTarget.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>


class DriverFolders {
public:
    explicit DriverFolders(const WindowsTarget& target = {});

    // Reads every INF below `folder`. Raises flException (userFacing),
    // naming the folder, when it does not exist, is no folder or cannot be
    // listed; what is below it never does.
    void read(const std::string& folder);

    // The models lines that fit a device of these IDs (in the order Windows
    // gives them), best first.
    std::vector<DriverFit> fits(const std::vector<std::string>& hardwareIds,
                                const std::vector<std::string>& compatibleIds) const;

    std::size_t infFilesRead() const { return packages.size(); }
    std::size_t filesSkipped() const;
    // What the user is told once of the files skipped, a line per folder:
    // "2 files of DIR were skipped: unreadable or not INF files."; empty
    // when there were none.
    std::string notice() const;

    const WindowsTarget& target() const { return reader.windows(); }

private:
    struct Folder {
        std::string path;
        std::size_t skipped = 0;
    };
    struct Package {
        std::uint32_t folder;
        std::string inf;
        std::string provider;
        std::string infClass;
        bool signedPackage;
    };
    struct Model {
        std::uint32_t package;
        std::uint32_t descriptionOffset, descriptionLength;
        std::uint32_t excludeBegin, excludeCount;  // in `excludes`
        std::uint8_t featureScore;
        DriverVersion driver;
    };
    struct IdEntry {
        std::uint64_t hash;  // text::foldedHash of the ID
        std::uint32_t textOffset;
        std::uint16_t textLength;
        std::uint16_t position;  // 0: the line's hardware ID, k + 1: its compatible ID k
        std::uint32_t model;
    };
    struct Directory;

    void readDirectory(Directory& directory);
    bool nextDirectory(Directory& directory, std::vector<std::string>& pending);
    void sortIds();
    void readInf(Directory& directory, const std::string& name);
    // Whether the same bytes were read as an INF before; `content` gets
    // their contentKey when it had to be computed.
    bool sameAsBefore(std::string_view bytes, std::optional<std::uint64_t>& content);
    void addModel(const InfModel& model);
    std::string_view textAt(std::uint32_t offset, std::size_t length) const;

    InfReader reader;
    std::vector<Folder> folders;
    std::vector<Package> packages;
    std::vector<Model> models;
    std::vector<IdEntry> ids;  // by hash once a folder is read: looked up by halving
    std::vector<std::pair<std::uint32_t, std::uint32_t>> excludes;  // offset and length in `texts`
    std::string texts;  // descriptions and IDs
    std::size_t sortedIds = 0;  // `ids` up to here are in the order of their hashes
    // The INFs read: by size those not hashed yet, and the keys of the others' bytes.
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> unhashedBySize;
    std::unordered_set<std::uint64_t> contents;
    std::vector<char> buffer;  // the file being read
};

#endif
