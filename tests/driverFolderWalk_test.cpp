// SPDX-License-Identifier: GPL-2.0-or-later
// Archives of drivers read in place: each kind gives the fits its folder
// gives, given or found in a folder, one in another too; hostile archives
// cost little, are said once, sink no other file and write nothing.
#include "ArchiveWriter.h"
#include "TempDir.h"
#include "driverFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string virtio = std::string(CORVANE_SOURCE_DIR) + "/tests/data/virtio-win-inf";

// Hardware IDs of devices the virtio INFs name, and of one they do not.
const std::vector<std::vector<std::string>> devices = {
    {"PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"}, {"PCI\\VEN_1AF4&DEV_1041"}, {"PCI\\VEN_1AF4&DEV_1045"},
    {"PCI\\VEN_1AF4&DEV_1053"}, {"PCI\\VEN_1AF4&DEV_1044"}, {"PCI\\VEN_1B36&DEV_0002&CC_0700"},
    {"PCI\\VEN_1234&DEV_1111"}, {"PCI\\VEN_8086&DEV_2930&SUBSYS_11001AF4"}, {"PCI\\VEN_1AF4&DEV_1050"},
    {"PCI\\VEN_FFFF&DEV_FFFF"}};

// Every fit of each device: "inf|rank|model|archives".
std::vector<std::string> allFits(const DriverFolders& folders)
{
    std::vector<std::string> lines;
    for (const std::vector<std::string>& ids : devices)
        for (const DriverFit& fit : folders.fits(ids, {}).best) {
            std::string archives;
            for (const std::string& archive : fit.archives)
                archives += "[" + archive + "]";
            lines.push_back(fit.inf + "|" + std::to_string(fit.rank) + "|" + fit.model + "|" + archives);
        }
    return lines;
}

std::vector<std::string> prefixed(std::vector<std::string> lines, const std::string& prefix, const std::string& archives)
{
    for (std::string& line : lines)
        line = prefix + line.substr(0, line.rfind('|') + 1) + archives;
    return lines;
}

// A .cab of the folder, made by gcab; empty when it is not there.
std::string cabOf(const TempDir& dir, const std::string& folder)
{
    const std::string cab = dir.file("made.cab");
    const std::string command = "cd '" + folder + "' && gcab -cz '" + cab + "' $(find . -type f | sed 's|^\\./||') 2>/dev/null";
    if (std::system("command -v gcab >/dev/null") != 0 || std::system(command.c_str()) != 0)
        return {};
    return readFile(cab);
}

std::string archiveOfVirtio(const TempDir& dir, const std::string& format)
{
    return format == "cab" ? cabOf(dir, virtio) : makeArchive(format, folderItems(virtio));
}

class Archives : public testing::TestWithParam<const char*> {};

TEST_P(Archives, GiveTheFitsOfTheirFolder)
{
    DriverFolders unpacked;
    unpacked.read(virtio);
    const std::vector<std::string> expected = allFits(unpacked);
    ASSERT_EQ(expected.size(), 10u);

    TempDir dir;
    const std::string format = GetParam(), bytes = archiveOfVirtio(dir, format);
    if (bytes.empty())
        GTEST_SKIP() << "no gcab to make a .cab with";
    const std::string name = "virtio." + format;
    dir.write("given/" + name, bytes);
    dir.write("walked/a/" + name, bytes);
    DriverFolders given;
    given.read(dir.file("given/" + name));
    EXPECT_EQ(allFits(given), prefixed(expected, "", "[]"));
    EXPECT_EQ(given.infFilesRead(), 22u);
    EXPECT_EQ(given.notice(), "");
    EXPECT_EQ(given.fits(devices[0], {}).best.at(0).folder, dir.file("given/" + name));

    DriverFolders walked;
    walked.read(dir.file("walked"));
    EXPECT_EQ(allFits(walked), prefixed(expected, "a/" + name + "/", "[a/" + name + "]"));
    EXPECT_EQ(walked.notice(), "");
}

INSTANTIATE_TEST_SUITE_P(DriverFolderWalk, Archives, testing::Values("zip", "7z", "tar", "tar.gz", "tar.xz", "cab"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name == "7z" ? std::string("sevenZip") : name.replace(name.find('.') == std::string::npos ? name.size() : name.find('.'), 1, "");
                         });

TEST(DriverFolderWalk, AnArchiveInAnArchiveIsReadOneLevelDeep)
{
    const std::string viostor = readFile(virtio + "/viostor/viostor.inf");
    const std::string netkvm = readFile(virtio + "/NetKVM/netkvm.inf");
    const std::string deepest = makeArchive("zip", {{"netkvm.inf", netkvm}});
    const std::string inner = makeArchive("tar.xz", {{"x/viostor.inf", viostor}, {"x/viostor.cat", ""},
                                                     {"deeper.zip", deepest}});
    TempDir dir;
    dir.write("pack.zip", makeArchive("zip", {{"Storage/inner.tar.xz", inner}}));
    DriverFolders folders;
    folders.read(dir.file("pack.zip"));
    const auto fits = folders.fits(devices[0], {}).best;
    ASSERT_EQ(fits.size(), 1u);
    EXPECT_EQ(fits[0].inf, "Storage/inner.tar.xz/x/viostor.inf");
    EXPECT_EQ(fits[0].archives, (std::vector<std::string>{"", "Storage/inner.tar.xz"}));
    EXPECT_TRUE(fits[0].signedPackage);  // its catalog beside it, in the archive
    EXPECT_TRUE(folders.fits(devices[1], {}).best.empty());
    EXPECT_EQ(folders.infFilesRead(), 1u);
}

// The order of a folder unpacked, whatever the archive's: the same INF in
// two places counts once, where the folder would have it first.
TEST(DriverFolderWalk, ArchivesAreReadInTheOrderOfTheirFolderUnpacked)
{
    const std::string viostor = readFile(virtio + "/viostor/viostor.inf");
    TempDir dir;
    dir.write("d/b.zip", makeArchive("zip", {{"z/viostor.inf", viostor}, {"a/viostor.inf", viostor}}));
    dir.write("d/a/viostor.inf", viostor);
    dir.write("d/B/viostor.inf", viostor);
    DriverFolders folders;
    folders.read(dir.file("d"));
    EXPECT_EQ(folders.fits(devices[0], {}).best.at(0).inf, "a/viostor.inf");
    dir.write("e/c.zip", makeArchive("zip", {{"z/viostor.inf", viostor}, {"a/viostor.inf", viostor}}));
    folders.read(dir.file("e"));
    EXPECT_EQ(folders.infFilesRead(), 1u);
    DriverFolders archiveOnly;
    archiveOnly.read(dir.file("e"));
    EXPECT_EQ(archiveOnly.fits(devices[0], {}).best.at(0).inf, "c.zip/a/viostor.inf");
}

std::vector<std::string> listing(const std::string& top)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(top))
        names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct HostileCase {
    const char* name;
    std::function<std::string()> archive;  // in the folder as hostile.<format>
    const char* format;
    std::string notice;                    // DIR for the folder
};

class HostileArchives : public testing::TestWithParam<HostileCase> {};

// Each is read as far as it safely can and said once; the INF beside it
// still fits, and nothing is written anywhere.
TEST_P(HostileArchives, AreSaidOnceAndWriteNothing)
{
    const HostileCase& c = GetParam();
    TempDir dir;
    dir.write("d/good/viostor.inf", readFile(virtio + "/viostor/viostor.inf"));
    dir.write(std::string("d/hostile.") + c.format, c.archive());
    const std::vector<std::string> before = listing(dir.path());
    const auto cwdBefore = listing(std::filesystem::current_path().string());
    DriverFolders folders;
    folders.read(dir.file("d"));
    // What a truncated archive holds before its end is read.
    const std::vector<std::string> fits = allFits(folders);
    EXPECT_EQ(fits.at(0), "good/viostor.inf|4294901760|Red Hat VirtIO SCSI controller|");
    for (const std::string& fit : fits)
        EXPECT_EQ(fit.find("Evil"), std::string::npos) << fit;
    std::string notice = c.notice;
    for (std::size_t at = notice.find("DIR"); at != std::string::npos; at = notice.find("DIR"))
        notice.replace(at, 3, dir.file("d"));
    EXPECT_EQ(folders.notice(), notice);
    EXPECT_EQ(listing(dir.path()), before);
    EXPECT_EQ(listing(std::filesystem::current_path().string()), cwdBefore);
}

const std::string device = "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Manufacturer]\r\nM=Models\r\n"
                           "[Models]\r\nEvil=Install,PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01\r\n";

std::string truncated(const std::string& format)
{
    const std::string whole = makeArchive(format, folderItems(virtio));
    return whole.substr(0, whole.size() / 2);
}

const std::string unreadOne = "1 archive of DIR was not read to the end: damaged, truncated, or inflating past a "
                              "hundred times its size.";

INSTANTIATE_TEST_SUITE_P(DriverFolderWalk, HostileArchives, testing::Values(
    // Names that would leave the folder, were they unpacked: not read.
    HostileCase{"TraversalNames", [] { return makeArchive("zip", {{"../../evil.inf", device}, {"/abs/evil.inf", device},
                                                                  {"a/../../evil.inf", device}}); },
                "zip", "3 files of DIR were skipped: unreadable or not INF files."},
    // A link is a name only: never followed, not even to an INF.
    HostileCase{"SymbolicLinks", [] {
                    return makeArchive("tar", {{"evil.inf", "/etc/passwd", ArchiveItem::symlink},
                                               {"folder", "", ArchiveItem::directory},
                                               {"up.inf", "../d/good/viostor.inf", ArchiveItem::symlink}}); },
                "tar", ""},
    // An INF inflating past its limit: skipped and named; the rest read on.
    HostileCase{"InfBomb", [] { return makeArchive("zip", {{"big.inf", "", ArchiveItem::file, 40ull << 20}}); },
                "zip", "DIR/hostile.zip/big.inf was skipped: it inflates past 32 MiB."},
    // Past a hundred times its size (and 64 MiB) in all: not read on.
    HostileCase{"ArchiveBomb", [] {
                    std::vector<ArchiveItem> items;
                    for (int file = 0; file < 6; ++file)
                        items.push_back({"f" + std::to_string(file) + ".bin", "", ArchiveItem::file, 30ull << 20});
                    items.push_back({"late.inf", device});
                    return makeArchive("tar.gz", items); },
                "tar.gz", unreadOne},
    // Read as a stream: the entries before the cut are read, the one cut counted.
    HostileCase{"TruncatedZip", [] { return truncated("zip"); }, "zip",
                "1 file of DIR was skipped: unreadable or not an INF file.\n" + unreadOne},
    HostileCase{"TruncatedSevenZip", [] { return truncated("7z"); }, "7z", unreadOne},
    HostileCase{"TruncatedTarXz", [] { return truncated("tar.xz"); }, "tar.xz", unreadOne},
    HostileCase{"NoArchive", [] { return std::string("PK\3\4 but nothing after it"); }, "zip", unreadOne},
    // More INF entries than an archive may keep: read up to there, then said.
    HostileCase{"QuarterOfAMillionInfs", [] {
                    std::vector<ArchiveItem> items(250001, ArchiveItem{"e.inf", ""});
                    return makeArchive("zip", items); },
                "zip", "250000 files of DIR were skipped: unreadable or not INF files.\n" + unreadOne}),
    [](const testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

// Entries passed over cost no memory: only the time to pass them.
TEST(DriverFolderWalk, ManyEntriesThatAreNoInfsCostOnlyTheirPassing)
{
    std::vector<ArchiveItem> items(300000, ArchiveItem{"a", ""});
    items.push_back({"viostor.inf", readFile(virtio + "/viostor/viostor.inf")});
    TempDir dir;
    dir.write("many.zip", makeArchive("zip", items));
    DriverFolders folders;
    folders.read(dir.file("many.zip"));
    EXPECT_EQ(folders.infFilesRead(), 1u);
    EXPECT_EQ(folders.notice(), "");
}

}
