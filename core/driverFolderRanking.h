// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVERFOLDERRANKING_H
#define CORVANE_DRIVERFOLDERRANKING_H

// The ranking of a folder's drivers (driverFolder.h): of the models lines an
// index holds, those that fit a device of these IDs, ranked as Windows ranks
// them, the best first. It reads the index alone; where each fit's INF lies
// is the folder's to say.
#include "driverFolderIndex.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace driverRanking {

// A model that fits: its rank (0xSSGGTHHH), what breaks ties, and where it
// stands in the index.
struct RankedModel {
    std::uint32_t rank, date;
    std::uint64_t version;
    std::uint32_t model;  // in the index's `models`
    std::uint32_t entry;  // in its `ids`: the ID that matched
};

struct Ranking {
    std::vector<RankedModel> best;  // the best first, at most as many as asked for
    std::size_t more = 0;           // how many more fit
};

// `index.ids` must be in the order of their hashes (IndexStore::sortIds).
Ranking rankModels(const driverIndex::IndexStore& index, const std::vector<std::string>& hardwareIds,
                   const std::vector<std::string>& compatibleIds, std::size_t listed);

// How the IDs matched (the rank's THHH): the device's hardware or compatible
// ID at `devicePosition` against the line's ID at `infPosition` (0 its
// hardware ID, k + 1 its compatible ID k).
std::uint32_t identifierScore(bool deviceHardwareId, std::size_t devicePosition, std::uint16_t infPosition);

}

#endif
