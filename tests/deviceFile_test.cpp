// SPDX-License-Identifier: GPL-2.0-or-later
// Files of another machine's devices: what is read, and the errors that
// name the file.
#include "TempDir.h"
#include "deviceFile.h"
#include "flException.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <string>
#include <utility>

namespace {

const std::string dump = "00:00.0 Host bridge: Intel Corporation 440FX\n"
                         "00: 86 80 37 12 00 00 00 00 02 00 00 06 00 00 00 00\n";

struct ErrorCase {
    const char* name;     // written below the test's directory unless null
    std::string content;
    std::string message;  // with FILE for the file's path
};

class Errors : public testing::TestWithParam<ErrorCase> {};

TEST_P(Errors, NameTheFile)
{
    TempDir dir;
    const ErrorCase& c = GetParam();
    const std::string path = c.name ? dir.write(c.name, c.content) : dir.file("missing.reg");
    std::string expected = c.message;
    expected.replace(expected.find("FILE"), 4, path);
    try {
        readDeviceFile(path);
        ADD_FAILURE() << "nothing raised";
    } catch (const flException& failure) {
        EXPECT_EQ(failure.message, expected);
        EXPECT_TRUE(failure.userFacing);
    }
}

INSTANTIATE_TEST_SUITE_P(DeviceFile, Errors, testing::Values(
    ErrorCase{"empty", "", "FILE is neither a Windows registry export, a registry hive nor an lspci dump"},
    ErrorCase{"text.txt", "Hello\n00: 86 80\n", "FILE is neither a Windows registry export, a registry hive nor an lspci dump"},
    ErrorCase{"other.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\x]\r\n\"a\"=\"b\"\r\n",
              "FILE holds no PCI devices: it has no key HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI"}
#ifdef _WIN32
    , ErrorCase{"dump.txt", dump, "FILE is an lspci dump from Linux: only Corvane on Linux reads those"}
#else
    // libpci's own words follow.
    , ErrorCase{"bad.txt", dump + "10: 00 zz\n", "Failed to read FILE as an lspci dump: dump: Malformed line"},
    ErrorCase{"cut.txt", dump + "10: 00", "Failed to read FILE as an lspci dump: dump: line too long or unterminated"}
#endif
    ));

// The document's words, then the system's reason (its words differ from
// system to system).
TEST(DeviceFile, AFileThatCannotBeOpenedIsSaidWithTheReason)
{
    TempDir dir;
    const std::pair<std::string, const char*> cases[] = {{dir.file("missing.reg"), "No such file or directory"},
                                                          {dir.path(), "Is a directory"}};
    for (const auto& [path, reason] : cases) {
        try {
            readDeviceFile(path);
            ADD_FAILURE() << "nothing raised";
        } catch (const flException& failure) {
            const std::string words = "Failed to open " + path + " for read accesss ";
            EXPECT_EQ(failure.message.substr(0, words.size()), words);
#ifdef _WIN32
            EXPECT_EQ(failure.message.find_first_of("()", words.size()), words.size()) << failure.message;
            EXPECT_EQ(failure.message.back(), ')') << failure.message;
#else
            EXPECT_EQ(failure.message.substr(words.size()), std::string("(") + reason + ")");
#endif
        }
    }
}

#ifndef _WIN32
TEST(DeviceFile, AFifoIsRefusedWithoutWaitingForAWriter)
{
    TempDir dir;
    const std::string path = dir.file("fifo");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    try {
        readDeviceFile(path);
        ADD_FAILURE() << "nothing raised";
    } catch (const flException& failure) {
        EXPECT_EQ(failure.message, path + " is not a regular file");
    }
}

// libpci is handed the dump that was opened and checked, never its name
// again: a FIFO put in its place meanwhile is not waited on.
TEST(DeviceFile, ADumpIsReadAsItWasOpened)
{
    TempDir dir;
    const std::string path = dir.write("dump.txt", dump);
    const platform::OpenedFile opened = platform::openRegularFile(path.c_str());
    ASSERT_TRUE(opened.file);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const auto source = lspciDumpDevices(opened, path);
    ASSERT_TRUE(source);
    const DeviceRecords devices = source->readDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]->location, "0000:00:00.0");
}

TEST(DeviceFile, ADumpIsReadThroughLibpci)
{
    TempDir dir;
    const DeviceFile file = readDeviceFile(dir.write("dump.txt", dump));
    const DeviceRecords devices = file.source->readDevices();
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices[0]->identity(), "0000:00:00.0");
    EXPECT_EQ(devices[0]->ids.subsystem, 0xFFFF);              // bytes the dump lacks read as ff
    EXPECT_EQ(devices[0]->driverState, DriverState::unknown);  // a dump records no drivers
    EXPECT_EQ(devices[0]->recordedBy, RecordedBy::lspciDump);
}

// Reads give copies; the one taking them (a listing, the window) gets the
// records themselves, and the source keeps none.
TEST(DeviceFile, ADumpsDevicesAreCopiedOrHandedOver)
{
    TempDir dir;
    const DeviceFile file = readDeviceFile(dir.write("dump.txt", dump));
    const DeviceRecords read = file.source->readDevices();
    ASSERT_EQ(file.source->readDevices().size(), read.size());
    const DeviceRecords taken = file.source->takeDevices();
    ASSERT_EQ(taken.size(), read.size());
    EXPECT_EQ(taken[0]->identity(), read[0]->identity());
    EXPECT_TRUE(file.source->takeDevices().empty());
}
#endif

TEST(DeviceFile, ARegistryExportCountsItsSkippedLines)
{
    TempDir dir;
    const DeviceFile file = readDeviceFile(dir.write("export.reg",
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1\\0]\r\nbad\r\nworse\r\n"));
    EXPECT_EQ(file.skippedLines, 2u);
    EXPECT_EQ(skippedLinesNotice("x.reg", 2), "2 malformed lines of x.reg were skipped.");
    EXPECT_EQ(skippedLinesNotice("x.reg", 1), "1 malformed line of x.reg was skipped.");
}

// An export whose devices' keys do not come one device after another is read
// again whole: a later line still wins, and bad lines count once.
TEST(DeviceFile, ARegistryExportIsReadWholeWhenADevicesKeysComeBack)
{
    TempDir dir;
    const std::string pci = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\";
    const std::string first = pci + "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\1]\r\n";
    DeviceFile file = readDeviceFile(dir.write("export.reg", "REGEDIT4\r\n\r\n" + first + "\"Service\"=\"early\"\r\nbad\r\n" +
        pci + "VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06\\1]\r\n\"Service\"=\"r8168\"\r\n" + first +
        "\"Service\"=\"later\"\r\n"));
    EXPECT_EQ(file.skippedLines, 1u);
    const DeviceRecords devices = file.source->takeDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->driver, "later");
    EXPECT_EQ(devices[1]->driver, "r8168");
}

struct DumpCase {
    std::string head;
    bool isDump;
};

class Dumps : public testing::TestWithParam<DumpCase> {};

TEST_P(Dumps, AreToldByAnAddressLineAndTheFirstLineOfBytes)
{
    EXPECT_EQ(looksLikeLspciDump(GetParam().head), GetParam().isDump);
}

INSTANTIATE_TEST_SUITE_P(DeviceFile, Dumps, testing::Values(
    DumpCase{dump, true},
    DumpCase{"\n0000:00:1f.3 Audio device: Intel\n\tSubsystem: x\n00: 86 80 c8 a2\n", true},  // -D -v
    DumpCase{"10000:00:00.0 x\n00: 86 80\n", true},
    DumpCase{"00:00.0 Host bridge: Intel Corporation 440FX\n", false},  // lspci without -x
    DumpCase{"00:00.8 x\n00: 86 80\n", false},
    DumpCase{"Hello\n00:00.0 x\n00: 86 80\n", false},
    DumpCase{"00:0g.0 x\n00: 86 80\n", false}));

}
