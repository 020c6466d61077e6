// SPDX-License-Identifier: GPL-2.0-or-later
// Folders of drivers: the virtio INFs matched against this kind of virtual
// machine's devices with ranks worked out from Microsoft's formula, the
// signature score, duplicates, files skipped, links and folder errors.
#include "TempDir.h"
#include "driverFolder.h"
#include "flException.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
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
    return describe(folders.fits(hardware, compatible));
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
    // Three lines of one INF: the device's hardware ID 1; its compatible IDs
    // 2 and 3 against the lines' hardware IDs (0x2000 + j).
    MachineCase{"Q35SMBus", {0x8086, 0x2930, 0x1AF4, 0x1100, 2, 0x0C0500},
                {"Q35/SMBus/smbus.inf|FFFF0001|PCI\\VEN_8086&DEV_2930&SUBSYS_11001AF4",
                 "Q35/SMBus/smbus.inf|FFFF2002|PCI\\VEN_8086&CC_0C0500",
                 "Q35/SMBus/smbus.inf|FFFF2003|PCI\\VEN_8086&CC_0C05"}},
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
    const auto fits = folders.fits(hardware, compatible);
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
    const auto fits = folders.fits({"PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"}, {});
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
    EXPECT_EQ(folders.fits({"PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"}, {}).at(0).rank, 0x00FF0000u);
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
    EXPECT_EQ(describe(folders.fits({}, {"PCI\\VEN_1AF4&DEV_1042", "PCI\\VEN_1AF4&DEV_1043"})),
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
                                "3 files of " + dir.file("d/sub/") + " were skipped: unreadable or not INF files.");
    DriverFolders one;
    dir.write("e/x.inf", "");
    one.read(dir.file("e"));
    EXPECT_EQ(one.notice(), "1 file of " + dir.file("e") + " was skipped: unreadable or not an INF file.");
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
    for (const DriverFit& fit : folders.fits({"PCI\\VEN_1&DEV_2&REV_01"}, {"PCI\\VEN_1&DEV_2"}))
        order.push_back(fit.inf + " " + fit.driverDate + " " + fit.driverVersion);
    EXPECT_EQ(order, (std::vector<std::string>{"c.inf 2021-01-01 1.5.0.0", "b.inf 2021-01-01 1.0.0.0",
                                               "a.inf 2020-01-01 2.0.0.0"}));
}

TEST(DriverFolder, ModelsAreMatchedForTheTarget)
{
    std::string error;
    DriverFolders x86(*parseWindowsTarget("x86", error));
    x86.read(virtio);
    EXPECT_TRUE(x86.fits({"PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01"}, {}).empty());
    EXPECT_EQ(describe(x86.fits({"ACPI\\QEMU0002"}, {})),
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
    FolderErrorCase{"file", "DIR is not a folder"}));

}
