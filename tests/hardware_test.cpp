// SPDX-License-Identifier: GPL-2.0-or-later
#include "TempDir.h"
#include "flException.h"
#include "hardware.h"
#include "files.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct LineCase {
    const char* name;
    std::string line;
    std::vector<std::string> fields;  // vendorId, deviceId, text1, text2, text3
};

std::vector<std::string> fieldsOf(const HardwareEntry& entry)
{
    return {entry.getVendorId(), entry.getDeviceId(), entry.getText1(), entry.getText2(),
            entry.getText3()};
}

class LineAlgorithm : public testing::TestWithParam<LineCase> {};

TEST_P(LineAlgorithm, GivesTheFieldsByPosition)
{
    EXPECT_EQ(fieldsOf(HardwareEntry(GetParam().line)), GetParam().fields);
}

const LineCase lineCases[] = {
    {"Standard", R"("0x8086","0x10D3","Intel","Network","82574L")",
     {"0x8086", "0x10D3", "Intel", "Network", "82574L"}},
    {"AllEmpty", R"("","","","","")", {"", "", "", "", ""}},
    {"CommasAndBlanksKept", R"(" 0x8086","0x10D3 ","a, b","  ,","c ,d")",
     {" 0x8086", "0x10D3 ", "a, b", "  ,", "c ,d"}},
    {"TextAfterLastQuoteIgnored", "\"a\",\"b\",\"c\",\"d\",\"e\",remark\r", {"a", "b", "c", "d", "e"}},
    {"FifthUnclosedRunsToEnd", R"("a","b","c","d","e and more)", {"a", "b", "c", "d", "e and more"}},
    // A blank after the first comma shifts every later field by one character.
    {"BlankAfterFirstComma", R"("0x8086", "0x10D3","Intel","Network","82574L")",
     {"0x8086", "", "10D3", "Intel", "Network"}},
    {"FirstCharacterNotExamined", R"(#0x8086","0x10D3","t1","t2","t3")",
     {"0x8086", "0x10D3", "t1", "t2", "t3"}},
    {"OtherTwoCharacterSeparators", R"("a";;b"xyc"..d"--e")", {"a", "b", "c", "d", "e"}},
    {"SecondFieldUnclosed", R"("a","b and the rest)", {"a", "b and the rest", "", "", ""}},
    {"FirstFieldUnclosed", R"("abc)", {"abc", "", "", "", ""}},
    {"EndsRightAfterAQuote", R"("a","b")", {"a", "b", "", "", ""}},
    {"EndsOneAfterAQuote", R"("a","b",)", {"a", "b", "", "", ""}},
    {"StartsOnTheLastCharacter", R"("a","b","c","d",")", {"a", "b", "c", "d", ""}},
    {"OneCharacter", "\"", {"", "", "", "", ""}},
    {"TwoQuotes", "\"\"", {"", "", "", "", ""}},
    {"Empty", "", {"", "", "", "", ""}},
    {"BytesKept", "\"0x10de\",\"\xe9\xff\",\"caf\xc3\xa9\",\"%s%n\",\"\\\"", {"0x10de", "\xe9\xff", "caf\xc3\xa9", "%s%n", "\\"}},
};

INSTANTIATE_TEST_SUITE_P(Lines, LineAlgorithm, testing::ValuesIn(lineCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct KeyNameCase {
    std::string keyName;
    std::string vendorId, deviceId;
};

class KeyName : public testing::TestWithParam<KeyNameCase> {};

TEST_P(KeyName, TakesTheIdentifierPositions)
{
    HardwareEntry entry(R"("v","d","t1","t2","t3")");
    entry.setIdsFromKeyName(GetParam().keyName.c_str());
    EXPECT_EQ(entry.vendorId, GetParam().vendorId);
    EXPECT_EQ(entry.deviceId, GetParam().deviceId);
    EXPECT_EQ(entry.text1, "t1");
    EXPECT_EQ(entry.text2, "t2");
    EXPECT_EQ(entry.text3, "t3");
}

INSTANTIATE_TEST_SUITE_P(Names, KeyName, testing::Values(
    KeyNameCase{"", "0x", "0x"},
    KeyNameCase{"VEN_", "0x", "0x"},
    KeyNameCase{"VEN_80", "0x80", "0x"},
    KeyNameCase{"VEN_8086&", "0x8086", "0x"},          // 9: the scan skips these
    KeyNameCase{"VEN_8086&D", "0x8086", "0x"},         // 10
    KeyNameCase{"VEN_8086&DEV", "0x8086", "0x"},       // 12
    KeyNameCase{"VEN_8086&DEV_", "0x8086", "0x"},      // 13
    KeyNameCase{"VEN_8086&DEV_1", "0x8086", "0x1"},    // 14
    KeyNameCase{"VEN_8086&DEV_10D", "0x8086", "0x10D"},  // 16
    KeyNameCase{"VEN_8086&DEV_10D3", "0x8086", "0x10D3"},
    KeyNameCase{"VEN_8086&DEV_10D3&SUBSYS_00008086&REV_00", "0x8086", "0x10D3"},
    KeyNameCase{"ven_abcd&dev_ef01", "0xabcd", "0xef01"},
    KeyNameCase{"XXXX1234YYYYY5678", "0x1234", "0x5678"}));

TEST(KeyName, NullNameGivesBarePrefixes)
{
    HardwareEntry entry;
    entry.setIdsFromKeyName(nullptr);
    EXPECT_EQ(entry.vendorId, "0x");
    EXPECT_EQ(entry.deviceId, "0x");
}

TEST(KeyName, MatchesTheStandardLineOfTheSameDevice)
{
    HardwareEntry fromKey;
    fromKey.setIdsFromKeyName("VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06");
    const HardwareEntry fromLine(R"("0x10EC","0x8168","Realtek","","RTL8111")");
    EXPECT_EQ(fromKey.vendorId, fromLine.vendorId);
    EXPECT_EQ(fromKey.deviceId, fromLine.deviceId);
}

// --- the file ---------------------------------------------------------------

class DatabaseFile : public testing::Test {
protected:
    HardwareDatabase load(const std::string& bytes)
    {
        return HardwareDatabase(dir.write("devices.lst", bytes));
    }
    TempDir dir;
};

TEST_F(DatabaseFile, KeepsFileOrderAndFirstMatchWins)
{
    const auto db = load("\"0x1\",\"0x2\",\"first\",\"\",\"\"\n"
                         "\"0x3\",\"0x4\",\"other\",\"\",\"\"\n"
                         "\"0x1\",\"0x2\",\"second\",\"\",\"\"\n");
    EXPECT_EQ(db.size(), 3u);
    ASSERT_NE(db.find("0x1", "0x2"), nullptr);
    EXPECT_EQ(db.find("0x1", "0x2")->text1, "first");
    EXPECT_EQ(db.find("0x3", "0x4")->text1, "other");
}

TEST_F(DatabaseFile, ComparesBytesExactly)
{
    const auto db = load("\"0x10de\",\"0x1c82\",\"lower\",\"\",\"\"\n\"\",\"\",\"empty ids\",\"\",\"\"\n");
    EXPECT_EQ(db.find("0x10DE", "0x1C82"), nullptr);
    EXPECT_EQ(db.find("0x10de", "0x1c82 "), nullptr);
    EXPECT_EQ(db.find("0x10de", "0x1c8"), nullptr);
    ASSERT_NE(db.find("", ""), nullptr);
    EXPECT_EQ(db.find("", "")->text1, "empty ids");
    EXPECT_EQ(db.find("0x1c82", "0x10de"), nullptr);  // vendor first
}

TEST_F(DatabaseFile, LineEndsAndBlankLines)
{
    const std::vector<std::string> sameEntries = {
        "\"a\",\"b\",\"c\",\"d\",\"e\"\n\"f\",\"g\",\"h\",\"i\",\"j\"\n",
        "\"a\",\"b\",\"c\",\"d\",\"e\"\r\n\"f\",\"g\",\"h\",\"i\",\"j\"\r\n",
        "\"a\",\"b\",\"c\",\"d\",\"e\"\n\"f\",\"g\",\"h\",\"i\",\"j\"",
        "\n\n\"a\",\"b\",\"c\",\"d\",\"e\"\r\n\r\n\n\"f\",\"g\",\"h\",\"i\",\"j\"\n\n\r\n",
    };
    for (const std::string& bytes : sameEntries) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        const auto db = load(bytes);
        EXPECT_EQ(db.size(), 2u);
        ASSERT_NE(db.find("a", "b"), nullptr);
        EXPECT_EQ(db.find("a", "b")->text3, "e");
        ASSERT_NE(db.find("f", "g"), nullptr);
        EXPECT_EQ(db.find("f", "g")->text3, "j");
    }
}

TEST_F(DatabaseFile, CarriageReturnOnlyDroppedBeforeLineFeed)
{
    const auto db = load("\"a\",\"b\",\"c\",\"d\",\"e\r\"\n\"x\r\",\"y\",\"\",\"\",\"z\r");
    ASSERT_NE(db.find("a", "b"), nullptr);
    EXPECT_EQ(db.find("a", "b")->text3, "e\r");
    ASSERT_NE(db.find("x\r", "y"), nullptr);
    EXPECT_EQ(db.find("x\r", "y")->text3, "z\r");
}

TEST_F(DatabaseFile, EmptyFileGivesEmptyDatabase)
{
    const auto db = load("");
    EXPECT_EQ(db.size(), 0u);
    EXPECT_EQ(db.find("", ""), nullptr);
}

TEST_F(DatabaseFile, FirstLineIsAnEntry)
{
    const auto db = load("#0x1\",\"0x2\",\"header?\",\"\",\"\"\n");
    ASSERT_NE(db.find("0x1", "0x2"), nullptr);
}

TEST_F(DatabaseFile, AByteOrderMarkOnlyBeforeTheFirstLineIsSkipped)
{
    const auto db = load("\xEF\xBB\xBF\"0x1\",\"0x2\",\"first\",\"\",\"\"\n\xEF\xBB\xBF\"0x3\",\"0x4\",\"\",\"\",\"\"\n");
    EXPECT_EQ(db.size(), 2u);
    ASSERT_NE(db.find("0x1", "0x2"), nullptr);
    EXPECT_EQ(db.find("0x1", "0x2")->text1, "first");
    EXPECT_EQ(db.find("0x3", "0x4"), nullptr);  // a mark further on is a line's bytes
    EXPECT_EQ(HardwareDatabase(dir.write("mark-only.lst", "\xEF\xBB\xBF")).size(), 0u);  // db keeps its file mapped
}

TEST_F(DatabaseFile, ReadsLinesOfAnyLength)
{
    const std::string longText(100000, 'x');
    const auto db = load("\"a\",\"b\",\"" + longText + "\",\"d\",\"e\"\n\"f\",\"g\",\"\",\"\",\"\"\n");
    ASSERT_NE(db.find("a", "b"), nullptr);
    EXPECT_EQ(db.find("a", "b")->text1, longText);
    EXPECT_EQ(db.find("a", "b")->text3, "e");
    EXPECT_NE(db.find("f", "g"), nullptr);
}

TEST_F(DatabaseFile, WritesOneLineFeedToStandardOutput)
{
    for (const char* bytes : {"", "\"a\",\"b\",\"c\",\"d\",\"e\"\n\"f\",\"g\",\"h\",\"i\",\"j\"\n"}) {
        testing::internal::CaptureStdout();
        load(bytes);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
    }
}

// Lookups search the file a window of 256 KiB at a time: the line found is
// the first that matches, wherever it stands and whatever stands before it.
struct PlacedCase {
    const char* name;
    std::size_t offset;  // where the matching line starts, in filler lines
    std::string decoys;  // lines before it that must not match
};

class PlacedLine : public testing::TestWithParam<PlacedCase> {
protected:
    TempDir dir;
};

TEST_P(PlacedLine, IsFoundAndNothingBeforeIt)
{
    const std::string filler = "\"0x1111\",\"0x2222\",\"filler\",\"\",\"\"\n";
    std::string bytes;
    while (bytes.size() + filler.size() <= GetParam().offset)
        bytes += filler;
    bytes.append(GetParam().offset - bytes.size(), '#');  // a line of padding ends where the match starts
    if (!bytes.empty())
        bytes.back() = '\n';
    bytes += GetParam().decoys + "\"0x8086\",\"0x10D3\",\"found\",\"\",\"\"\n" + filler +
             "\"0x8086\",\"0x10D3\",\"later\",\"\",\"\"\n";
    testing::internal::CaptureStdout();
    const HardwareDatabase db(dir.write("devices.lst", bytes));
    testing::internal::GetCapturedStdout();
    const HardwareEntry* found = db.find("0x8086", "0x10D3");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->text1, "found");
    EXPECT_EQ(db.find("0x8086", "0x10D4"), nullptr);
    EXPECT_EQ(db.find("0x1111", "0x2222") != nullptr, bytes.find(filler) != std::string::npos);
}

const PlacedCase placedCases[] = {
    {"AtTheStart", 0, ""},
    {"AcrossTheFirstWindowsEnd", 256 * 1024 - 10, ""},
    {"RightAfterIt", 256 * 1024, ""},
    {"FarOn", 900 * 1024 + 7, ""},
    {"AfterNearMisses", 300 * 1024,
     "\"0x80861\",\"0x10D3\",\"longer vendor\",\"\",\"\"\n"
     "\"0x8086\",\"0x10D31\",\"longer device\",\"\",\"\"\n"
     "x\"0x8086\",\"0x10D3\",\"not at position 1\",\"\",\"\"\n"
     "\"0x8087\",\"0x10D3\",\"other vendor\",\"\",\"\"\n"
     "\"0x8086\"\n"
     "\"0x8086\",\"0x10d3\",\"small letters\",\"\",\"\"\n"},
};

INSTANTIATE_TEST_SUITE_P(Places, PlacedLine, testing::ValuesIn(placedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatabaseFile, OtherSeparatorsStillMatch)
{
    // Any two characters after a closing quote separate the fields.
    const auto db = load("\"0x8086\";;0x10D3\"--first\"\n\"0x8086\",\"0x10D3\",\"second\",\"\",\"\"\n");
    ASSERT_NE(db.find("0x8086", "0x10D3"), nullptr);
    EXPECT_EQ(db.find("0x8086", "0x10D3")->text1, "first");
}

// A released database maps the file again for a later lookup, as it is then;
// entries handed out before stay as they were.
TEST_F(DatabaseFile, LooksUpAgainAfterARelease)
{
    const auto db = load("\"a\",\"b\",\"first\",\"\",\"\"\n");
    const HardwareEntry* before = db.find("a", "b");
    ASSERT_NE(before, nullptr);
    db.release();
    dir.write("devices.lst", "\"x\",\"y\",\"\",\"\",\"\"\n\"a\",\"b\",\"changed\",\"\",\"\"\n");
    ASSERT_NE(db.find("a", "b"), nullptr);
    EXPECT_EQ(db.find("a", "b")->text1, "changed");
    EXPECT_EQ(before->text1, "first");
    db.release();
    std::remove(dir.file("devices.lst").c_str());
    EXPECT_EQ(db.find("x", "y"), nullptr);
}

void expectOpenFailure(const std::string& path)
{
    testing::internal::CaptureStdout();
    try {
        HardwareDatabase db(path);
        ADD_FAILURE() << "no exception for " << path;
    } catch (const flException& error) {
        EXPECT_EQ(error.message, "Failed to open " + path + " for read accesss ");
        EXPECT_STREQ(error.file, "core/hardware.cpp");
        EXPECT_GT(error.line, 0);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "nothing written before a failure";
}

TEST_F(DatabaseFile, MissingFileRaisesTheOpenFailure)
{
    expectOpenFailure(dir.file("devices.lst"));
}

// A sparse file takes no disk space: over the limit it is refused unread.
TEST_F(DatabaseFile, AFileOverTheLimitRaisesTheOpenFailure)
{
    const std::string path = dir.write("devices.lst", "\"0x1\",\"0x2\",\"\",\"\",\"\"\n");
    std::filesystem::resize_file(path, HardwareDatabase::maxFileBytes + 1);
    expectOpenFailure(path);
}

#ifdef __linux__
// A sysfs attribute of a device without autosuspend: a regular file whose
// read fails with EIO once opened.
TEST_F(DatabaseFile, ReadErrorRaisesTheReadFailure)
{
    const std::string path = "/sys/devices/software/power/autosuspend_delay_ms";
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    char byte;
    const bool readFails = probe && std::fread(&byte, 1, 1, probe) == 0 && std::ferror(probe);
    if (probe)
        std::fclose(probe);
    if (!readFails)
        GTEST_SKIP() << path << " reads here";
    testing::internal::CaptureStdout();
    try {
        HardwareDatabase db(path);
        ADD_FAILURE() << "no exception";
    } catch (const flException& error) {
        EXPECT_EQ(error.message, "Failed to read " + path);
        EXPECT_STREQ(error.file, "core/hardware.cpp");
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "no partial database announced";
}
#endif

// Only a regular file is a database. Anything else fails as a missing file
// does, and at once: a FIFO without a writer would hold the open for ever,
// a device like /dev/zero would be read without end. (The alarm ends the
// test if it waits all the same.)
TEST_F(DatabaseFile, AnythingButARegularFileRaisesTheOpenFailure)
{
    dir.write("directory/inside", "");
#ifdef _WIN32
    // DOS device names open as devices, not as disk files.
    const std::vector<std::string> paths = {dir.file("directory"), "NUL", "CON", "COM1"};
#else
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    dir.file("socket").copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_symlink("/dev/zero", dir.file("link-to-zero"));
    std::filesystem::create_symlink(dir.file("fifo"), dir.file("link-to-fifo"));
    const std::vector<std::string> paths = {dir.file("directory"), dir.file("fifo"),         dir.file("socket"),
                                            "/dev/null",           dir.file("link-to-zero"), dir.file("link-to-fifo")};
    alarm(60);
#endif
    for (const std::string& path : paths)
        expectOpenFailure(path);
#ifndef _WIN32
    alarm(0);
    close(listening);
#endif
}

// What is taken of a file stops at the size it had when it was opened,
// however it grows meanwhile: mapped, or read where it cannot be mapped (a pipe).
TEST(MappedFile, StopsAtTheSizeTheFileHadWhenOpened)
{
    TempDir dir;
    const std::string line = "\"0x1\",\"0x1\",\"\",\"\",\"\"\n";
    const std::string path = dir.write("devices.lst", line);
    const platform::OpenedFile opened = platform::openRegularFile(path.c_str());
    ASSERT_TRUE(opened.file);
    std::ofstream(path, std::ios::binary | std::ios::app) << line;
    MappedFile file;
    ASSERT_TRUE(file.load(opened.file.get(), MappedFile::mapOnUse, opened.size));
    EXPECT_TRUE(file.isMapped());
    EXPECT_EQ(file.bytes(), line);
#ifndef _WIN32
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], "0123456789", 10), 10);
    close(ends[1]);
    const platform::FilePointer pipeFile(fdopen(ends[0], "rb"));
    ASSERT_TRUE(file.load(pipeFile.get(), MappedFile::mapOnUse, 4));
    EXPECT_FALSE(file.isMapped());
    EXPECT_EQ(file.bytes(), "0123");
#endif
}

#ifndef _WIN32
// Another program changing the mapped file: cut short (its lost pages read as
// zeros instead of ending the program), written in place, or replaced by a
// new file under its name, which leaves the mapped one whole.
struct ChangeCase {
    const char* name;
    void (*change)(const std::string& path);
    bool intact;
};

class MappedFileChanged : public testing::TestWithParam<ChangeCase> {};

TEST_P(MappedFileChanged, ReadsOnAndSaysWhetherItIsTheFileStill)
{
    TempDir dir;
    const std::string contents(3 * 65536, 'x');
    const std::string path = dir.write("devices.lst", contents);
    // An hour old: a write now changes its time, however coarse the file system's clock.
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - std::chrono::hours(1));
    const platform::OpenedFile opened = platform::openRegularFile(path.c_str());
    ASSERT_TRUE(opened.file);
    MappedFile file;
    ASSERT_TRUE(file.load(opened.file.get(), MappedFile::mapAhead, opened.size));
    ASSERT_TRUE(file.intact());
    GetParam().change(path);
    const std::string_view bytes = file.bytes();
    ASSERT_EQ(bytes.size(), contents.size());
    const auto ones = std::count(bytes.begin(), bytes.end(), 'x');  // every page read
    EXPECT_EQ(file.intact(), GetParam().intact);
    if (GetParam().intact) {
        EXPECT_EQ(ones, static_cast<long>(contents.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(MappedFile, MappedFileChanged, testing::Values(
    ChangeCase{"CutShort", [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 100), 0); }, false},
    ChangeCase{"Emptied", [](const std::string& path) { std::ofstream(path, std::ios::trunc); }, false},
    ChangeCase{"WrittenInPlace", [](const std::string& path) {
        std::fstream(path, std::ios::in | std::ios::out | std::ios::binary) << "y"; }, false},
    ChangeCase{"Replaced", [](const std::string& path) {
        std::ofstream(path + ".new") << "new";
        ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0); }, true}),
    [](const auto& info) { return std::string(info.param.name); });
#endif

// --- which devices.lst ------------------------------------------------------

struct ChoiceCase {
    const char* name;
    const char* workingCopy;    // the working directory's devices.lst: "", "file" or "directory"
    const char* installedCopy;  // "", "file", "directory", or "none" for a build without one
                                // (both also "link-to-file", "link-to-zero")
    std::string outcome;        // what loading the chosen file gives; {installed} is its path
};

class DatabaseChoice : public testing::TestWithParam<ChoiceCase> {
protected:
    void SetUp() override { std::filesystem::current_path(dir.path()); }
    void TearDown() override { std::filesystem::current_path(previousDirectory); }

    // Makes a file of these lines or a directory at `path`, or nothing.
    void make(const std::string& kind, const std::string& path, const std::string& lines)
    {
        if (kind == "file")
            dir.write(path, lines);
        else if (kind == "directory")
            dir.write(path + "/inside", "");
        else if (kind == "link-to-file")
            std::filesystem::create_symlink(dir.write(path + ".elsewhere", lines), dir.file(path));
        else if (kind == "link-to-zero") {
            std::filesystem::create_directories(std::filesystem::path(dir.file(path)).parent_path());
            std::filesystem::create_symlink("/dev/zero", dir.file(path));
        }
    }

    const std::string previousDirectory = std::filesystem::current_path().string();
    TempDir dir;
};

TEST_P(DatabaseChoice, WorkingCopyFirstThenTheInstalledOne)
{
    const ChoiceCase& choice = GetParam();
    make(choice.workingCopy, "devices.lst", "\"0x1\",\"0x1\",\"working\",\"\",\"\"\n");
    make(choice.installedCopy, "state/devices.lst", "\"0x2\",\"0x2\",\"installed\",\"\",\"\"\n");
    const std::string installed = std::string(choice.installedCopy) == "none" ? "" : dir.file("state/devices.lst");

    std::string outcome, expected = choice.outcome;
    if (const auto at = expected.find("{installed}"); at != std::string::npos)
        expected.replace(at, 11, installed);
    testing::internal::CaptureStdout();
    try {
        const HardwareDatabase database(databasePath(installed));
        outcome = database.find("0x1", "0x1") ? "working" : database.find("0x2", "0x2") ? "installed" : "?";
    } catch (const flException& error) {
        outcome = error.message;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(outcome, expected);
}

const ChoiceCase choiceCases[] = {
    {"WorkingCopyWins", "file", "file", "working"},
    {"UnreadableWorkingCopyStillWins", "directory", "file", "Failed to open devices.lst for read accesss "},
    {"InstalledCopyWithoutAWorkingOne", "", "file", "installed"},
    {"NeitherGivesTheUsualMessage", "", "", "Failed to open devices.lst for read accesss "},
    {"UnreadableInstalledCopyIsNamed", "", "directory", "Failed to open {installed} for read accesss "},
    {"BuildWithoutAnInstalledCopy", "", "none", "Failed to open devices.lst for read accesss "},
#ifndef _WIN32
    {"InstalledLinkToAFile", "", "link-to-file", "installed"},
    {"InstalledLinkToADeviceIsNamed", "", "link-to-zero", "Failed to open {installed} for read accesss "},
    {"WorkingLinkToADeviceStillWins", "link-to-zero", "file", "Failed to open devices.lst for read accesss "},
#endif
};

INSTANTIATE_TEST_SUITE_P(Files, DatabaseChoice, testing::ValuesIn(choiceCases),
                         [](const auto& info) { return std::string(info.param.name); });

}
