// SPDX-License-Identifier: GPL-2.0-or-later
// corvane-update: pci.ids in, devices.lst out.
#include "TempDir.h"
#include "hardware.h"
#include "installedCopy.h"
#include "pciIds.h"
#include "pciIdsReader.h"
#include "files.h"
#include "platform/pciDevices_libpci.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const smallList =
    "#\n"
    "#\tList of PCI ID's\n"
    "#\n"
    "#\tVersion: 2023.04.10\n"
    "#\tDate:    2023-04-10 20:08:02\n"
    "\n"
    "# Vendors, devices and subsystems.\n"
    "0010  Allied Telesis, Inc (Wrong ID)\n"
    "# This is a relabelled RTL-8139\n"
    "\t8139  AT-2500TX V3 Ethernet\n"
    "10ec  Realtek Semiconductor Co., Ltd.\n"
    "\t8168  RTL8111/8168/8411 PCI Express Gigabit Ethernet Controller\n"
    "\t\t1028 0123  Dell subsystem\n"
    "\t816g  not hexadecimal\n"
    "\t9999  Monster \"sound\" chip\n"
    "1c63  Centre (JSC \"NICEVT\")\n"
    "\t0008  K1891VM8YA\n"
    "1d1d  Caf\xc3\xa9 Devices\n"
    "\tabcd  Gr\xc3\xbc\xc3\x9f" "e\n"
    "dead\n"
    "\n"
    "# List of known device classes, subclasses and programming interfaces\n"
    "C 02  Network controller\n"
    "\t00  Ethernet controller\n"
    "C 0c  Serial bus controller\n"
    "\t03  USB controller\n"
    "\t\t30  XHCI\n";

const char* const smallListConverted =
    "\"0x0010\",\"0x8139\",\"Allied Telesis, Inc (Wrong ID)\",\"pci.ids 2023.04.10\",\"AT-2500TX V3 Ethernet\"\n"
    "\"0x10EC\",\"0x8168\",\"Realtek Semiconductor Co., Ltd.\",\"pci.ids 2023.04.10\",\"RTL8111/8168/8411 PCI Express Gigabit Ethernet Controller\"\n"
    "\"0x10EC\",\"0x9999\",\"Realtek Semiconductor Co., Ltd.\",\"pci.ids 2023.04.10\",\"Monster 'sound' chip\"\n"
    "\"0x1C63\",\"0x0008\",\"Centre (JSC 'NICEVT')\",\"pci.ids 2023.04.10\",\"K1891VM8YA\"\n"
    "\"0x1D1D\",\"0xABCD\",\"Caf\xc3\xa9 Devices\",\"pci.ids 2023.04.10\",\"Gr\xc3\xbc\xc3\x9f" "e\"\n";

// `prefix`, `piece` `times` over, then `suffix`, gzip-compressed into `path`:
// a list that inflates far beyond its size, without holding it in memory.
void writeCompressed(const std::string& path, const std::string& prefix, const std::string& piece, int times,
                     const std::string& suffix)
{
    gzFile compressed = gzopen(path.c_str(), "wb");
    ASSERT_NE(compressed, nullptr);
    gzwrite(compressed, prefix.data(), static_cast<unsigned>(prefix.size()));
    for (int i = 0; i < times; ++i)
        gzwrite(compressed, piece.data(), static_cast<unsigned>(piece.size()));
    gzwrite(compressed, suffix.data(), static_cast<unsigned>(suffix.size()));
    gzclose(compressed);
}

HardwareDatabase loadQuietly(const std::string& path)
{
    testing::internal::CaptureStdout();
    HardwareDatabase database(path);
    testing::internal::GetCapturedStdout();
    return database;
}

TEST(Updater, ConvertsVendorsAndDevicesOnly)
{
    const Conversion conversion = convertPciIds(smallList);
    EXPECT_EQ(conversion.devicesList, smallListConverted);
    EXPECT_EQ(conversion.vendors, 4);
    EXPECT_EQ(conversion.devices, 5);
    EXPECT_EQ(conversion.linesChanged, 2);
    EXPECT_EQ(conversion.version, "2023.04.10");
    EXPECT_EQ(conversion.problems, (std::vector<std::string>{"line 14: not a device line",
                                                             "line 20: not a vendor line"}));
}

// Forms the list's format allows beside the usual one.
struct FormCase {
    const char* name;
    const char* list;
    const char* devicesList;
};

class ListForm : public testing::TestWithParam<FormCase> {};

TEST_P(ListForm, ConvertsWithoutProblems)
{
    const Conversion conversion = convertPciIds(GetParam().list);
    EXPECT_EQ(conversion.devicesList, GetParam().devicesList);
    EXPECT_TRUE(conversion.problems.empty()) << testing::PrintToString(conversion.problems);
}

#define LINE(vendor, device, vendorName, deviceName) \
    "\"0x" vendor "\",\"0x" device "\",\"" vendorName "\",\"pci.ids (no version)\",\"" deviceName "\"\n"

const FormCase formCases[] = {
    {"AnyBlanksBeforeTheName", "1234 One\n\t0001\t\tTabbed\n", LINE("1234", "0001", "One", "Tabbed")},
    {"BlanksAndCarriageReturnsEndNoName", "1234  Name  \r\n\t0001  Dev\t\r\n", LINE("1234", "0001", "Name", "Dev")},
    {"CapitalDigits", "ABCD  Upper\n\tEF01  Dev\n", LINE("ABCD", "EF01", "Upper", "Dev")},
    {"OtherSectionsAreNotRead", "S 1234\n\t0001  sub\nX other\n\tline\n1234  V\n\t0001  D\n",
     LINE("1234", "0001", "V", "D")},
    {"CommentsAndBlankLinesInsideAVendor", "1234  V\n# about the next one\n\n\t0001  D\n", LINE("1234", "0001", "V", "D")},
    {"AByteOrderMarkFirst", "\xEF\xBB\xBF" "1234  V\n\t0001  D\n", LINE("1234", "0001", "V", "D")},
    // Control characters in names are written as the programs show them.
    {"ControlCharactersEscaped", "1234  V\x1b]0;title\x07\n\t0001  D\xC2\x9B" "2J\x7f\xE2\x80\xAE\n",
     LINE("1234", "0001", "V\\x1b]0;title\\x07", "D\\u009b2J\\x7f\\u202e")},
};

INSTANTIATE_TEST_SUITE_P(Forms, ListForm, testing::ValuesIn(formCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What is a pci.ids at all: a device under a vendor, and no more malformed
// lines than vendor and device lines.
TEST(Updater, TellsAListFromOtherFiles)
{
    const std::pair<const char*, bool> cases[] = {
        {smallList, true},
        {"1234  V\n\t0001  D\nnot a vendor\nnor this\n", true},
        {"", false},
        {"# only comments\n\n", false},
        {"1234  A vendor without devices\n", false},
        {smallListConverted, false},  // devices.lst given for the list
        {"1234  V\n\t0001  D\nthree\nmalformed\nlines\n", false},
    };
    for (const auto& [list, isList] : cases)
        EXPECT_EQ(convertPciIds(list).isPciIds(), isList) << list;
}

// devices.lst from the system's list is what the updater wrote before it
// shared its reader with the program, byte for byte, for the lists whose
// output was recorded then.
TEST(Updater, OutputOfTheSystemListIsAsRecorded)
{
    struct Recorded {
        uLong listCrc;
        std::size_t listSize;
        uLong outputCrc;
        std::size_t outputSize;
    };
    const Recorded recorded[] = {
        {0x758cbcc0, 1362280, 0xcff25157, 1704963},  // Debian 12's pci.ids 0.0~2023.04.11-1
    };
    auto crcOf = [](const std::string& bytes) {
        return crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    };
    std::string list, error;
    if (!readListFile("/usr/share/misc/pci.ids", list, error))
        GTEST_SKIP() << error;
    const auto known = std::find_if(std::begin(recorded), std::end(recorded), [&](const Recorded& entry) {
        return entry.listSize == list.size() && entry.listCrc == crcOf(list);
    });
    if (known == std::end(recorded))
        GTEST_SKIP() << "no output recorded for this pci.ids";
    const std::string output = convertPciIds(list).devicesList;
    EXPECT_EQ(output.size(), known->outputSize);
    EXPECT_EQ(crcOf(output), known->outputCrc);
}

TEST(Updater, OutputLoadsBackAndMatchesKeyNames)
{
    TempDir dir;
    std::string error;
    ASSERT_TRUE(platform::replaceFile(dir.file("devices.lst"), convertPciIds(smallList).devicesList, error)) << error;
    const HardwareDatabase database = loadQuietly(dir.file("devices.lst"));
    EXPECT_EQ(database.size(), 5u);
    HardwareEntry key;
    key.setIdsFromKeyName("VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06");
    const HardwareEntry* found = database.find(key.vendorId, key.deviceId);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->text1, "Realtek Semiconductor Co., Ltd.");
    EXPECT_EQ(found->text2, "pci.ids 2023.04.10");
    EXPECT_EQ(found->text3, "RTL8111/8168/8411 PCI Express Gigabit Ethernet Controller");
    key.setIdsFromKeyName("VEN_1D1D&DEV_ABCD&SUBSYS_00000000&REV_00");
    ASSERT_NE(database.find(key.vendorId, key.deviceId), nullptr);
    EXPECT_EQ(database.find(key.vendorId, key.deviceId)->text3, "Gr\xc3\xbc\xc3\x9f" "e");
}

TEST(Updater, ReadsCompressedAndPlainListsAlike)
{
    TempDir dir;
    const std::string plain = dir.write("pci.ids", smallList);
    gzFile compressed = gzopen(dir.file("pci.ids.gz").c_str(), "wb");
    ASSERT_NE(compressed, nullptr);
    gzwrite(compressed, smallList, static_cast<unsigned>(std::string(smallList).size()));
    gzclose(compressed);
    std::string fromPlain, fromCompressed, error;
    ASSERT_TRUE(readListFile(plain, fromPlain, error)) << error;
    ASSERT_TRUE(readListFile(dir.file("pci.ids.gz"), fromCompressed, error)) << error;
    EXPECT_EQ(fromPlain, smallList);
    EXPECT_EQ(fromCompressed, smallList);
    EXPECT_FALSE(readListFile(dir.file("missing"), fromPlain, error));
    EXPECT_FALSE(readListFile(dir.path(), fromPlain, error));
    EXPECT_NE(error.find("not a file"), std::string::npos);
}

// A download cut short: wherever the compressed stream stops, the list is
// not read, rather than read in part.
TEST(Updater, ATruncatedCompressedListIsAReadFailure)
{
    TempDir dir;
    std::string list;
    for (int copy = 0; copy < 50; ++copy)
        list += smallList;
    gzFile compressed = gzopen(dir.file("whole.gz").c_str(), "wb");
    ASSERT_NE(compressed, nullptr);
    gzwrite(compressed, list.data(), static_cast<unsigned>(list.size()));
    gzclose(compressed);
    const std::string whole = readFile(dir.file("whole.gz"));
    for (const std::size_t size : {std::size_t{5}, whole.size() / 2, whole.size() - 8, whole.size() - 1}) {
        const std::string path = dir.write("cut.gz", whole.substr(0, size));
        std::string read, error;
        EXPECT_FALSE(readListFile(path, read, error)) << size;
        EXPECT_NE(error.find("truncated"), std::string::npos) << size << ": " << error;
    }
    std::string read, error;
    EXPECT_TRUE(readListFile(dir.file("whole.gz"), read, error)) << error;
    EXPECT_EQ(read, list);
}

// Each malformed line once took a text of its own: 64 MiB of them, 2 GB.
// The first ones are kept to be said, the others counted.
TEST(Updater, MalformedLinesBeyondTheFirstThousandAreCounted)
{
    std::string list = "1234  V\n";
    for (int i = 0; i < 1500; ++i)
        list += "\t" + std::to_string(1000 + i) + "  D\n\tmalformed\n";
    const Conversion conversion = convertPciIds(list);
    EXPECT_EQ(conversion.malformedLines, 1500u);
    EXPECT_EQ(conversion.problems.size(), Conversion::maxProblemsKept);
    EXPECT_EQ(conversion.problems.back(), "line 2001: not a device line");
    EXPECT_TRUE(conversion.isPciIds());
}

// Only nothing, a regular file or a link to one (or to nothing) is replaced.
TEST(Updater, ReplacesOnlyFilesAndLinks)
{
    TempDir dir;
    dir.write("file", "old\n");
    dir.write("directory/inside", "");
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.file("file"), dir.file("link-to-file"));
    std::filesystem::create_symlink(dir.file("missing"), dir.file("link-to-nothing"));
    std::filesystem::create_symlink("/dev/null", dir.file("link-to-device"));
    std::filesystem::create_symlink(dir.file("fifo"), dir.file("link-to-fifo"));
    const std::pair<std::string, const char*> cases[] = {
        {"missing", nullptr},
        {"file", nullptr},
        {"link-to-file", nullptr},
        {"link-to-nothing", nullptr},
        {"directory", "a directory, not a file"},
        {"directory/", "a directory, not a file"},
        {"fifo", "a FIFO, not a file"},
        {"link-to-device", "a symbolic link to a character device, not to a file"},
        {"link-to-fifo", "a symbolic link to a FIFO, not to a file"},
        {"file/", "Not a directory"},
    };
    for (const auto& [name, refusal] : cases) {
        std::string error;
        EXPECT_EQ(platform::replaceableFile(dir.file(name), error), !refusal) << name;
        if (refusal) {
            EXPECT_NE(error.find(refusal), std::string::npos) << name << ": " << error;
        }
    }
    std::string error;
    EXPECT_FALSE(platform::replaceableFile("/dev/null", error));
    EXPECT_EQ(error, "cannot write /dev/null: a character device, not a file");
    EXPECT_FALSE(platform::replaceFile(dir.file("fifo"), "new\n", error));
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("fifo")));
}

// A name of 255 bytes, the most a directory entry holds: the temporary name
// is a short one of its own.
TEST(Updater, ReplacesAFileOfTheLongestName)
{
    TempDir dir;
    const std::string path = dir.write(std::string(255, 'd'), "old\n");
    std::string error;
    ASSERT_TRUE(platform::replaceFile(path, "new\n", error)) << error;
    EXPECT_EQ(readFile(path), "new\n");
}

// The file written has the mode any new file gets under the umask, or that
// of the file it replaces.
struct ModeCase {
    mode_t umask;
    int existing;  // the mode of the file replaced; -1: none there
    mode_t expected;
};

class OutputMode : public testing::TestWithParam<ModeCase> {};

TEST_P(OutputMode, IsTheUmasksOrTheReplacedFiles)
{
    TempDir dir;
    const std::string path = dir.file("devices.lst");
    if (GetParam().existing >= 0) {
        dir.write("devices.lst", "old\n");
        ASSERT_EQ(chmod(path.c_str(), static_cast<mode_t>(GetParam().existing)), 0);
    }
    const mode_t previous = umask(GetParam().umask);
    std::string error;
    const bool replaced = platform::replaceFile(path, "new\n", error);
    umask(previous);
    ASSERT_TRUE(replaced) << error;
    struct stat written;
    ASSERT_EQ(stat(path.c_str(), &written), 0);
    EXPECT_EQ(written.st_mode & 07777, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Updater, OutputMode, testing::Values(
    ModeCase{022, -1, 0644}, ModeCase{027, -1, 0640}, ModeCase{077, -1, 0600}, ModeCase{0, -1, 0666},
    ModeCase{022, 0600, 0600}, ModeCase{077, 0664, 0664}, ModeCase{022, 0444, 0444}));

TEST(Updater, KilledBeforeTheRenameLeavesTheOldFileWhole)
{
    TempDir dir;
    const std::string old = "\"0x1\",\"0x2\",\"old\",\"\",\"\"\n";
    const std::string path = dir.write("devices.lst", old);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        platform::replaceFile(path, std::string(1 << 20, 'x'), error, [] { raise(SIGKILL); });
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(readFile(path), old);
}

// Every device of this machine that the system's pci.ids names is found,
// with the identifiers its key name gives, and carries that name.
TEST(Updater, FindsEveryNamedDeviceOfThisMachine)
{
    const char* systemList = "/usr/share/misc/pci.ids";
    if (!std::filesystem::exists(systemList) || !std::filesystem::exists("/sys/bus/pci/devices"))
        GTEST_SKIP() << "no pci.ids or no PCI devices here";
    std::string list, error;
    ASSERT_TRUE(readListFile(systemList, list, error)) << error;
    TempDir dir;
    ASSERT_TRUE(platform::replaceFile(dir.file("devices.lst"), convertPciIds(list).devicesList, error)) << error;
    const HardwareDatabase database = loadQuietly(dir.file("devices.lst"));

    const PciIdsNames names(list);
    int named = 0;
    for (const auto& device : LibpciDevices({"", systemList, false}).readDevices()) {
        if (!names.device(*device->ids.vendor, *device->ids.device))
            continue;
        ++named;
        std::string deviceName = device->description;
        for (char& c : deviceName)
            if (c == '"') c = '\'';
        const HardwareEntry* found = database.find(device->entry.vendorId, device->entry.deviceId);
        ASSERT_NE(found, nullptr) << device->keyName;
        EXPECT_EQ(found->text3, deviceName) << device->keyName;
    }
    std::printf("%d named devices of this machine found\n", named);
}

// A devices.lst written where Corvane would read it before the installed
// copy is said in one line; the installed copy itself, by any name, and
// files Corvane does not read are not.
struct InstalledCopyCase {
    const char* written;  // below the test's directory, where system/devices.lst is the installed copy
    const char* folderNamed;  // in the note; null: no note
};

class InstalledCopy : public testing::TestWithParam<InstalledCopyCase> {};

TEST_P(InstalledCopy, IsNamedWhenAnotherCopyWouldBeReadInstead)
{
    TempDir dir;
    const std::string installed = dir.write("system/devices.lst", "installed\n");
    std::filesystem::create_directory_symlink(dir.file("system"), dir.file("link-to-system"));
    const std::string written = dir.write(GetParam().written, "written\n");
    const std::string note = installedCopyNote(written, installed);
    if (!GetParam().folderNamed)
        EXPECT_EQ(note, "");
    else
        EXPECT_EQ(note, "Corvane started in " + dir.file(GetParam().folderNamed) + " will read this copy, not " +
                            installed + ", and dpkg will not update it");
    std::remove(installed.c_str());
    EXPECT_EQ(installedCopyNote(written, installed), "") << "without an installed copy";
}

INSTANTIATE_TEST_SUITE_P(Updater, InstalledCopy, testing::Values(
    InstalledCopyCase{"work/devices.lst", "work"},
    InstalledCopyCase{"work/../other/./devices.lst", "other"},
    InstalledCopyCase{"work/other.lst", nullptr},
    InstalledCopyCase{"system/devices.lst", nullptr},
    InstalledCopyCase{"link-to-system/devices.lst", nullptr},
    InstalledCopyCase{"system/../system/devices.lst", nullptr}));

// The program itself: arguments, status and what it leaves behind.
class UpdaterProgram : public testing::Test {
protected:
    int run(const std::string& arguments, std::string* output = nullptr)
    {
        const std::string command = "cd '" + dir.path() + "' && '" CORVANE_UPDATE "' " + arguments +
                                    " >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        if (output)
            *output = readFile(dir.file("out.txt")) + readFile(dir.file("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    TempDir dir;
};

TEST_F(UpdaterProgram, WritesDevicesListAndOneSummaryLine)
{
    dir.write("pci.ids", smallList);
    std::string output;
    EXPECT_EQ(run("--input pci.ids", &output), 0);
    EXPECT_EQ(readFile(dir.file("devices.lst")), smallListConverted);
    EXPECT_NE(output.find("4 vendors, 5 devices, 2 lines changed"), std::string::npos) << output;
    EXPECT_NE(output.find("version 2023.04.10"), std::string::npos) << output;
    EXPECT_NE(output.find("line 20: not a vendor line"), std::string::npos) << output;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"devices.lst", "err.txt", "out.txt", "pci.ids"})) << "a temporary file left";
}

// Inputs that would make a partial or an empty database: status 1, one
// line naming the input, the old file kept.
TEST_F(UpdaterProgram, AnInputThatIsNoWholeListLeavesTheOldFile)
{
    gzFile compressed = gzopen(dir.file("whole.gz").c_str(), "wb");
    ASSERT_NE(compressed, nullptr);
    gzwrite(compressed, smallList, static_cast<unsigned>(std::strlen(smallList)));
    gzclose(compressed);
    const std::string whole = readFile(dir.file("whole.gz"));
    dir.write("cut.gz", whole.substr(0, whole.size() - 4));
    dir.write("empty", "");
    dir.write("devices.lst", smallListConverted);
    // 400 kB that inflate to a comment line of 100 MB, or to 65 MiB of comment lines, before the list.
    writeCompressed(dir.file("long-line.gz"), "# ", std::string(1 << 20, 'x'), 100, "\n" + std::string(smallList));
    std::string commentLines;
    for (int i = 0; i < 1024; ++i)
        commentLines += "#" + std::string(1022, 'x') + "\n";
    writeCompressed(dir.file("large.gz"), "", commentLines, 65, smallList);
    // A vendor's name of 1 MB again on each of 300 device lines: 300 MB of devices.lst.
    std::string wide = "1234  " + std::string(1000000, 'v') + "\n";
    for (int i = 0; i < 300; ++i)
        wide += "\t" + std::to_string(1000 + i) + "  d\n";
    dir.write("wide.ids", wide);
    const std::pair<const char*, const char*> cases[] = {
        {"cut.gz", "corvane-update: cannot read cut.gz: truncated: the compressed data end before the end of their gzip stream\n"},
        {"long-line.gz", "corvane-update: cannot read long-line.gz: its line 1 is longer than 1 MiB, far longer than a "
                         "PCI ID list's lines\n"},
        {"large.gz", "corvane-update: cannot read large.gz: it holds more than 64 MiB of text, far more than a PCI ID "
                     "list\n"},
        {"wide.ids", "corvane-update: wide.ids would make a devices.lst of more than 256 MiB, more than Corvane reads: "
                     "devices.lst was not written\n"},
        {"devices.lst", "corvane-update: devices.lst is not a PCI ID list (0 vendors, 0 devices, 5 malformed lines): "
                        "devices.lst was not written\n"},
        {"empty", "corvane-update: empty is not a PCI ID list (0 vendors, 0 devices, 0 malformed lines): "
                  "devices.lst was not written\n"},
    };
    for (const auto& [input, message] : cases) {
        std::string output;
        EXPECT_EQ(run(std::string("-i ") + input, &output), 1) << input;
        EXPECT_EQ(output, message);
        EXPECT_TRUE(readFile(dir.file("devices.lst")) == smallListConverted) << input;  // not printed: it may be huge
    }
}

// What cannot be replaced is said before the list is even read.
TEST_F(UpdaterProgram, AnOutputThatIsNoFileIsRefusedFirst)
{
    dir.write("a-directory/x", "");
    std::string output;
    EXPECT_EQ(run("-i missing.ids -o a-directory/", &output), 1);
    EXPECT_EQ(output, "corvane-update: cannot write a-directory/: a directory, not a file\n");
}

TEST_F(UpdaterProgram, UnreadableInputLeavesTheOldFile)
{
    dir.write("devices.lst", "old\n");
    dir.write("a-directory/x", "");
    for (const char* input : {"missing.ids", "a-directory"}) {
        EXPECT_EQ(run(std::string("-i ") + input + " -o devices.lst"), 1) << input;
        EXPECT_EQ(readFile(dir.file("devices.lst")), "old\n");
    }
}

// What the list says is printed as the programs show it; a summary that
// cannot be written is a failure, and the list is written whole all the same.
TEST_F(UpdaterProgram, ItsOutputIsShownAndChecked)
{
    dir.write("pci.ids", "#\tVersion: 1\x1b[2J\n1234  V\n\t0001  D\n");
    std::string output;
    EXPECT_EQ(run("-i pci.ids", &output), 0);
    EXPECT_NE(output.find("pci.ids version 1\\x1b[2J, in "), std::string::npos) << output;
    EXPECT_EQ(readFile(dir.file("devices.lst")), "\"0x1234\",\"0x0001\",\"V\",\"pci.ids 1\\x1b[2J\",\"D\"\n");

    std::remove(dir.file("devices.lst").c_str());
    const std::string command = "cd '" + dir.path() + "' && '" CORVANE_UPDATE "' -i pci.ids >/dev/full 2>err.txt";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_EQ(readFile(dir.file("err.txt")), "corvane-update: cannot write standard output: No space left on device\n");
    EXPECT_EQ(readFile(dir.file("devices.lst")), "\"0x1234\",\"0x0001\",\"V\",\"pci.ids 1\\x1b[2J\",\"D\"\n");
}

TEST_F(UpdaterProgram, ArgumentsAreChecked)
{
    std::string output;
    EXPECT_EQ(run("--help", &output), 0);
    EXPECT_NE(output.find("Usage: corvane-update"), std::string::npos);
    EXPECT_EQ(run("--frobnicate", &output), 2);
    EXPECT_NE(output.find("unknown argument '--frobnicate'"), std::string::npos);
    EXPECT_EQ(run("--output", &output), 2);
    EXPECT_NE(output.find("--output needs a file name"), std::string::npos);
    EXPECT_EQ(run("--system --output other.lst", &output), 2);
    EXPECT_NE(output.find("--system and --output name two files"), std::string::npos);
    EXPECT_EQ(run("-V", &output), 0);
    EXPECT_EQ(output, "corvane-update (Corvane) 1.5.1\n");
    EXPECT_EQ(run("-o -", &output), 2);
    EXPECT_NE(output.find("-o '-': standard input and output are not supported"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("devices.lst")));
}

}
