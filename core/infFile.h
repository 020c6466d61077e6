// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_INFFILE_H
#define CORVANE_INFFILE_H

// What a Windows driver INF file offers the devices of one Windows, read as
// Windows reads it (the syntax is infText.h's):
// - [Version]: Signature "$Windows NT$" or "$Chicago$" (any case), else the
//   file is no INF; Provider, Class, DriverVer, and the CatalogFile for the
//   target's architecture (CatalogFile.NTamd64, then .NT, then undecorated);
// - the [Strings] section a US-English Windows uses: [Strings.0409], else the
//   language's neutral form [Strings.0009], else another English one (the
//   lowest number), else [Strings]; only that one;
// - [Manufacturer]: per line, of the models section and its decorations,
//   the one that applies to the target as Windows chooses: the
//   architecture equal (NTamd64, NTx86, NTarm64; "NT" without one, and the
//   undecorated section, only for 32-bit x86, as since Windows Server 2003
//   SP1); a version no higher than the target's, a build number counting
//   only when the version equals the target's; product type and suite mask
//   matched when given; of those the highest version (then build), then the
//   one with product type or suite; none when nothing applies;
// - the models lines `description = install-section, hardware-id[, compatible-id...]`
//   of the chosen sections, and of each line's install section (the one
//   decorated .NT<architecture>, else .NT, else undecorated) its DriverVer,
//   which overrides [Version]'s, its first FeatureScore (hexadecimal, 0xFF
//   when none) and its ExcludeID lists.
// Sections are named without regard to case, and those of the same name
// are one. Every field is substituted (%strkey%).
#include "infText.h"
#include "keyedHash.h"
#include "windowsTarget.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// Real INF files are at most a few megabytes; a larger file is refused
// before it is read.
constexpr std::uint64_t maxInfFileSize = 32 * 1024 * 1024;

// How many bytes of text a file's substitutions may make: 16 times its text
// (decoded) and a megabyte. A real INF makes about as much as it holds, but
// a line of a few bytes naming a string of 4,095 characters makes
// kilobytes, so what a file may cost to read and keep is bounded here.
std::uint64_t substitutionBudget(std::size_t textSize);

// DriverVer=mm/dd/yyyy,w.x.y.z. The month and the day may have one digit or
// two, '-' may stand for '/'; a date that is no day of the calendar reads
// as none, as does a version that is not one to four numbers below 65535
// (or is 0.0.0.0).
struct DriverVersion {
    std::uint32_t date = 0;     // yyyymmdd, 0 for none
    std::uint64_t version = 0;  // w.x.y.z, 16 bits each
    bool hasVersion = false;

    std::string isoDate() const;      // "2026-07-22", or empty
    std::string versionText() const;  // "100.101.26000.27200", or empty
};
DriverVersion parseDriverVersion(std::string_view date, std::string_view version);

// [Version]'s entries, substituted.
struct InfPackage {
    std::string_view provider;
    std::string_view infClass;
    std::string_view catalogFile;  // for the target's architecture; empty for none
    DriverVersion driver;
};

// One models line that applies to the target.
struct InfModel {
    std::string_view description;
    std::string_view installSection;
    // The line's hardware ID first (empty when it gives none), then its
    // compatible IDs, in its order: what ranks a match.
    const std::vector<std::string>& ids;
    std::uint8_t featureScore;  // 0xFF when the install section gives none
    DriverVersion driver;       // the install section's own, else [Version]'s
    // The install section's number in the file, from 0 in the order the
    // lines first name them: the lines of one install section share its
    // ExcludeID lists, so they need be kept once.
    std::size_t install;
    const std::vector<std::string>& excludeIds;
};

// The files a driver package is made of, as its INF names them for the
// target (what pnputil and DISM copy into the driver store): its catalog,
// [Version]'s CatalogFile for the architecture, and every file
// [SourceDisksFiles.<architecture>] and [SourceDisksFiles] name (where both
// name a file, the decorated entry), each on the disk its entry gives, in
// the folder that disk's entry in [SourceDisksNames.<architecture>], else
// [SourceDisksNames], names as its path, and below it in the entry's own
// subdirectory. Paths as written (substituted), relative to the INF's
// folder; whether they stay within it is the caller's to check.
struct InfSourceFile {
    std::string name;
    std::string diskPath;      // empty: the INF's folder
    std::string subdirectory;  // empty: none
    bool diskNamed;            // false: no SourceDisksNames entry names its disk
};
struct InfPackageFiles {
    std::string catalogFile;  // empty: none named
    std::vector<InfSourceFile> files;
};

// overBudget: the file's substitutions went past substitutionBudget; what
// went to `model` before is to be dropped.
enum class InfResult { read, notInf, tooLarge, overBudget };

// Reads INF files one after another; what it keeps between them is only
// room to work in, never a file's text.
class InfReader {
public:
    explicit InfReader(const WindowsTarget& target = {}) : target(target) {}

    // `package` is called once, before the models lines, each of which goes
    // to `model` in the file's order. The views are valid during the call.
    InfResult read(std::string_view bytes, const std::function<void(const InfPackage&)>& package,
                   const std::function<void(const InfModel&)>& model);

    // The files of the package (InfPackageFiles) into `files`.
    InfResult readPackageFiles(std::string_view bytes, InfPackageFiles& files);

    const WindowsTarget& windows() const { return target; }

private:
    // Decodes the file and finds its sections; notInf and tooLarge as read() says.
    InfResult open(std::string_view bytes);
    void readSourceDisks(InfPackageFiles& files);
    struct Install {
        std::string name;
        std::uint8_t featureScore;
        bool hasDriverVersion;
        DriverVersion driver;
        std::vector<std::string> excludeIds;
    };

    // The sections of that name, in the file's order.
    std::vector<std::size_t> sectionsNamed(std::string_view name) const;
    // Calls `each` for every entry of the sections named `name`.
    template <typename Each>
    void forEachEntry(std::string_view name, inf::Entry& entry, Each each);
    // `field` substituted into `into`, whose room is reused; counted against
    // the budget (OverBudget thrown past it).
    void substitute(std::string_view field, std::string& into);
    // The same, made into a string of the caller's.
    std::string substituted(std::string_view field);
    void loadStrings();
    bool readVersion(InfPackage& package);
    std::optional<std::string> modelsSection(const inf::Entry& manufacturer);
    void readManufacturers(const DriverVersion& packageDriver, const std::function<void(const InfModel&)>& model);
    InfResult readAfterVersion(std::string_view bytes, const std::function<void(const InfPackage&)>& rest);
    // The install section's number, read when first named.
    std::size_t install(const std::string& name);
    void readModels(const std::string& section, const DriverVersion& packageDriver,
                    const std::function<void(const InfModel&)>& model);

    WindowsTarget target;
    inf::Scratch scratch;
    std::string_view text;
    std::vector<inf::Section> sections;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> sectionIndex;  // name hash and position, sorted
    inf::Entry entry, installEntry;
    inf::StringTable strings;
    std::string provider, infClass, catalogFile, description, installName;
    std::vector<std::string> ids;
    // Of the file being read: what its install sections say, and the
    // models sections read, each once; what its substitutions may make, and made.
    std::vector<Install> installs;
    std::unordered_multimap<std::uint64_t, std::size_t> installsByHash;  // text::keyedFoldedHash of the name
    std::unordered_set<std::string, text::KeyedHasher> modelsSectionsRead;
    std::uint64_t budget = 0, spent = 0;
};

// One file read whole, kept: for tests and tools.
struct InfFile {
    struct Model {
        std::string description;
        std::string installSection;
        std::vector<std::string> ids;
        unsigned featureScore;
        DriverVersion driver;
        std::size_t install;  // its ExcludeIDs: excludeIds[install]
    };
    std::string provider;
    std::string infClass;
    std::string catalogFile;
    DriverVersion driver;
    std::vector<Model> models;
    std::vector<std::vector<std::string>> excludeIds;  // of each install section
};
// Nothing when the bytes are no INF, too large or over budget.
std::optional<InfFile> readInfFile(std::string_view bytes, const WindowsTarget& target = {});

#endif
