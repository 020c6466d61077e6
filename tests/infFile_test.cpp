// SPDX-License-Identifier: GPL-2.0-or-later
// What an INF file offers a Windows: the real virtio INFs in each encoding,
// the choice of models sections, of [Strings] and of install sections, and
// what DriverVer, FeatureScore and ExcludeID say.
#include "TempDir.h"
#include "infFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string virtio = std::string(CORVANE_SOURCE_DIR) + "/tests/data/virtio-win-inf/";

// An INF of a [Version] section and `rest`.
std::string withVersion(const std::string& rest)
{
    return "[Version]\r\nSignature=\"$Windows NT$\"\r\n" + rest;
}

// Everything read, as text to compare.
std::string describe(const InfFile& file)
{
    std::string out = file.provider + "|" + file.infClass + "|" + file.catalogFile + "|" + file.driver.isoDate() +
                      "|" + file.driver.versionText() + "\n";
    for (const InfFile::Model& model : file.models) {
        out += model.description + "|" + model.installSection + "|" + std::to_string(model.featureScore) + "|" +
               model.driver.isoDate() + "|" + model.driver.versionText();
        for (const std::string& id : model.ids)
            out += "|" + id;
        for (const std::string& id : file.excludeIds.at(model.install))
            out += "|-" + id;
        out += "\n";
    }
    return out;
}

// The descriptions of the models read.
std::vector<std::string> descriptions(const std::string& bytes, const WindowsTarget& target = {})
{
    const auto file = readInfFile(bytes, target);
    std::vector<std::string> result;
    if (file)
        for (const InfFile::Model& model : file->models)
            result.push_back(model.description);
    return result;
}

struct VirtioCase {
    const char* path;
    const char* header;  // provider|class|catalog|date|version
    std::size_t models;
    const char* firstIds;  // the first model's IDs, joined by '|'
};

class VirtioInfs : public testing::TestWithParam<VirtioCase> {};

TEST_P(VirtioInfs, AreReadInEachEncoding)
{
    const std::string bytes = readFile(virtio + GetParam().path);
    const auto file = readInfFile(bytes);
    ASSERT_TRUE(file);
    const std::string text = describe(*file);
    EXPECT_EQ(text.substr(0, text.find('\n')), GetParam().header);
    ASSERT_EQ(file->models.size(), GetParam().models);
    std::string ids;
    for (const std::string& id : file->models[0].ids)
        ids += (ids.empty() ? "" : "|") + id;
    EXPECT_EQ(ids, GetParam().firstIds);

    // The same file as Windows' own tools save it: UTF-16 either way, UTF-8 with a mark.
    std::string little = "\xFF\xFE", big = "\xFE\xFF";
    for (const char c : bytes) {
        little += c;
        little += '\0';
        big += '\0';
        big += c;
    }
    for (const std::string& encoded : {little, big, "\xEF\xBB\xBF" + bytes}) {
        const auto again = readInfFile(encoded);
        ASSERT_TRUE(again);
        EXPECT_EQ(describe(*again), text);
    }
}

INSTANTIATE_TEST_SUITE_P(InfFile, VirtioInfs, testing::Values(
    VirtioCase{"viostor/viostor.inf", "Red Hat, Inc.|SCSIAdapter|viostor.cat|2026-07-22|100.101.26000.27200", 2,
               "PCI\\VEN_1AF4&DEV_1001&SUBSYS_00021AF4&REV_00|PCI\\VEN_1AF4&DEV_1001"},
    VirtioCase{"NetKVM/netkvm.inf", "Red Hat, Inc.|Net|netkvm.cat|2026-07-22|100.101.26000.27200", 2,
               "PCI\\VEN_1AF4&DEV_1000&SUBSYS_00011AF4&REV_00|PCI\\VEN_1AF4&DEV_1000"},
    VirtioCase{"fwcfg/qemufwcfg.inf", "QEMU|System|qemufwcfg.cat|2022-05-21|100.90.104.22100", 1, "ACPI\\QEMU0002"},
    VirtioCase{"NetKVM/NotifyObject/vioprot.inf", "Red Hat, Inc.|NetTrans|vioprot.cat|2020-01-01|1.1.0.0", 1,
               "VIOPROT"},
    VirtioCase{"pciserial/rhel/qemupciserial.inf", "QEMU|Ports|qemupciserial.cat|2022-05-21|100.90.104.22100", 1,
               "PCI\\VEN_1b36&DEV_0002&CC_0700"}));

struct SignatureCase {
    const char* name;
    std::string bytes;
    bool inf;
};

class Signatures : public testing::TestWithParam<SignatureCase> {};

TEST_P(Signatures, TellInfFiles)
{
    EXPECT_EQ(readInfFile(GetParam().bytes).has_value(), GetParam().inf);
}

INSTANTIATE_TEST_SUITE_P(InfFile, Signatures, testing::Values(
    SignatureCase{"AnyCase", "[version]\nsignature=$WINDOWS NT$\n", true},
    SignatureCase{"Chicago", "[Version]\nSignature=\"$Chicago$\"\n", true},
    SignatureCase{"Substituted", "[Version]\nSignature=%S%\n[Strings]\nS=$chicago$\n", true},
    SignatureCase{"Empty", "", false},
    SignatureCase{"NoVersion", "[Manufacturer]\r\n", false},
    SignatureCase{"NoSignature", "[Version]\r\nClass=Net\r\n", false},
    SignatureCase{"OtherSignature", "[Version]\r\nSignature=\"$Windows 95$\"\r\n", false},
    SignatureCase{"SectionUnclosed", withVersion("[Manufacturer\r\n"), false},
    SignatureCase{"EntryBeforeSections", "Signature=\"$Windows NT$\"\r\n" + withVersion(""), false},
    SignatureCase{"TooLarge", withVersion(std::string(maxInfFileSize, ';')), false}),
    [](const testing::TestParamInfo<SignatureCase>& info) { return info.param.name; });

struct DecorationCase {
    const char* decorations;  // of the Manufacturer line; each section's model is named after its decoration
    const char* target;
    std::vector<std::string> chosen;  // "" for the undecorated section
};

class Decorations : public testing::TestWithParam<DecorationCase> {};

TEST_P(Decorations, ChooseTheModelsSectionWindowsWould)
{
    const DecorationCase& c = GetParam();
    std::string bytes = withVersion("[Manufacturer]\r\n%M% = Models" + std::string(*c.decorations ? ", " : "") +
                                    c.decorations + "\r\n[Models]\r\n\"\" = Install, X\r\n");
    std::string rest = c.decorations;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string decoration = rest.substr(0, comma);
        decoration.erase(0, decoration.find_first_not_of(' '));
        bytes += "[Models." + decoration + "]\r\n\"" + decoration + "\" = Install, X\r\n";
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
    }
    std::string error;
    const auto target = parseWindowsTarget(c.target, error);
    ASSERT_TRUE(target) << error;
    EXPECT_EQ(descriptions(bytes, *target), c.chosen);
}

INSTANTIATE_TEST_SUITE_P(InfFile, Decorations, testing::Values(
    DecorationCase{"NTamd64", "amd64", {"NTamd64"}},
    DecorationCase{"ntAMD64", "amd64", {"ntAMD64"}},
    DecorationCase{"NTx86, NTamd64, NTarm64", "x86", {"NTx86"}},
    DecorationCase{"NTx86, NTamd64, NTarm64", "arm64", {"NTarm64"}},
    DecorationCase{"NTx86", "amd64", {}},
    // Undecorated and "NT" alone: 32-bit x86 only.
    DecorationCase{"", "amd64", {}},
    DecorationCase{"", "x86", {""}},
    DecorationCase{"NT", "amd64", {}},
    DecorationCase{"NT", "x86", {"NT"}},
    DecorationCase{"NT.6.0", "x86:6.1", {"NT.6.0"}},
    DecorationCase{"NTamd64.10.0", "amd64:6.3.9600", {}},
    // The highest version not above the target's; a build counts only at the same version.
    DecorationCase{"NTamd64.6.1, NTamd64.10.0, NTamd64.10.0...14310", "amd64:10.0.26100", {"NTamd64.10.0...14310"}},
    DecorationCase{"NTamd64.6.1, NTamd64.10.0, NTamd64.10.0...14310", "amd64:10.0.10240", {"NTamd64.10.0"}},
    DecorationCase{"NTamd64.6.1, NTamd64.10.0, NTamd64.10.0...14310", "amd64:6.3.9600", {"NTamd64.6.1"}},
    DecorationCase{"NTamd64, NTamd64.10.0...22000", "amd64:10.0.19045", {"NTamd64"}},
    DecorationCase{"NTamd64.10.0...22000", "amd64:10.0.19045", {}},
    DecorationCase{"NTamd64.10.0...17134, NTamd64.10.0...22000", "amd64:10.0.22000", {"NTamd64.10.0...22000"}},
    DecorationCase{"NTamd64.6.3...99999", "amd64:10.0.10240", {"NTamd64.6.3...99999"}},
    // Product type and suite: matched when given; a version comes first.
    DecorationCase{"NTamd64...3", "amd64", {}},
    DecorationCase{"NTamd64, NTamd64...1", "amd64", {"NTamd64...1"}},
    DecorationCase{"NTamd64...1, NTamd64.10.0", "amd64", {"NTamd64.10.0"}},
    DecorationCase{"NTx86....0x80", "x86", {""}},
    DecorationCase{"NTx86....0x100", "x86", {"NTx86....0x100"}},
    DecorationCase{"NT, NT.5, NT.5.5, NT....0x80", "x86:5.1", {"NT.5"}},
    DecorationCase{"Win64, NTamd64.x", "amd64", {}}));

TEST(InfFile, ManufacturerLinesChooseEachTheirOwnSection)
{
    const std::string bytes = withVersion(
        "[Manufacturer]\r\n%A%=First,NTamd64\r\nSecond,NTamd64.10.0...17134\r\nThird,NTamd64.10.0...22000\r\n"
        "Again = First,NTamd64\r\n"
        "[First.NTamd64]\r\none = i, A\r\n[Second.NTamd64.10.0...17134]\r\ntwo = i, B\r\n"
        "[Third.NTamd64.10.0...22000]\r\nthree = i, C\r\n[first.ntAMD64]\r\nfour = i, D\r\n");
    EXPECT_EQ(descriptions(bytes), (std::vector<std::string>{"one", "four", "two", "three"}));
    std::string error;
    EXPECT_EQ(descriptions(bytes, *parseWindowsTarget("10.0.19045", error)),
              (std::vector<std::string>{"one", "four", "two"}));
}

struct StringsCase {
    std::vector<const char*> sections;  // each defines D as its own name
    const char* chosen;
};

class StringsSections : public testing::TestWithParam<StringsCase> {};

TEST_P(StringsSections, AreChosenAsUsEnglishWindowsChoosesThem)
{
    std::string bytes = withVersion("Provider = %D%\r\n");
    for (const char* section : GetParam().sections)
        bytes += "[" + std::string(section) + "]\r\nD = \"" + section + "\"\r\n";
    const auto file = readInfFile(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->provider, GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(InfFile, StringsSections, testing::Values(
    StringsCase{{"Strings", "Strings.0407", "Strings.0409", "Strings.0009"}, "Strings.0409"},
    StringsCase{{"Strings", "Strings.0809", "Strings.0009"}, "Strings.0009"},
    StringsCase{{"Strings", "Strings.0c09", "Strings.0809"}, "Strings.0809"},
    StringsCase{{"Strings.0407", "strings"}, "strings"},
    StringsCase{{"Strings.0407"}, "%D%"},
    StringsCase{{"STRINGS.0409", "Strings"}, "STRINGS.0409"}));

TEST(InfFile, StringsSectionsOfOneNameAreOne)
{
    const auto file = readInfFile(withVersion("Provider=%A% %B%\r\nClass=%C%\r\n[Strings]\r\nA=1\r\n"
                                              "[Manufacturer]\r\n[strings]\r\nB=2\r\nA=3\r\n"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->provider, "1 2");
    EXPECT_EQ(file->infClass, "%C%");
}

TEST(InfFile, EveryFieldIsSubstituted)
{
    const auto file = readInfFile(withVersion(
        "CatalogFile=%Cat%\r\n[Manufacturer]\r\n%M%=%Models%,%Arch%\r\n[Ms.NTamd64]\r\n%Desc%=%Install%,%Id%,%Compat%\r\n"
        "[In]\r\nFeatureScore=%Score%\r\nExcludeID=%Id%\r\n"
        "[Strings]\r\nCat=c.cat\r\nModels=Ms\r\nArch=NTamd64\r\nDesc=\"A, B\"\r\nInstall=In\r\nId=\"PCI\\VEN_1\"\r\n"
        "Compat=PCI\\CC_01\r\nScore=0x10\r\n"));
    ASSERT_TRUE(file);
    EXPECT_EQ(describe(*file), "||c.cat||\nA, B|In|16|||PCI\\VEN_1|PCI\\CC_01|-PCI\\VEN_1\n");
}

TEST(InfFile, InstallSectionsSayScoresExclusionsAndDates)
{
    const auto file = readInfFile(withVersion(
        "DriverVer=01/02/2020,1.0.0.0\r\n[Manufacturer]\r\nM=Models,NTamd64\r\n[Models.NTamd64]\r\n"
        "a=Plain,A\r\nb=Decorated,B\r\nc=Nt,C\r\nd=Missing,D\r\ne=Bad,E\r\n"
        "[Plain]\r\nFeatureScore=F8\r\nFeatureScore=01\r\nExcludeID=PCI\\X,PCI\\Y\r\nExcludeID=PCI\\Z\r\n"
        "[Decorated]\r\nFeatureScore=01\r\n[Decorated.NT]\r\nFeatureScore=02\r\n[Decorated.NTamd64]\r\n"
        "FeatureScore=xFD\r\nDriverVer=03/04/2024,2.1\r\n[Decorated.NTx86]\r\nFeatureScore=04\r\n"
        "[Nt]\r\nFeatureScore=01\r\n[NT.nt]\r\nFeatureScore=0x02\r\n"
        "[Bad]\r\nFeatureScore=100\r\nDriverVer=31/12/2024,3.0\r\n"
        "[ControlFlags]\r\nExcludeFromSelect=*\r\n"));
    ASSERT_TRUE(file);
    EXPECT_EQ(describe(*file), "|||2020-01-02|1.0.0.0\n"
                               "a|Plain|248|2020-01-02|1.0.0.0|A|-PCI\\X|-PCI\\Y|-PCI\\Z\n"
                               "b|Decorated|253|2024-03-04|2.1.0.0|B\n"
                               "c|Nt|2|2020-01-02|1.0.0.0|C\n"
                               "d|Missing|255|2020-01-02|1.0.0.0|D\n"
                               "e|Bad|255||3.0.0.0|E\n");
}

TEST(InfFile, ModelsLinesNeedAnId)
{
    EXPECT_EQ(descriptions(withVersion("[Manufacturer]\r\nM=Models,NTamd64\r\n[Models.NTamd64]\r\n"
                                       "none = Install\r\nempty = Install, ,\r\ncompatible = Install, , PCI\\CC_0300\r\n"
                                       "no key, Install, A\r\n")),
              std::vector<std::string>{"compatible"});
}

TEST(InfFile, CatalogFilesOfTheArchitectureComeFirst)
{
    const std::string bytes =
        withVersion("CatalogFile=all.cat\r\nCatalogFile.NTamd64=x64.cat\r\nCatalogFile.NT=nt.cat\r\n");
    std::string error;
    EXPECT_EQ(readInfFile(bytes)->catalogFile, "x64.cat");
    EXPECT_EQ(readInfFile(bytes, *parseWindowsTarget("x86", error))->catalogFile, "nt.cat");
    EXPECT_EQ(readInfFile(withVersion("CatalogFile.ntx86=x86.cat\r\ncatalogfile=all.cat\r\n"))->catalogFile,
              "all.cat");
}

struct DriverVerCase {
    const char* date;
    const char* version;
    const char* iso;
    const char* text;
};

class DriverVer : public testing::TestWithParam<DriverVerCase> {};

TEST_P(DriverVer, ReadsDateAndVersion)
{
    const DriverVersion read = parseDriverVersion(GetParam().date, GetParam().version);
    EXPECT_EQ(read.isoDate(), GetParam().iso);
    EXPECT_EQ(read.versionText(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(InfFile, DriverVer, testing::Values(
    DriverVerCase{"07/22/2026", "100.101.26000.27200", "2026-07-22", "100.101.26000.27200"},
    DriverVerCase{"7/2/2026", "5.00.2136.1", "2026-07-02", "5.0.2136.1"},
    DriverVerCase{"07-22-2026", "1.2", "2026-07-22", "1.2.0.0"},
    DriverVerCase{"02/29/2024", "65534.0.0.1", "2024-02-29", "65534.0.0.1"},
    DriverVerCase{"02/29/2023", "65535.0.0.0", "", ""},
    DriverVerCase{"13/01/2026", "0.0.0.0", "", ""},
    DriverVerCase{"2026/07/22", "1.2.3.4.5", "", ""},
    DriverVerCase{"07/22/26", "1..2", "", ""},
    DriverVerCase{"", "", "", ""},
    DriverVerCase{"00/00/0000", "x", "", ""}));

}

// The files a package is made of: its catalog, and each file SourceDisksFiles
// names on the disk SourceDisksNames gives it, in the disk's path and the
// entry's subdirectory, the architecture's sections first.
struct PackageFilesCase {
    const char* what;
    std::string inf;
    const char* expected;  // catalog, then name|disk path|subdirectory|disk named, each on a line
};

class PackageFiles : public testing::TestWithParam<PackageFilesCase> {};

TEST_P(PackageFiles, AreThoseTheInfNames)
{
    InfPackageFiles files;
    ASSERT_EQ(InfReader().readPackageFiles(GetParam().inf, files), InfResult::read);
    std::string said = files.catalogFile + "\n";
    for (const InfSourceFile& file : files.files)
        said += file.name + "|" + file.diskPath + "|" + file.subdirectory + "|" + (file.diskNamed ? "1" : "0") + "\n";
    EXPECT_EQ(said, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(InfFile, PackageFiles, testing::Values(
    PackageFilesCase{"OneDisk", withVersion("CatalogFile=a.cat\r\n[SourceDisksNames]\r\n1 = %Disk%,,,\"\"\r\n"
                                            "[SourceDisksFiles]\r\na.sys = 1,,\r\nb.dll=1\r\n"),
                     "a.cat\na.sys|||1\nb.dll|||1\n"},
    PackageFilesCase{"DiskPathAndSubdirectory",
                     withVersion("[SourceDisksNames]\r\n3 = \"x\",,,\\amd64\r\n[SourceDisksFiles]\r\nc.sys = 03,sub\r\n"),
                     "\nc.sys|\\amd64|sub|1\n"},
    // The architecture's entry wins over the undecorated one of the same file, whatever its case.
    PackageFilesCase{"DecoratedFirst",
                     withVersion("CatalogFile.NTamd64=x64.cat\r\n[SourceDisksNames.amd64]\r\n1=d,,,x64\r\n"
                                 "[SourceDisksNames]\r\n1=d,,,x86\r\n[SourceDisksFiles.amd64]\r\nA.SYS=1\r\n"
                                 "[SourceDisksFiles]\r\na.sys=1\r\nonly.sys=1\r\n"),
                     "x64.cat\nA.SYS|x64||1\nonly.sys|x64||1\n"},
    PackageFilesCase{"StringsSubstituted",
                     withVersion("[Strings]\r\nName=\"s.sys\"\r\nSub=\"lib\"\r\n[SourceDisksNames]\r\n1=d\r\n"
                                 "[SourceDisksFiles]\r\n%Name%=1,%Sub%\r\n"),
                     "\ns.sys||lib|1\n"},
    // A disk no entry names: said so, for the caller to refuse or look beside the INF.
    PackageFilesCase{"UnnamedDisk", withVersion("[SourceDisksFiles]\r\nlost.sys=7\r\n"), "\nlost.sys|||0\n"},
    // No key, or a name that substitutes to nothing: no file.
    PackageFilesCase{"NamelessEntriesSkipped",
                     withVersion("[Strings]\r\nNone=\"\"\r\n[SourceDisksFiles]\r\nbare\r\n%None%=1\r\nz.sys=1\r\n"),
                     "\nz.sys|||0\n"},
    PackageFilesCase{"HostilePathsAsWritten",
                     withVersion("[SourceDisksNames]\r\n1=d,,,..\\..\r\n[SourceDisksFiles]\r\n..\\up.sys=1,C:\\x\r\n"),
                     "\n..\\up.sys|..\\..|C:\\x|1\n"}));

TEST(InfFile, PackageFilesOfARealInf)
{
    const std::string bytes = readFile(virtio + "NetKVM/netkvm.inf");
    InfPackageFiles files;
    ASSERT_EQ(InfReader().readPackageFiles(bytes, files), InfResult::read);
    EXPECT_EQ(files.catalogFile, "netkvm.cat");
    ASSERT_EQ(files.files.size(), 2u);
    EXPECT_EQ(files.files[0].name + " " + files.files[1].name, "netkvm.sys netkvmp.exe");
}
