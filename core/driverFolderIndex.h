// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVERFOLDERINDEX_H
#define CORVANE_DRIVERFOLDERINDEX_H

// What a folder of drivers keeps of its INF files (driverFolder.h): an
// index of the models lines' IDs with what a fit shows. Each file is
// indexed on its own, on any thread, into a FileIndex whose places count
// from 0; the folder then appends them in its order (IndexStore::append),
// so that the index is the same whichever thread read which file.
#include "infFile.h"
#include "keyedHash.h"
#include "windowsTarget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace driverIndex {

// A text kept in a store's `texts`; at most a field's length (16,380 bytes).
struct TextRef {
    std::uint64_t offset;
    std::uint16_t length;
};
struct Package {
    std::uint32_t place;
    std::string name;
    std::string provider;
    std::string infClass;
    bool signedPackage;
};
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

constexpr std::uint32_t noExclusions = 0;

// INF files indexed: the stores a fit is made from.
struct IndexStore {
    std::vector<Package> packages;
    std::vector<Model> models;
    std::vector<IdEntry> ids;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> excludeLists{{0, 0}};  // first and count in `excludeIds`
    std::vector<TextRef> excludeIds;
    std::string texts;  // descriptions and IDs
    std::size_t sortedIds = 0;  // `ids` up to here are in the order of their hashes

    std::string_view textAt(std::uint64_t offset, std::size_t length) const
    {
        return std::string_view(texts).substr(static_cast<std::size_t>(offset), length);
    }
    // Appends another store's files after its own.
    void append(const IndexStore& file);
    // Puts the IDs appended since last time in the order of their hashes,
    // among the others, where a fit looks them up by halving. Sorted once a
    // folder is read rather than kept in a hash map as they come: a node a
    // line costs more than the reading.
    void sortIds();
    // Room for these files' stores as well, so that appending them grows nothing twice.
    template <typename Files>
    void reserveFor(const Files& files)
    {
        std::size_t more[6] = {};
        for (const auto& file : files)
            if (const IndexStore* store = file.index.store.get()) {
                const std::size_t sizes[6] = {store->packages.size(), store->models.size(), store->ids.size(),
                                              store->excludeLists.size(), store->excludeIds.size(),
                                              store->texts.size()};
                for (int at = 0; at < 6; ++at)
                    more[at] += sizes[at];
            }
        packages.reserve(packages.size() + more[0]);
        models.reserve(models.size() + more[1]);
        ids.reserve(ids.size() + more[2]);
        excludeLists.reserve(excludeLists.size() + more[3]);
        excludeIds.reserve(excludeIds.size() + more[4]);
        texts.reserve(texts.size() + more[5]);
    }
};

// One INF file indexed, with what its folder needs to place it.
struct FileIndex {
    InfResult result = InfResult::notInf;
    bool memoryRanOut = false;
    std::uint64_t content = 0;  // what tells its bytes from other files' (a keyed hash)
    std::string catalogFile;    // its [Version]'s, for the target
    // Of this file alone: one package; none unless read (a folder may hold
    // very many files that are not).
    std::unique_ptr<IndexStore> store;
};

// Indexes INF files one after another, keeping room to work in between them.
class FileIndexer {
public:
    explicit FileIndexer(const WindowsTarget& target) : reader(target) {}
    // `place` and `name` go to the package as they are.
    FileIndex index(std::string_view bytes, std::uint32_t place, const std::string& name);

private:
    TextRef keep(IndexStore& store, std::string_view text);
    std::uint32_t excludeListOf(IndexStore& store, const InfModel& model);
    void addModel(IndexStore& store, const InfModel& model);

    InfReader reader;
    // Of the file being read: its texts kept (by text::keyedHash), and the
    // list of each of its install sections.
    text::HashSlots fileTexts;
    std::vector<TextRef> fileTextRefs;
    std::vector<std::uint32_t> fileExcludeLists;
};

// A count that indexes a store of 32-bit indexes: past it, as for memory running out.
std::uint32_t index32(std::size_t count);

}

#endif
