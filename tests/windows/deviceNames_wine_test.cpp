// DOS device names given as devices.lst, error.log, the user's file or the
// updater's output: refused by the Windows file layer before anything is
// opened. The opens are counted by pointing this program's import of
// CreateFileW at a counter.
#include "files.h"
#include "platform/files_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

int opens = 0;
decltype(&CreateFileW) realCreateFileW = nullptr;

HANDLE WINAPI countedCreateFileW(LPCWSTR name, DWORD access, DWORD sharing, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE templateFile)
{
    ++opens;
    return realCreateFileW(name, access, sharing, security, disposition, flags, templateFile);
}

// Where this program's import table holds kernel32's `function`; null when it imports none.
void** importOf(const char* function)
{
    auto* const base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* const headers =
        reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); library->Name;
         ++library) {
        if (_stricmp(reinterpret_cast<char*>(base + library->Name), "kernel32.dll") != 0)
            continue;
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++entry)
            if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
                std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name,
                            function) == 0)
                return reinterpret_cast<void**>(&entry->u1.Function);
    }
    return nullptr;
}

class CountedOpens : public testing::Test {
protected:
    void SetUp() override
    {
        entry = importOf("CreateFileW");
        ASSERT_NE(entry, nullptr);
        realCreateFileW = reinterpret_cast<decltype(realCreateFileW)>(*entry);
        point(reinterpret_cast<void*>(&countedCreateFileW));
        opens = 0;
    }
    void TearDown() override
    {
        if (entry)
            point(reinterpret_cast<void*>(realCreateFileW));
    }

private:
    void point(void* function)
    {
        DWORD protection;
        VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection);
        *entry = function;
        VirtualProtect(entry, sizeof *entry, protection, &protection);
    }
    void** entry = nullptr;
};

const char* const deviceNames[] = {
    "NUL", "nul", "CON", "con.txt", "Com1", "COM9.lst", "lpt1", "LPT3.log", "AUX", "PRN.x.y", "NUL:", "COM1:",
    "con ", "CONIN$", "conout$", "COM\xC2\xB9", "dir\\NUL", "sub/com2.reg", "C:\\Windows\\nul.txt", "C:NUL",
    "\\\\.\\COM1", "//./PhysicalDrive0",
};

TEST_F(CountedOpens, AreCountedForAFile)
{
    const std::string name = "counted-" + std::to_string(GetCurrentProcessId()) + ".log";
    EXPECT_TRUE(platform::appendLine(name.c_str(), "line"));
    EXPECT_TRUE(platform::openRegularFile(name.c_str()).file);
    EXPECT_EQ(opens, 2);
    DeleteFileA(name.c_str());
}

TEST_F(CountedOpens, NoneForADosDeviceName)
{
    for (const char* name : deviceNames) {
        opens = 0;
        EXPECT_TRUE(platform::isDosDeviceName(name)) << name;
        const platform::OpenedFile opened = platform::openRegularFile(name);
        EXPECT_FALSE(opened.file) << name;
        EXPECT_TRUE(opened.notAFile) << name;
        EXPECT_FALSE(platform::appendLine(name, "line")) << name;
        std::string error;
        EXPECT_FALSE(platform::replaceFile(name, "new\n", error)) << name;
        EXPECT_EQ(error, "cannot write " + std::string(name) + ": a DOS device name, not a file");
        EXPECT_EQ(opens, 0) << name;
    }
}

TEST(DosDeviceName, NotForFilesNamedAlike)
{
    for (const char* name : {"devices.lst", "error.log", "COM0", "COM10", "LPT", "CONSOLE", "NULL", "nul_", "xnul",
                             "com1x.txt", "NUL\\devices.lst", "\\\\?\\C:\\devices.lst", "\\\\server\\share\\a.reg"})
        EXPECT_FALSE(platform::isDosDeviceName(name)) << name;
}

}
