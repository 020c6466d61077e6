// SPDX-License-Identifier: GPL-2.0-or-later
#include "driverFolderRanking.h"

#include "text.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

using driverIndex::IdEntry;
using driverIndex::IndexStore;
using driverIndex::Model;

namespace driverRanking {

namespace {

constexpr std::uint8_t signedScore = 0x00;
constexpr std::uint8_t unsignedScore = 0xFF;

using DeviceIds = std::vector<std::string>;

// An identifier score, and the entry of the index's `ids` that gave it.
struct Match {
    std::uint32_t score, entry;
};

// Each model that names one of the IDs, with its best match.
std::unordered_map<std::uint32_t, Match> bestMatches(const IndexStore& index, const DeviceIds& hardwareIds,
                                                     const DeviceIds& compatibleIds)
{
    std::unordered_map<std::uint32_t, Match> best;
    const std::vector<IdEntry>& ids = index.ids;
    const auto match = [&](const DeviceIds& deviceIds, bool hardware) {
        for (std::size_t position = 0; position < deviceIds.size(); ++position) {
            const std::string& id = deviceIds[position];
            const std::uint64_t hash = text::keyedFoldedHash(id);
            const auto first = std::lower_bound(ids.begin(), ids.end(), hash,
                                                [](const IdEntry& entry, std::uint64_t value) { return entry.hash < value; });
            for (auto same = first; same != ids.end() && same->hash == hash; ++same) {
                if (!text::equalAsciiFolded(index.textAt(same->textOffset, same->textLength), id))
                    continue;
                const Match found{identifierScore(hardware, position, same->position),
                                  static_cast<std::uint32_t>(same - ids.begin())};
                auto [kept, added] = best.try_emplace(same->model, found);
                if (!added && found.score < kept->second.score)
                    kept->second = found;
            }
        }
    };
    match(hardwareIds, true);
    match(compatibleIds, false);
    return best;
}

bool excludes(const IndexStore& index, std::uint32_t list, const DeviceIds& hardwareIds, const DeviceIds& compatibleIds)
{
    const auto [first, count] = index.excludeLists[list];
    for (std::uint32_t at = first; at < first + count; ++at) {
        const std::string_view excluded = index.textAt(index.excludeIds[at].offset, index.excludeIds[at].length);
        const auto same = [&](const std::string& id) { return text::equalAsciiFolded(id, excluded); };
        if (std::any_of(hardwareIds.begin(), hardwareIds.end(), same) ||
            std::any_of(compatibleIds.begin(), compatibleIds.end(), same))
            return true;
    }
    return false;
}

// Every model that names the device and whose install section does not
// exclude it, ranked.
std::vector<RankedModel> fitting(const IndexStore& index, const DeviceIds& hardwareIds, const DeviceIds& compatibleIds)
{
    std::vector<RankedModel> ranked;
    std::unordered_map<std::uint32_t, bool> excludedBy;  // each install section's lists looked at once
    for (const auto& [modelIndex, match] : bestMatches(index, hardwareIds, compatibleIds)) {
        const Model& model = index.models[modelIndex];
        if (model.excludes != driverIndex::noExclusions) {
            const auto [verdict, added] = excludedBy.try_emplace(model.excludes, false);
            if (added)
                verdict->second = excludes(index, model.excludes, hardwareIds, compatibleIds);
            if (verdict->second)
                continue;
        }
        const bool signedPackage = index.packages[model.package].signedPackage;
        const std::uint32_t rank = std::uint32_t(signedPackage ? signedScore : unsignedScore) << 24 |
                                   std::uint32_t(model.featureScore) << 16 | match.score;
        ranked.push_back({rank, model.driver.date, model.driver.hasVersion ? model.driver.version : 0, modelIndex,
                          match.entry});
    }
    return ranked;
}

// Windows' order: the lower rank, then the newer date, then the higher version.
bool ranksBefore(const RankedModel& a, const RankedModel& b)
{
    if (a.rank != b.rank)
        return a.rank < b.rank;
    if (a.date != b.date)
        return a.date > b.date;
    if (a.version != b.version)
        return a.version > b.version;
    return a.model < b.model;
}

// Of the lines of one INF that name the device with one model's name (a
// line for each of its IDs, or in each platform's section), the best: the
// one driver Windows shows for them.
std::vector<RankedModel> bestOfEachModel(const IndexStore& index, const std::vector<RankedModel>& ranked)
{
    struct ModelOfPackage {
        std::uint32_t package;
        std::string_view name;
        bool operator==(const ModelOfPackage& other) const { return package == other.package && name == other.name; }
    };
    struct Hash {
        std::size_t operator()(const ModelOfPackage& key) const
        {
            return static_cast<std::size_t>(text::keyedHash(key.name) ^ (std::uint64_t{key.package} * 0x9E3779B97F4A7C15u));
        }
    };
    std::unordered_map<ModelOfPackage, std::size_t, Hash> kept;  // its place in `best`
    std::vector<RankedModel> best;
    for (const RankedModel& candidate : ranked) {
        const Model& model = index.models[candidate.model];
        const auto [found, added] = kept.try_emplace(
            {model.package, index.textAt(model.descriptionOffset, model.descriptionLength)}, best.size());
        if (added)
            best.push_back(candidate);
        else if (ranksBefore(candidate, best[found->second]))
            best[found->second] = candidate;
    }
    return best;
}

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

Ranking rankModels(const IndexStore& index, const DeviceIds& hardwareIds, const DeviceIds& compatibleIds,
                   std::size_t listed)
{
    Ranking ranking;
    ranking.best = bestOfEachModel(index, fitting(index, hardwareIds, compatibleIds));
    listed = std::min(ranking.best.size(), listed);
    const auto end = ranking.best.begin() + static_cast<std::ptrdiff_t>(listed);
    std::partial_sort(ranking.best.begin(), end, ranking.best.end(), ranksBefore);
    ranking.more = ranking.best.size() - listed;
    ranking.best.erase(end, ranking.best.end());
    return ranking;
}

}
