// SPDX-License-Identifier: GPL-2.0-or-later
// Registry hives: the base block checked before libhivex is handed a file,
// and hives read as the programs read them: the fuzz target's seed hive on
// every system (on Windows with the libhivex the build makes, under Wine),
// damaged ones, which are errors naming the file, and (on Linux) hives made
// from .reg files by tests/support/make-hive.sh: the control set chosen, a
// hive Windows did not close cleanly.
#include "TempDir.h"
#include "deviceFile.h"
#include "flException.h"
#include "hardware.h"
#include "pciScan.h"
#include "registryHive.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

void putLittleEndian32(std::string& bytes, std::size_t at, std::uint32_t number)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(number >> (8 * i));
}

std::uint32_t littleEndian32(const std::string& bytes, std::size_t at)
{
    std::uint32_t number = 0;
    for (int i = 4; i-- > 0;)
        number = number << 8 | static_cast<unsigned char>(bytes[at + i]);
    return number;
}

// Sets the base block's checksum right after a change.
void fixChecksum(std::string& hive)
{
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < 0x1FC; at += 4)
        sum ^= littleEndian32(hive, at);
    putLittleEndian32(hive, 0x1FC, sum);
}

struct Fields {
    std::uint32_t primary = 7, secondary = 7, major = 1, fileType = 0, binsSize = 4096, rootCell = 0x20;
};

std::string baseBlock(const Fields& fields)
{
    std::string block(registryHive::baseBlockSize, '\0');
    block.replace(0, 4, "regf");
    putLittleEndian32(block, 0x04, fields.primary);
    putLittleEndian32(block, 0x08, fields.secondary);
    putLittleEndian32(block, 0x14, fields.major);
    putLittleEndian32(block, 0x18, 5);
    putLittleEndian32(block, 0x1C, fields.fileType);
    putLittleEndian32(block, 0x20, 1);
    putLittleEndian32(block, 0x24, fields.rootCell);
    putLittleEndian32(block, 0x28, fields.binsSize);
    fixChecksum(block);
    return block;
}

struct BlockCase {
    const char* name;
    std::string block;
    std::uint64_t fileSize;
    std::string problem;  // empty: sound
    bool cleanlyClosed;
};

class BaseBlocks : public testing::TestWithParam<BlockCase> {};

TEST_P(BaseBlocks, AreCheckedBeforeTheHiveIsRead)
{
    const BlockCase& c = GetParam();
    std::string problem;
    const auto block = registryHive::checkBaseBlock(c.block, c.fileSize, problem);
    EXPECT_EQ(problem, c.problem);
    ASSERT_EQ(block.has_value(), c.problem.empty());
    if (block) {
        EXPECT_EQ(block->cleanlyClosed, c.cleanlyClosed);
        EXPECT_EQ(block->hiveSize, 8192u);  // bytes beyond the bins are not the hive's
    }
}

std::string withChecksumBroken()
{
    std::string block = baseBlock({});
    block[0x40] ^= 1;
    return block;
}

INSTANTIATE_TEST_SUITE_P(Hive, BaseBlocks, testing::Values(
    BlockCase{"sound", baseBlock({}), 8192, "", true},
    BlockCase{"trailingBytes", baseBlock({}), 20000, "", true},
    BlockCase{"sequencesDiffer", baseBlock({8, 7}), 8192, "", false},
    BlockCase{"shortHeader", baseBlock({}).substr(0, 100), 100, "it is cut short within its header", true},
    BlockCase{"binsBeyondTheFile", baseBlock({7, 7, 1, 0, 8192}), 8192,
              "it is cut short: its header announces 12288 bytes, the file holds 8192", true},
    BlockCase{"checksum", withChecksumBroken(), 8192, "its header is damaged (its checksum does not match)", true},
    BlockCase{"version", baseBlock({7, 7, 2}), 8192, "its format version 2.5 is not one Windows writes", true},
    BlockCase{"log", baseBlock({7, 7, 1, 2}), 8192,
              "it is a transaction log (.LOG1, .LOG2), not a hive: open the hive beside it", true},
    BlockCase{"noBins", baseBlock({7, 7, 1, 0, 0}), 8192,
              "its header is damaged (it announces 0 bytes of keys, the first key at 32)", true},
    BlockCase{"oddBins", baseBlock({7, 7, 1, 0, 4095}), 8192,
              "its header is damaged (it announces 4095 bytes of keys, the first key at 32)", true},
    BlockCase{"beyondAddresses", baseBlock({7, 7, 1, 0, 0x80001000}), 0x80002000,
              "its header announces 2147487744 bytes of keys, more than a hive can address", true},
    BlockCase{"rootOutside", baseBlock({7, 7, 1, 0, 4096, 4096}), 8192,
              "its header is damaged (it announces 4096 bytes of keys, the first key at 4096)", true}),
    [](const auto& info) { return std::string(info.param.name); });

class Hives : public testing::Test {
protected:
    // The fuzz target's seed: a hive of two control sets, Select\Current
    // naming the first, whose two devices' descriptions are seedDevices.
    static std::string seedHive()
    {
        return readFile(CORVANE_SOURCE_DIR "/tests/fuzz/corpus/fuzz_hive/two-control-sets").substr(1);
    }
    static constexpr const char* seedDevices = "Мост PCI,Intel(R) 82574L Gigabit Network Connection";
#ifndef _WIN32
    // The hive make-hive.sh makes of `reg`, as bytes.
    std::string hiveOf(const std::string& reg)
    {
        const std::string regPath = dir.write("in.reg", reg), hivePath = dir.file("made.hive");
        const std::string command =
            "bash '" CORVANE_SOURCE_DIR "/tests/support/make-hive.sh' '" + regPath + "' '" + hivePath + "'";
        if (std::system(command.c_str()) != 0)
            ADD_FAILURE() << "make-hive.sh failed: " << command;
        return readFile(hivePath);
    }
#endif
    // The descriptions of the devices the file's registry holds, as the scan reads them.
    std::string descriptions(const DeviceFile& file)
    {
        const HardwareDatabase database(dir.write("devices.lst", ""), false);
        std::string shown;
        for (const auto& device : readDevices(*file.source, database))
            shown += (shown.empty() ? "" : ",") + device->description;
        return shown;
    }
    // The error reading `bytes` as the file `name` raises; empty when it reads.
    std::string errorOf(const std::string& bytes, const std::string& name = "SYSTEM")
    {
        return errorReading(dir.write(name, bytes));
    }
    std::string errorReading(const std::string& path)
    {
        try {
            const DeviceFile file = readDeviceFile(path);
            descriptions(file);
            return std::string();
        } catch (const flException& failure) {
            return failure.message;
        }
    }

    TempDir dir;
};

TEST_F(Hives, AreReadAlikeOnEverySystem)
{
    const std::string path = dir.write("SYSTEM", seedHive());
    const DeviceFile file = readDeviceFile(path);
    EXPECT_EQ(descriptions(file), seedDevices);
    EXPECT_FALSE(file.uncleanHive);
}

int processId()
{
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
}

// A hive's private copy is gone once it is read, damaged or not (on Windows
// a temporary file named after this process that the system deletes when
// its last handle closes).
TEST_F(Hives, LeaveNoCopyBehind)
{
    const auto copies = [] {
        const std::string ours = "corvane-" + std::to_string(processId()) + "-";
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
            count += entry.path().filename().string().rfind(ours, 0) == 0;
        return count;
    };
    std::string damaged = seedHive();
    damaged.replace(4096 + 32, 64, 64, '\xFF');
    EXPECT_EQ(errorOf(seedHive()), "");
    EXPECT_NE(errorOf(damaged, "damaged"), "");
    EXPECT_EQ(copies(), 0u);
}

#ifndef _WIN32
const std::string deviceA = "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00";
const std::string deviceB = "VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06";

// A .reg of a SYSTEM hive: header, then the keys given.
std::string exportOf(const std::string& keys)
{
    return "Windows Registry Editor Version 5.00\n\n" + keys;
}

std::string deviceIn(const std::string& controlSet, const std::string& device, const std::string& description)
{
    return "[HKEY_LOCAL_MACHINE\\SYSTEM\\" + controlSet + "\\Enum\\PCI\\" + device + "\\3&1&0&C8]\n"
           "\"Class\"=\"Net\"\n\"DeviceDesc\"=\"@net.inf,%x%;" + description + "\"\n"
           "\"ConfigFlags\"=dword:00000000\n\n";
}

struct ControlSetCase {
    const char* name;
    const char* select;  // the values of SYSTEM\Select
    const char* shown;
};

class ControlSets : public Hives, public testing::WithParamInterface<ControlSetCase> {};

TEST_P(ControlSets, AreChosenAsWindowsStartsWithThem)
{
    const std::string reg = exportOf(deviceIn("ControlSet001", deviceA, "One") +
                                     deviceIn("ControlSet002", deviceB, "Two") +
                                     "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet003\\Services]\n\n" +
                                     "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n" + GetParam().select + "\n");
    const std::string path = dir.write("SYSTEM", hiveOf(reg));
    const DeviceFile file = readDeviceFile(path);
    EXPECT_EQ(descriptions(file), GetParam().shown);
    EXPECT_FALSE(file.uncleanHive);
    EXPECT_EQ(noticeOf(path, file), "");
}

INSTANTIATE_TEST_SUITE_P(Hive, ControlSets, testing::Values(
    ControlSetCase{"current", "\"Current\"=dword:00000002\n\"Default\"=dword:00000001", "Two"},
    ControlSetCase{"defaultWhenCurrentHasNoBranch", "\"Current\"=dword:00000003\n\"Default\"=dword:00000002", "Two"},
    ControlSetCase{"firstWhenNeitherExists", "\"Current\"=dword:00000009\n\"Default\"=dword:00000008", "One"},
    ControlSetCase{"firstWithoutANumber", "\"Current\"=\"2\"", "One"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Hives, NotClosedCleanlyIsReadWithANotice)
{
    std::string hive = hiveOf(exportOf(deviceIn("ControlSet001", deviceA, "Café")));
    putLittleEndian32(hive, 0x04, littleEndian32(hive, 0x08) + 1);
    fixChecksum(hive);
    const std::string path = dir.write("SYSTEM", hive);
    const DeviceFile file = readDeviceFile(path);
    EXPECT_EQ(descriptions(file), "Café");
    EXPECT_TRUE(file.uncleanHive);
    EXPECT_EQ(noticeOf(path, file),
              path + " was not closed cleanly by Windows:\nthe devices shown may be older than the machine's "
                     "last state.\nThe changes its transaction logs (.LOG1, .LOG2) hold are not read.");
}

TEST_F(Hives, OfAnotherKindHoldNoPciDevices)
{
    const std::string hive = hiveOf(exportOf("[HKEY_LOCAL_MACHINE\\SYSTEM\\Microsoft\\Windows]\n\"a\"=\"b\"\n\n"));
    EXPECT_EQ(errorOf(hive, "NTUSER.DAT"),
              dir.file("NTUSER.DAT") + " holds no PCI devices: it has no key ControlSetNNN\\Enum\\PCI");
}

#endif

TEST_F(Hives, DamagedOnesAreErrorsNamingTheFile)
{
    const std::string hive = seedHive();
    const std::string path = dir.write("SYSTEM", hive), failed = "Failed to read " + path + " as a registry hive: ";
    EXPECT_EQ(errorOf(hive.substr(0, 3000)), failed + "it is cut short within its header");
    EXPECT_EQ(errorOf(hive.substr(0, hive.size() - 4096)),
              failed + "it is cut short: its header announces " + std::to_string(hive.size()) +
                  " bytes, the file holds " + std::to_string(hive.size() - 4096));
    EXPECT_EQ(errorOf(std::string(hive.size(), '\0')),
              path + " is neither a Windows registry export, a registry hive nor an lspci dump");
    std::string binZeroed = hive;
    binZeroed.replace(4096, 4096, 4096, '\0');
    EXPECT_EQ(errorOf(binZeroed), failed + "it is damaged: its header announces " + std::to_string(hive.size()) +
                                      " bytes, but no hive bin starts at byte 4096");
    std::string binTooLong = hive;
    putLittleEndian32(binTooLong, 4096 + 8, static_cast<std::uint32_t>(hive.size()));
    EXPECT_EQ(errorOf(binTooLong), failed + "it is damaged: the hive bin at byte 4096 says it is " +
                                       std::to_string(hive.size()) + " bytes long");

    // Every change of a byte here and there: read, or an error that names the file.
    const std::function<void(std::string&, std::size_t)> changes[] = {
        [](std::string& bytes, std::size_t at) { bytes[at] = static_cast<char>(bytes[at] ^ (1 << at % 8)); },
        [](std::string& bytes, std::size_t at) { bytes.replace(at, 16, std::string(16, '\0')); },
        [](std::string& bytes, std::size_t at) { bytes[at] = static_cast<char>(0xFF); },
    };
    for (const auto& change : changes) {
        for (std::size_t at = 0; at + 16 < hive.size(); at += 37) {
            std::string changed = hive;
            change(changed, at);
            if (at < 0x1FC)
                fixChecksum(changed);  // so that libhivex is handed the change
            const std::string error = errorOf(changed);
            EXPECT_TRUE(error.empty() || error.find(path) != std::string::npos) << "at " << at << ": " << error;
        }
    }
}
// A header announcing 2 GiB of bins over a file of a few kilobytes and a
// hole: the copy for libhivex once took 2 GiB of memory before it refused the
// hive. The copy stops at the first bin missing, and a bin that claims the
// hole costs no memory (a hole in the copy).
TEST_F(Hives, BinsAnnouncedOverAHoleAreNotCopied)
{
    const std::string hive = seedHive();
    const std::uint32_t announced = 0x7ffff000;
    const auto sparse = [&](const std::string& name, std::string bytes) {
        putLittleEndian32(bytes, 0x28, announced);
        fixChecksum(bytes);
        const std::string path = dir.write(name, bytes);
        std::filesystem::resize_file(path, registryHive::baseBlockSize + announced);
        return path;
    };
    const std::string path = sparse("SYSTEM", hive);
    EXPECT_EQ(errorReading(path), "Failed to read " + path + " as a registry hive: it is damaged: its header "
                                  "announces 2147483648 bytes, but no hive bin starts at byte " +
                                      std::to_string(hive.size()));
    std::string oneBin = hive.substr(0, 8192);
    putLittleEndian32(oneBin, 4096 + 8, announced);
    const std::string claimed = sparse("claimed", oneBin);
    EXPECT_EQ(errorReading(claimed).rfind("Failed to read " + claimed + " as a registry hive: libhivex cannot open it", 0),
              0u);
}

}
