// SPDX-License-Identifier: GPL-2.0-or-later
// The ranking of an index's models against a device's IDs: the identifier
// score of each pair of positions, the signature and feature scores, the
// lines of one model taken as one fit, ExcludeID, ties, and the fits listed
// against those counted.
#include "driverFolderRanking.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct ScoreCase {
    bool deviceHardwareId;
    std::size_t devicePosition;
    std::uint16_t infPosition;  // 0 the line's hardware ID, k + 1 its compatible ID k
    std::uint32_t score;
};

class IdentifierScores : public testing::TestWithParam<ScoreCase> {};

TEST_P(IdentifierScores, FollowTheFormula)
{
    const ScoreCase& c = GetParam();
    EXPECT_EQ(driverRanking::identifierScore(c.deviceHardwareId, c.devicePosition, c.infPosition), c.score);
}

INSTANTIATE_TEST_SUITE_P(DriverRanking, IdentifierScores, testing::Values(
    ScoreCase{true, 0, 0, 0x0000}, ScoreCase{true, 2, 0, 0x0002}, ScoreCase{true, 2, 1, 0x1002},
    ScoreCase{true, 2, 7, 0x1002},              // any compatible ID of the line alike
    ScoreCase{false, 1, 0, 0x2001}, ScoreCase{false, 1, 1, 0x3001}, ScoreCase{false, 1, 3, 0x3201},
    ScoreCase{false, 0x20, 0x40, 0x3FFF},       // past the last one that fits its digits
    ScoreCase{true, 5000, 0, 0x0FFF}));         // a device's position kept within its digits

// An INF of one package, for the amd64 target: its models lines
// "Name=Install,ID[,ID...]", DriverVer and the install section's lines.
struct Inf {
    const char* driverVer;
    std::vector<const char*> lines;
    const char* install;  // FeatureScore=..., ExcludeID=...
    bool signedPackage;
};

std::string infText(const Inf& inf)
{
    std::string text = std::string("[Version]\nSignature=$Windows NT$\nDriverVer=") + inf.driverVer +
                       "\n[Manufacturer]\nM=Models,NTamd64\n[Models.NTamd64]\n";
    for (const char* line : inf.lines)
        text += std::string(line) + "\n";
    return text + "[Install]\n" + inf.install + "\n";
}

struct RankingCase {
    const char* name;
    std::vector<Inf> infs;
    std::vector<std::string> hardwareIds, compatibleIds;
    std::size_t listed;
    std::vector<std::string> fits;  // "model rank", the best first
    std::size_t more;
};

class Rankings : public testing::TestWithParam<RankingCase> {};

TEST_P(Rankings, ListTheBestFirstAndCountTheRest)
{
    const RankingCase& c = GetParam();
    driverIndex::IndexStore index;
    driverIndex::FileIndexer indexer{WindowsTarget{}};
    for (std::size_t at = 0; at < c.infs.size(); ++at) {
        const std::string text = infText(c.infs[at]);
        driverIndex::FileIndex file = indexer.index(text, 0, std::to_string(at) + ".inf");
        ASSERT_EQ(file.result, InfResult::read) << text;
        file.store->packages.front().signedPackage = c.infs[at].signedPackage;
        index.append(*file.store);
    }
    index.sortIds();
    const driverRanking::Ranking ranking = driverRanking::rankModels(index, c.hardwareIds, c.compatibleIds, c.listed);
    std::vector<std::string> fits;
    for (const driverRanking::RankedModel& ranked : ranking.best) {
        const driverIndex::Model& model = index.models[ranked.model];
        char rank[9];
        std::snprintf(rank, sizeof rank, "%08x", static_cast<unsigned>(ranked.rank));
        fits.push_back(std::string(index.textAt(model.descriptionOffset, model.descriptionLength)) + " " + rank);
    }
    EXPECT_EQ(fits, c.fits);
    EXPECT_EQ(ranking.more, c.more);
}

const char* const date = "01/01/2020,1.0";

INSTANTIATE_TEST_SUITE_P(DriverRanking, Rankings, testing::Values(
    RankingCase{"NothingFits", {{date, {"A=Install,PCI\\VEN_1"}, "", false}}, {"PCI\\VEN_2"}, {}, 10, {}, 0},
    RankingCase{"IdsComparedWithoutCase",
                {{date, {"A=Install,pci\\ven_1&dev_2"}, "", true}}, {"PCI\\VEN_1&DEV_2"}, {}, 10,
                {"A 00ff0000"}, 0},
    RankingCase{"SignatureAndFeatureScores",
                {{date, {"Unsigned=Install,PCI\\VEN_1"}, "FeatureScore=10", false},
                 {date, {"Signed=Install,PCI\\VEN_1"}, "FeatureScore=F8", true}},
                {"PCI\\VEN_1"}, {}, 10, {"Signed 00f80000", "Unsigned ff100000"}, 0},
    // One model named on several lines (an ID each) is one fit, by its best line.
    RankingCase{"AModelsLinesAreOneFit",
                {{date, {"A=Install,PCI\\VEN_1&DEV_2&REV_01", "A=Install,PCI\\VEN_9,PCI\\VEN_1"}, "", true}},
                {"PCI\\VEN_1&DEV_2&REV_01"}, {"PCI\\VEN_1"}, 10, {"A 00ff0000"}, 0},
    RankingCase{"TheBestIdPairCounts",
                {{date, {"A=Install,PCI\\VEN_9,PCI\\VEN_1,PCI\\VEN_1&DEV_2"}, "", true}},
                {"PCI\\VEN_1&DEV_2&REV_01"}, {"PCI\\VEN_1&DEV_2", "PCI\\VEN_1"}, 10, {"A 00ff3001"}, 0},
    RankingCase{"ExcludedDevicesDoNotFit",
                {{date, {"A=Install,PCI\\VEN_1"}, "ExcludeID=pci\\ven_1&dev_2", true},
                 {date, {"B=Install,PCI\\VEN_1"}, "ExcludeID=PCI\\VEN_1&DEV_3", true}},
                {"PCI\\VEN_1&DEV_2"}, {"PCI\\VEN_1"}, 10, {"B 00ff2000"}, 0},
    // Equal ranks: the newer date, then the higher version.
    RankingCase{"TiesGoToTheNewest",
                {{"01/01/2020,9.0", {"Old=Install,PCI\\VEN_1"}, "", true},
                 {"01/01/2021,1.0", {"Low=Install,PCI\\VEN_1"}, "", true},
                 {"01/01/2021,2.0", {"High=Install,PCI\\VEN_1"}, "", true}},
                {"PCI\\VEN_1"}, {}, 10, {"High 00ff0000", "Low 00ff0000", "Old 00ff0000"}, 0},
    RankingCase{"TheRestCounted",
                {{date, {"A=Install,PCI\\VEN_1", "B=Install,PCI\\VEN_1&DEV_2", "C=Install,PCI\\VEN_9,PCI\\VEN_1"},
                  "", true}},
                {"PCI\\VEN_1&DEV_2", "PCI\\VEN_1"}, {}, 2, {"B 00ff0000", "A 00ff0001"}, 1},
    RankingCase{"NoneListed", {{date, {"A=Install,PCI\\VEN_1", "B=Install,PCI\\VEN_1"}, "", true}},
                {"PCI\\VEN_1"}, {}, 0, {}, 2}),
    [](const testing::TestParamInfo<RankingCase>& info) { return info.param.name; });

}
