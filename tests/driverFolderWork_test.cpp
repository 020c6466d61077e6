// SPDX-License-Identifier: GPL-2.0-or-later
// INF files indexed on several threads: the same fits, skipped files and
// notice as on one, whichever thread took which file; the progress said as
// files are read; a stop that keeps nothing of the folder being read.
#include "TempDir.h"
#include "driverFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

const std::string virtio = std::string(CORVANE_SOURCE_DIR) + "/tests/data/virtio-win-inf";

// A folder of many packages, duplicates and broken files among them: the
// virtio INFs copied into 40 folders, each copy changed to name IDs of
// its own, and the same IDs in several packages of equal rank.
class ManyPackages {
public:
    ManyPackages()
    {
        const std::string viostor = readFile(virtio + "/viostor/viostor.inf");
        for (int package = 0; package < 40; ++package) {
            std::string inf = viostor;
            const std::string own = "DEV_1042&SUBSYS_" + std::to_string(1000 + package % 7);
            for (std::size_t at = inf.find("DEV_1042&SUBSYS"); at != std::string::npos;
                 at = inf.find("DEV_1042&SUBSYS", at + own.size()))
                inf.replace(at, 15, own);
            dir.write("store/p" + std::to_string(package) + "/viostor.inf", inf);
            dir.write("store/p" + std::to_string(package) + "/copy.inf", viostor);  // counted once
            if (package % 5 == 0)
                dir.write("store/p" + std::to_string(package) + "/broken.inf", "not an INF at all");
        }
        dir.write("store/virtio/placeholder.txt", "");
    }
    std::string path() const { return dir.file("store"); }

private:
    TempDir dir;
};

std::vector<std::string> everything(const DriverFolders& folders)
{
    std::vector<std::string> lines{std::to_string(folders.infFilesRead()), std::to_string(folders.filesSkipped()),
                                   folders.notice()};
    for (int variant = 0; variant < 8; ++variant) {
        const std::vector<std::string> ids{"PCI\\VEN_1AF4&DEV_1042&SUBSYS_" + std::to_string(1000 + variant) + "1AF4",
                                           "PCI\\VEN_1AF4&DEV_1042"};
        const DriverFits fits = folders.fits(ids, {"PCI\\VEN_1AF4&DEV_1042"});
        lines.push_back("more " + std::to_string(fits.more));
        for (const DriverFit& fit : fits.best)
            lines.push_back(fit.inf + "|" + std::to_string(fit.rank) + "|" + fit.matchedId);
    }
    return lines;
}

DriverFolders readOn(unsigned threads, const std::vector<std::string>& paths)
{
    DriverFolders folders;
    DriverFolders::Reading how;
    how.threads = threads;
    folders.setReading(how);
    for (const std::string& path : paths)
        folders.read(path);
    return folders;
}

TEST(DriverFolderWork, ThreadsGiveWhatOneThreadGives)
{
    const ManyPackages store;
    const std::vector<std::string> paths{store.path(), virtio};
    const std::vector<std::string> alone = everything(readOn(1, paths));
    ASSERT_GT(alone.size(), 20u);
    for (const unsigned threads : {2u, 3u, 8u})
        for (int run = 0; run < 3; ++run)
            EXPECT_EQ(everything(readOn(threads, paths)), alone) << threads << " threads";
}

TEST(DriverFolderWork, ProgressIsSaidAsFilesAreRead)
{
    const ManyPackages store;
    for (const unsigned threads : {1u, 4u}) {
        std::vector<std::pair<std::size_t, std::size_t>> said;
        DriverFolders folders;
        DriverFolders::Reading how;
        how.threads = threads;
        how.progress = [&](std::size_t read, std::size_t found) { said.emplace_back(read, found); };
        folders.setReading(how);
        folders.read(store.path());
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.back(), std::make_pair(std::size_t{88}, std::size_t{88})) << threads << " threads";
        for (std::size_t at = 1; at < said.size(); ++at) {
            EXPECT_LE(said[at].first, said[at].second);
            EXPECT_GE(said[at].first, said[at - 1].first);
            EXPECT_GE(said[at].second, said[at - 1].second);
        }
    }
}

TEST(DriverFolderWork, AStopKeepsNothingOfTheFolderBeingRead)
{
    const ManyPackages store;
    for (const unsigned threads : {1u, 4u}) {
        std::atomic<bool> stop{false};
        DriverFolders folders;
        folders.read(virtio);
        DriverFolders::Reading how;
        how.threads = threads;
        how.stop = &stop;
        how.progress = [&](std::size_t read, std::size_t) {
            if (read >= 3)
                stop = true;
        };
        folders.setReading(how);
        EXPECT_FALSE(folders.read(store.path()));
        EXPECT_EQ(folders.infFilesRead(), 22u);
        EXPECT_EQ(folders.notice(), "");
        folders.setReading({});
        EXPECT_TRUE(folders.read(store.path()));
        EXPECT_EQ(everything(folders), everything(readOn(1, {virtio, store.path()})));
    }
}

}
