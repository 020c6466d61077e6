// SPDX-License-Identifier: GPL-2.0-or-later
// The updater's replace of devices.lst on Windows, where rename does not
// replace: MoveFileEx over the old file, or nothing changed at all.
#include "TempDir.h"
#include "files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> fileNames(const std::string& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    return names;
}

struct ReplaceCase {
    const char* name;
    bool oldFile;
    DWORD heldOpenWithSharing;  // the old file open elsewhere with this sharing; 0 when not open
    bool replaced;
};

class Replace : public testing::TestWithParam<ReplaceCase> {};

TEST_P(Replace, NewFileWholeOrOldFileUntouched)
{
    const ReplaceCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("devices.lst");
    if (c.oldFile)
        dir.write("devices.lst", "old\n");
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.heldOpenWithSharing)
        holder = CreateFileA(path.c_str(), GENERIC_READ, c.heldOpenWithSharing, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);

    std::string error;
    const bool done = platform::replaceFile(path, "new\n", error);
    if (holder != INVALID_HANDLE_VALUE)
        CloseHandle(holder);

    EXPECT_EQ(done, c.replaced) << error;
    EXPECT_EQ(readFile(path), c.replaced ? "new\n" : "old\n");
    EXPECT_EQ(error.empty(), c.replaced) << error;
    EXPECT_EQ(fileNames(dir.path()), std::vector<std::string>{"devices.lst"});  // no temporary file left
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Replace,
    testing::Values(ReplaceCase{"NoOldFile", false, 0, true}, ReplaceCase{"OldFile", true, 0, true},
                    // Windows does not replace a file that is open, whatever it shares.
                    ReplaceCase{"OldFileOpenElsewhere", true, FILE_SHARE_READ | FILE_SHARE_DELETE, false}),
    [](const testing::TestParamInfo<ReplaceCase>& info) { return std::string(info.param.name); });

// The temporary file's name cannot be taken beforehand: names of the form
// an earlier updater used (its process number and a count) change nothing.
TEST(Replace, NamesTakenBeforehandDoNotStopIt)
{
    TempDir dir;
    for (int attempt = 0; attempt < 100; ++attempt)
        dir.write("devices.lst.new-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt), "");
    std::string error;
    EXPECT_TRUE(platform::replaceFile(dir.file("devices.lst"), "new\n", error)) << error;
    EXPECT_EQ(readFile(dir.file("devices.lst")), "new\n");
}

// DOS device names, whatever follows them, are devices: nothing is written.
TEST(ReplaceFailure, DeviceNamesAreNoFiles)
{
    for (const char* name : {"NUL", "CON", "COM1"}) {
        std::string error;
        EXPECT_FALSE(platform::replaceFile(name, "new\n", error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}

// A directory, however named, is refused before any file is made beside it.
TEST(ReplaceFailure, DirectoriesAreNoFiles)
{
    TempDir dir;
    dir.write("devices.lst/inside", "");
    for (const char* name : {"devices.lst", "devices.lst\\", "devices.lst/"}) {
        std::string error;
        EXPECT_FALSE(platform::replaceFile(dir.file(name), "new\n", error)) << name;
        EXPECT_NE(error.find(": a directory, not a file"), std::string::npos) << error;
        EXPECT_EQ(fileNames(dir.path()), std::vector<std::string>{"devices.lst"});
    }
}

// Names are UTF-8, whatever the ANSI code page holds.
TEST(Replace, NamesAreUtf8)
{
    TempDir dir;
    std::string error;
    ASSERT_TRUE(platform::replaceFile(dir.file("Gr\xC3\xBCn \xD0\x96.lst"), "new\n", error)) << error;
    const std::wstring wide = std::filesystem::directory_iterator(dir.path())->path().filename().wstring();
    EXPECT_EQ(wide, L"Gr\u00FCn \u0416.lst");
}

TEST(ReplaceFailure, MissingDirectoryIsReported)
{
    TempDir dir;
    std::string error;
    EXPECT_FALSE(platform::replaceFile(dir.file("no/such/devices.lst"), "new\n", error));
    EXPECT_NE(error.find("cannot create a file beside"), std::string::npos) << error;
}

}
