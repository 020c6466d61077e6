// SPDX-License-Identifier: GPL-2.0-or-later
// Folders of drivers: the virtio INFs matched against this kind of virtual
// machine's devices with ranks worked out from Microsoft's formula, the
// signature score, duplicates, files skipped, links and folder errors.
#include "TempDir.h"
#include "archiveReader.h"
#include "driverFolder.h"
#include "flException.h"
#include "infText.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string virtio = std::string(CORVANE_SOURCE_DIR) + "/tests/data/virtio-win-inf";

// What lspci -nvmm shows of a function.
struct PciFunction {
    unsigned vendor, device, subVendor, subDevice, revision, classCode;  // classCode: base, sub, interface
};

std::string hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// The IDs Windows 10 and later give a PCI function.
std::pair<std::vector<std::string>, std::vector<std::string>> windowsIds(const PciFunction& f)
{
    const std::string ven = "PCI\\VEN_" + hex(f.vendor, 4), dev = ven + "&DEV_" + hex(f.device, 4);
    const std::string subsys = "&SUBSYS_" + hex(f.subDevice, 4) + hex(f.subVendor, 4), rev = "&REV_" + hex(f.revision, 2);
    const std::string cc = hex(f.classCode, 6), cc4 = cc.substr(0, 4);
    return {{dev + subsys + rev, dev + subsys, dev + "&CC_" + cc, dev + "&CC_" + cc4},
            {dev + rev, dev, ven + "&CC_" + cc, ven + "&CC_" + cc4, ven, "PCI\\CC_" + cc, "PCI\\CC_" + cc4}};
}

// "inf|rank|matched ID" of each fit, best first.
std::vector<std::string> describe(const std::vector<DriverFit>& fits)
{
    std::vector<std::string> lines;
    for (const DriverFit& fit : fits)
        lines.push_back(fit.inf + "|" + hex(fit.rank, 8) + "|" + fit.matchedId);
    return lines;
}

std::vector<std::string> fitsOf(const DriverFolders& folders, const PciFunction& function)
{
    const auto [hardware, compatible] = windowsIds(function);
    return describe(folders.fits(hardware, compatible).best);
}

void copyFile(const std::string& from, const TempDir& dir, const std::string& to)
{
    dir.write(to, readFile(from));
}

struct MachineCase {
    const char* name;
    PciFunction function;
    std::vector<std::string> fits;
};

class ThisMachine : public testing::TestWithParam<MachineCase> {};

// The ranks: signature 0xFF (no catalogs beside these copies), feature
// 0xFF unless the install section gives one, and the identifier score of
// the best ID pair. These functions have subsystem 1AF4:10xx where the
// INFs name 1AF4:1100 with revision 01: only the compatible IDs meet,
// the device's second (j = 1) and the line's first (k = 0): 0x3001.
TEST_P(ThisMachine, DevicesFitTheirVirtioDrivers)
{
    static const DriverFolders folders = [] {
        DriverFolders read;
        read.read(virtio);
        return read;
    }();
    EXPECT_EQ(folders.infFilesRead(), 22u);
    EXPECT_EQ(folders.filesSkipped(), 0u);
    EXPECT_EQ(fitsOf(folders, GetParam().function), GetParam().fits);
}

INSTANTIATE_TEST_SUITE_P(DriverFolder, ThisMachine, testing::Values(
    // lspci -nvmm on the development machines (QEMU, Q35-less i440FX with virtio 1.0 devices).
    MachineCase{"HostBridge", {0x8086, 0x0D57, 0, 0, 0, 0x060000}, {}},
    MachineCase{"Balloon", {0x1AF4, 0x1045, 0x1AF4, 0x1045, 1, 0xFFFF00},
                {"Balloon/sys/balloon.inf|FFFF3001|PCI\\VEN_1AF4&DEV_1045"}},
    MachineCase{"Block", {0x1AF4, 0x1042, 0x1AF4, 0x1042, 1, 0x018000},
                {"viostor/viostor.inf|FFFF3001|PCI\\VEN_1AF4&DEV_1042"}},
    MachineCase{"Network", {0x1AF4, 0x1041, 0x1AF4, 0x1041, 1, 0x020000},
                {"NetKVM/netkvm.inf|FFFF3001|PCI\\VEN_1AF4&DEV_1041"}},
    MachineCase{"Socket", {0x1AF4, 0x1053, 0x1AF4, 0x1053, 1, 0xFFFF00},
                {"viosock/sys/viosock.inf|FFFF3001|PCI\\VEN_1AF4&DEV_1053",
                 "viosock/sys/viosock_wow.inf|FFFF3001|PCI\\VEN_1AF4&DEV_1053"}},
    MachineCase{"Rng", {0x1AF4, 0x1044, 0x1AF4, 0x1044, 1, 0xFFFF00},
                {"viorng/viorng/viorng.inf|FFFF3001|PCI\\VEN_1AF4&DEV_1044"}},
    // QEMU's own subsystem: the hardware IDs meet, the device's first (i = 0).
    MachineCase{"BlockOfQemusSubsystem", {0x1AF4, 0x1042, 0x1AF4, 0x1100, 1, 0x010000},
                {"viostor/viostor.inf|FFFF0000|PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"}},
    // Three lines of one INF name the device with one model (its hardware ID
    // 2, its compatible IDs 2 and 3): one fit, the best line's, as Windows
    // shows one driver for them.
    MachineCase{"Q35SMBus", {0x8086, 0x2930, 0x1AF4, 0x1100, 2, 0x0C0500},
                {"Q35/SMBus/smbus.inf|FFFF0001|PCI\\VEN_8086&DEV_2930&SUBSYS_11001AF4"}},
    // FeatureScore=F8; the device's compatible ID 1 against the hardware ID.
    MachineCase{"StdVga", {0x1234, 0x1111, 0x1AF4, 0x1100, 2, 0x030000},
                {"stdvga/stdvga.inf|FFF82001|PCI\\VEN_1234&DEV_1111"}},
    // The device's hardware ID 3 (its class without interface), written in small letters there.
    MachineCase{"PciSerial", {0x1B36, 0x0002, 0x1AF4, 0x1100, 1, 0x070002},
                {"pciserial/rhel/qemupciserial.inf|FFFF0003|PCI\\VEN_1b36&DEV_0002&CC_0700",
                 "pciserial/qemupciserial.inf|FFFF2001|PCI\\VEN_1B36&DEV_0002"}}),
    [](const testing::TestParamInfo<MachineCase>& info) { return info.param.name; });

TEST(DriverFolder, FitsSayWhatToChooseBy)
{
    DriverFolders folders;
    folders.read(virtio + "/");
    const auto [hardware, compatible] = windowsIds({0x1AF4, 0x1042, 0x1AF4, 0x1042, 1, 0x018000});
    const auto fits = folders.fits(hardware, compatible).best;
    ASSERT_EQ(fits.size(), 1u);
    const DriverFit& fit = fits[0];
    EXPECT_EQ(fit.folder + "|" + fit.model + "|" + fit.provider + "|" + fit.infClass + "|" + fit.driverDate + "|" +
                  fit.driverVersion + "|" + (fit.signedPackage ? "signed" : "unsigned"),
              virtio + "/|Red Hat VirtIO SCSI controller|Red Hat, Inc.|SCSIAdapter|2026-07-22|100.101.26000.27200|"
                       "unsigned");
}

struct SignatureCase {
    const char* path;     // where viostor.inf goes
    const char* catalog;  // written beside it unless null
    bool signedPackage;
};

class Signatures : public testing::TestWithParam<SignatureCase> {};

TEST_P(Signatures, ComeFromDriverStoresAndCatalogs)
{
    TempDir dir;
    copyFile(virtio + "/viostor/viostor.inf", dir, std::string("drivers/") + GetParam().path);
    if (GetParam().catalog) {
        std::string catalog = std::string("drivers/") + GetParam().path;
        catalog = catalog.substr(0, catalog.rfind('/') + 1) + GetParam().catalog;
        dir.write(catalog, "");
    }
    DriverFolders folders;
    folders.read(dir.file("drivers"));
    const auto fits = folders.fits({"PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"}, {}).best;
    ASSERT_EQ(fits.size(), 1u);
    EXPECT_EQ(fits[0].signedPackage, GetParam().signedPackage);
    EXPECT_EQ(fits[0].rank, GetParam().signedPackage ? 0x00FF0000u : 0xFFFF0000u);
}

INSTANTIATE_TEST_SUITE_P(DriverFolder, Signatures, testing::Values(
    SignatureCase{"viostor.inf", nullptr, false},
    SignatureCase{"viostor.inf", "viostor.cat", true},
    SignatureCase{"viostor.inf", "VIOSTOR.CAT", true},
    SignatureCase{"viostor.inf", "other.cat", false},
    SignatureCase{"sub/viostor.inf", "../viostor.cat", false},
    SignatureCase{"Windows/System32/DriverStore/FileRepository/viostor.inf_amd64_1/viostor.inf", nullptr, true},
    SignatureCase{"WINDOWS/INF/oem3.inf", nullptr, true},
    SignatureCase{"Windows/INF/sub/oem3.inf", nullptr, false},
    SignatureCase{"DriverStore/FileRepositoryCopy/viostor.inf", nullptr, false}));

TEST(DriverFolder, AFolderNamedAsAStoreIsOne)
{
    TempDir dir;
    copyFile(virtio + "/viostor/viostor.inf", dir, "DriverStore/FileRepository/viostor.inf_amd64_1/viostor.inf");
    DriverFolders folders;
    folders.read(dir.file("DriverStore/FileRepository"));
    EXPECT_EQ(folders.fits({"PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"}, {}).best.at(0).rank, 0x00FF0000u);
}

TEST(DriverFolder, TheSameInfFoundTwiceCountsOnce)
{
    TempDir dir;
    const std::string viostor = readFile(virtio + "/viostor/viostor.inf");
    dir.write("DriverStore/FileRepository/viostor.inf_amd64_1/viostor.inf", viostor);
    dir.write("INF/oem3.inf", viostor);
    std::string sameSize = viostor;
    for (std::size_t at = sameSize.find("DEV_1042"); at != std::string::npos; at = sameSize.find("DEV_1042", at))
        sameSize.replace(at, 8, "DEV_1043");
    dir.write("INF/oem4.inf", sameSize);
    DriverFolders folders;
    folders.read(dir.file("DriverStore"));
    folders.read(dir.file("INF"));
    EXPECT_EQ(folders.infFilesRead(), 2u);
    EXPECT_EQ(describe(folders.fits({}, {"PCI\\VEN_1AF4&DEV_1042", "PCI\\VEN_1AF4&DEV_1043"}).best),
              (std::vector<std::string>{"FileRepository/viostor.inf_amd64_1/viostor.inf|00FF3000|PCI\\VEN_1AF4&DEV_1042",
                                        "oem4.inf|FFFF3001|PCI\\VEN_1AF4&DEV_1043"}));
}

TEST(DriverFolder, FilesThatAreNoInfsAreSkippedAndSaidOnce)
{
    TempDir dir;
    copyFile(virtio + "/viostor/viostor.inf", dir, "d/VIOSTOR.INF");
    dir.write("d/sub/junk.inf", "MZ\x90");
    dir.write("d/sub/broken.Inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Manufacturer\r\n");
    dir.write("d/readme.txt", "not read");
    dir.write("d/viostor.inf.bak", "not read");
    {
        // Larger than any INF: refused before it is read.
        std::FILE* file = std::fopen(dir.write("d/sub/huge.inf", "").c_str(), "wb");
        ASSERT_TRUE(file);
        std::fseek(file, static_cast<long>(maxInfFileSize), SEEK_SET);
        std::fputc(';', file);
        std::fclose(file);
    }
    DriverFolders folders;
    folders.read(dir.file("d"));
    EXPECT_EQ(folders.infFilesRead(), 1u);
    EXPECT_EQ(folders.filesSkipped(), 3u);
    EXPECT_EQ(folders.notice(), "3 files of " + dir.file("d") + " were skipped: unreadable or not INF files.");

    folders.read(dir.file("d/sub/"));
    EXPECT_EQ(folders.notice(), "3 files of " + dir.file("d") + " were skipped: unreadable or not INF files.\n"
                                "No INF files in " + dir.file("d/sub/") + ".\n"
                                "3 files of " + dir.file("d/sub/") + " were skipped: unreadable or not INF files.");
    DriverFolders one;
    dir.write("e/x.inf", "");
    one.read(dir.file("e"));
    EXPECT_EQ(one.notice(), "No INF files in " + dir.file("e") + ".\n"
                            "1 file of " + dir.file("e") + " was skipped: unreadable or not an INF file.");
    // A folder of anything but drivers says so, once, rather than that none fits each device.
    DriverFolders none;
    dir.write("f/photo.jpg", "");
    none.read(dir.file("f"));
    EXPECT_EQ(none.notice(), "No INF files in " + dir.file("f") + ".");
}

#ifndef _WIN32
TEST(DriverFolder, LinksAreNotFollowedAndFifosNotOpened)
{
    TempDir dir;
    copyFile(virtio + "/viostor/viostor.inf", dir, "store/viostor.inf");
    copyFile(virtio + "/NetKVM/netkvm.inf", dir, "elsewhere/netkvm.inf");
    ASSERT_EQ(symlink("..", dir.file("store/loop").c_str()), 0);
    ASSERT_EQ(symlink("../elsewhere", dir.file("store/linked").c_str()), 0);
    ASSERT_EQ(symlink("../elsewhere/netkvm.inf", dir.file("store/netkvm.inf").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.file("store/waiting.inf").c_str(), 0600), 0);
    DriverFolders folders;
    folders.read(dir.file("store"));
    EXPECT_EQ(folders.infFilesRead(), 1u);
    EXPECT_EQ(folders.filesSkipped(), 1u);  // the FIFO
    // The folder given may itself be a link.
    DriverFolders throughLink;
    throughLink.read(dir.file("store/linked"));
    EXPECT_EQ(throughLink.infFilesRead(), 1u);
}
#endif

const std::string infHeader = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";
const std::string amd64Models = "[Manufacturer]\r\nM=Models,NTamd64\r\n[Models.NTamd64]\r\n";

// Lines of 9 bytes that each name a string of 4,095 characters, to `bytes`.
std::string substituting(std::size_t bytes)
{
    std::string inf = infHeader + "[Strings]\r\na=" + std::string(inf::maxFieldLength, 'x') + "\r\n" + amd64Models;
    while (inf.size() < bytes)
        inf += "d=i,%a%\r\n";
    return inf;
}

// `lines` models lines of one install section that excludes `excluded` IDs.
std::string excluding(std::size_t excluded, std::size_t lines)
{
    std::string inf = infHeader + "[Install]\r\nExcludeID=PCI\\VEN_9&DEV_0";
    for (std::size_t id = 1; id < excluded; ++id)
        inf += ",PCI\\VEN_9&DEV_" + std::to_string(id);
    inf += "\r\n" + amd64Models;
    for (std::size_t line = 0; line < lines; ++line)
        inf += "d" + std::to_string(line) + "=Install,PCI\\VEN_1&DEV_2\r\n";  // models of their own
    return inf;
}

// 30,000 strings, a models line for each.
std::string manyStrings()
{
    std::string strings = "[Strings]\r\n", models = amd64Models;
    for (int key = 0; key < 30000; ++key) {
        strings += "k" + std::to_string(key) + "=PCI\\VEN_7&DEV_" + std::to_string(key) + "\r\n";
        models += "d=i,%K" + std::to_string(key) + "%\r\n";
    }
    return infHeader + strings + models;
}

// 200,000 manufacturers, each of its own models section naming the same ID.
std::string manyModelsSections()
{
    std::string manufacturers = "[Manufacturer]\r\n", sections;
    for (int number = 0; number < 200000; ++number) {
        const std::string name = "S" + std::to_string(number);
        manufacturers += "M=" + name + ",NTamd64\r\n";
        sections += "[" + name + ".NTamd64]\r\n" + name + "=i,PCI\\VEN_5&DEV_5\r\n";  // models of their own
    }
    return infHeader + manufacturers + sections;
}

// As Microsoft's sensor samples begin.
std::string commentBlockFirst()
{
    return "/*++\r\n\r\nCopyright (c) Microsoft Corporation.  All rights reserved.\r\n\r\nModule Name:\r\n\r\n"
           "    Sensors.inf\r\n\r\nAbstract:\r\n\r\n    Installs the sensors [driver]\r\n\r\n--*/\r\n\r\n" +
           infHeader + "[Manufacturer]\r\n%M%=Models,NTamd64\r\n[Models.NTamd64]\r\n%D%=Install,ACPI\\SENSORS\r\n"
                       "[Strings]\r\nM=\"Microsoft\"\r\nD=\"Sensors\"\r\n";
}

struct HostileCase {
    const char* name;
    std::function<std::string()> inf;
    bool skipped;  // and named, over its budget
    std::vector<std::string> deviceIds;  // a device's hardware IDs, and how many of the file's lines fit it
    std::size_t listed, more;
};

class HostileInfs : public testing::TestWithParam<HostileCase> {};

// Each once made a run fail, take memory or time out of proportion, or lose
// fits: now the file is read, or skipped and named, and the INF beside it fits.
TEST_P(HostileInfs, CostInProportionAndSinkNoOtherFile)
{
    const HostileCase& c = GetParam();
    TempDir dir;
    copyFile(virtio + "/viostor/viostor.inf", dir, "d/a.inf");
    dir.write("d/hostile.inf", c.inf());
    DriverFolders folders;
    folders.read(dir.file("d"));
    EXPECT_EQ(describe(folders.fits({"PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"}, {}).best),
              std::vector<std::string>{"a.inf|FFFF0000|PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"});
    EXPECT_EQ(folders.notice(), c.skipped ? dir.file("d") + "/hostile.inf was skipped: reading it would take more "
                                                            "memory than an INF file of its size may."
                                          : "");
    EXPECT_EQ(folders.infFilesRead(), c.skipped ? 1u : 2u);
    const DriverFits found = folders.fits(c.deviceIds, {});
    EXPECT_EQ(found.best.size(), c.listed);
    EXPECT_EQ(found.more, c.more);
}

INSTANTIATE_TEST_SUITE_P(DriverFolder, HostileInfs, testing::Values(
    // 1.2 MB once took 542 MB, 8 MB ended the run out of memory.
    HostileCase{"SubstitutedKilobytesOnEachLine", [] { return substituting(1200000); }, true, {"%a%"}, 0, 0},
    // Its text past 4 GiB once made the offsets of a good INF read after it wrap.
    HostileCase{"TextPastFourGigabytes", [] { return substituting(9500000); }, true, {"%a%"}, 0, 0},
    // The install section's excluded IDs were copied for each of 100,000 lines (1.06 GB with 2 IDs).
    HostileCase{"ExcludedIdsOnEachLine", [] { return excluding(20, 100000); }, false, {"PCI\\VEN_1&DEV_2"}, 100, 99900},
    HostileCase{"ExcludedDevice", [] { return excluding(2, 100000); }, false,
                {"PCI\\VEN_1&DEV_2", "PCI\\VEN_9&DEV_1"}, 0, 0},
    // Keys of a hash without a secret could be made to collide (keyedHash_test).
    HostileCase{"ManyStrings", manyStrings, false, {"pci\\ven_7&dev_29999"}, 1, 0},
    // 200,000 fits of one device took 587 MB of JSON.
    HostileCase{"TwoHundredThousandFits", manyModelsSections, false, {"PCI\\VEN_5&DEV_5"}, 100, 199900},
    // Text before the first section, with a [Strings] section: read, as Windows reads it.
    HostileCase{"CommentBlockBeforeVersion", commentBlockFirst, false, {"ACPI\\SENSORS"}, 1, 0}),
    [](const testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

#ifndef _WIN32
// `depth` folders named dddd, one in the other below `top`, made and removed
// relative to each other: their path is longer than any the system opens.
class DeepFolders {
public:
    DeepFolders(const std::string& top, int depth, const std::string& inf) : top(top), depth(depth)
    {
        int directory = open(top.c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; level < depth && directory >= 0; ++level) {
            mkdirat(directory, "dddd", 0700);
            const int below = openat(directory, "dddd", O_RDONLY | O_DIRECTORY);
            close(directory);
            directory = below;
        }
        const int file = openat(directory, "deep.inf", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        made = file >= 0 && write(file, inf.data(), inf.size()) == static_cast<ssize_t>(inf.size());
        close(file);
        close(directory);
    }
    ~DeepFolders()
    {
        int directory = open(top.c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; level < depth && directory >= 0; ++level) {
            const int below = openat(directory, "dddd", O_RDONLY | O_DIRECTORY);
            close(directory);
            directory = below;
        }
        unlinkat(directory, "deep.inf", 0);
        for (int level = 0; level < depth && directory >= 0; ++level) {
            const int above = openat(directory, "..", O_RDONLY | O_DIRECTORY);
            close(directory);
            directory = above;
            unlinkat(directory, "dddd", AT_REMOVEDIR);
        }
        close(directory);
    }
    bool made = false;

private:
    std::string top;
    int depth;
};

TEST(DriverFolder, FoldersDeeperThanAPathIsLongAreRead)
{
    TempDir dir;
    dir.write("top/a.inf", readFile(virtio + "/viostor/viostor.inf"));
    const int depth = 1030;  // 5,150 bytes of "dddd/", more than PATH_MAX; more folders than descriptors may be open
    const DeepFolders deep(dir.file("top"), depth, readFile(virtio + "/NetKVM/netkvm.inf"));
    ASSERT_TRUE(deep.made);
    DriverFolders folders;
    folders.read(dir.file("top"));
    EXPECT_EQ(folders.infFilesRead(), 2u);
    EXPECT_EQ(folders.notice(), "");
    std::string path;
    for (int level = 0; level < depth; ++level)
        path += "dddd/";
    const auto fits = folders.fits({"PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01"}, {}).best;
    ASSERT_EQ(fits.size(), 1u);
    EXPECT_EQ(fits[0].inf, path + "deep.inf");
}

TEST(DriverFolder, FoldersNotReadAreSaidAsFolders)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads any folder";
    TempDir dir;
    copyFile(virtio + "/viostor/viostor.inf", dir, "d/locked/viostor.inf");
    copyFile(virtio + "/viostor/viostor.inf", dir, "d/open/viostor.inf");
    ASSERT_EQ(chmod(dir.file("d/locked").c_str(), 0), 0);
    DriverFolders folders;
    folders.read(dir.file("d"));
    chmod(dir.file("d/locked").c_str(), 0700);
    EXPECT_EQ(folders.infFilesRead(), 1u);
    EXPECT_EQ(folders.notice(), "1 folder of " + dir.file("d") + " could not be read.");
}
#endif

TEST(DriverFolder, ExcludedDevicesDoNotFitAndTiesGoToTheNewest)
{
    TempDir dir;
    const auto inf = [](const char* date, const char* exclude) {
        return std::string("[Version]\nSignature=$Windows NT$\nDriverVer=") + date +
               "\n[Manufacturer]\nM=Models,NTamd64\n[Models.NTamd64]\nD=Install,PCI\\VEN_1&DEV_2\n" +
               "[Install]\nExcludeID=" + exclude + "\n";
    };
    dir.write("d/a.inf", inf("01/01/2020,2.0", "PCI\\VEN_9"));
    dir.write("d/b.inf", inf("01/01/2021,1.0", "PCI\\VEN_9"));
    dir.write("d/c.inf", inf("01/01/2021,1.5", "PCI\\VEN_9"));
    dir.write("d/d.inf", inf("01/01/2022,9.0", "pci\\ven_1&dev_2&rev_01"));
    DriverFolders folders;
    folders.read(dir.file("d"));
    std::vector<std::string> order;
    for (const DriverFit& fit : folders.fits({"PCI\\VEN_1&DEV_2&REV_01"}, {"PCI\\VEN_1&DEV_2"}).best)
        order.push_back(fit.inf + " " + fit.driverDate + " " + fit.driverVersion);
    EXPECT_EQ(order, (std::vector<std::string>{"c.inf 2021-01-01 1.5.0.0", "b.inf 2021-01-01 1.0.0.0",
                                               "a.inf 2020-01-01 2.0.0.0"}));
}

TEST(DriverFolder, ModelsAreMatchedForTheTarget)
{
    std::string error;
    DriverFolders x86(*parseWindowsTarget("x86", error));
    x86.read(virtio);
    EXPECT_TRUE(x86.fits({"PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"}, {}).best.empty());
    EXPECT_EQ(describe(x86.fits({"ACPI\\QEMU0002"}, {}).best),
              std::vector<std::string>{"fwcfg/qemufwcfg.inf|FFFF0000|ACPI\\QEMU0002"});
}

struct FolderErrorCase {
    const char* name;  // below the test's directory; "file" is a file there
    const char* message;  // with DIR for the path
};

class FolderErrors : public testing::TestWithParam<FolderErrorCase> {};

TEST_P(FolderErrors, NameTheFolder)
{
    TempDir dir;
    dir.write("file", "");
    const std::string path = dir.file(GetParam().name);
    std::string expected = GetParam().message;
    expected.replace(expected.find("DIR"), 3, path);
    DriverFolders folders;
    try {
        folders.read(path);
        ADD_FAILURE() << "nothing raised";
    } catch (const flException& failure) {
        EXPECT_EQ(failure.message, expected);
        EXPECT_TRUE(failure.userFacing);
    }
}

INSTANTIATE_TEST_SUITE_P(DriverFolder, FolderErrors, testing::Values(
    FolderErrorCase{"missing", "The folder DIR does not exist"},
    FolderErrorCase{"file", "DIR is neither a folder nor an archive (.cab, .zip, .7z, .tar)"}));

// A build that reads no archives (the Windows programs) says so of one
// given, and counts those in a folder; the rest of the folder is read.
TEST(DriverFolder, ArchivesWhereTheBuildReadsNoneAreSaidSo)
{
    if (archives::supported())
        GTEST_SKIP() << "this build reads archives (driverFolderWalk_test)";
    TempDir dir;
    dir.write("d/pack.zip", "PK\3\4");
    dir.write("d/pack.cab", "MSCF");
    copyFile(virtio + "/viostor/viostor.inf", dir, "d/viostor.inf");
    DriverFolders folders;
    try {
        folders.read(dir.file("d/pack.zip"));
        ADD_FAILURE() << "nothing raised";
    } catch (const flException& failure) {
        EXPECT_EQ(failure.message, dir.file("d/pack.zip") + " is an archive, and this build reads folders of "
                                                            "drivers only: unpack it and give its folder");
    }
    folders.read(dir.file("d"));
    EXPECT_EQ(folders.infFilesRead(), 1u);
    EXPECT_EQ(folders.notice(), "2 archives in " + dir.file("d") +
                                    " were not opened: this build reads folders of drivers only; unpack them to "
                                    "look in them.");
}

}
