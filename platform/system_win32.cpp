// SPDX-License-Identifier: GPL-2.0-or-later
// Windows: the console window hidden or switched to UTF-8, the command line
// and the system's ANSI text made UTF-8; the programs are portable.
#include "platform.h"
#include "text_win32.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace platform {

namespace {

int clampedLength(std::size_t size)
{
    return static_cast<int>(std::min<std::size_t>(size, std::numeric_limits<int>::max()));
}

UINT consoleCodePage = 0;

void restoreConsoleCodePage()
{
    SetConsoleOutputCP(consoleCodePage);
}

}

std::wstring utf8ToWide(std::string_view utf8)
{
    const int length = clampedLength(utf8.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string wideToUtf8(const wchar_t* wide)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(std::max(length, 1)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    text.pop_back();  // the terminating zero
    return text;
}

void hideConsole()
{
    if (HWND console = GetConsoleWindow())
        ShowWindow(console, SW_HIDE);
}

void showUtf8OnConsole()
{
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) || GetConsoleOutputCP() == CP_UTF8)
        return;
    consoleCodePage = GetConsoleOutputCP();
    // The console is the user's: its code page comes back at exit, also after a fatal error.
    if (SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreConsoleCodePage);
}

std::vector<std::string> arguments(int, char**)
{
    std::vector<std::string> result;
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            result.push_back(wideToUtf8(wide[i]));
        LocalFree(wide);
    }
    return result;
}

std::string installedDatabase()
{
    return std::string();
}

// Windows has no system copy of the list: it is looked for in the working directory.
std::string defaultPciIds()
{
    const DWORD plain = GetFileAttributesA("pci.ids"), compressed = GetFileAttributesA("pci.ids.gz");
    return plain == INVALID_FILE_ATTRIBUTES && compressed != INVALID_FILE_ATTRIBUTES ? "pci.ids.gz" : "pci.ids";
}

const char* defaultPciIdsDescription()
{
    return "pci.ids in the working directory";
}

std::string hostName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? wideToUtf8(name) : std::string();
}

void binaryStandardOutput()
{
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

std::string fileNameOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// file:///C:/dir/file gives "/C:/dir/file": the drive comes first.
namespace {

// A function of a system library that older Windows lack, or nothing.
template <typename Function>
Function systemFunction(const wchar_t* library, const char* name)
{
    const HMODULE module = GetModuleHandleW(library);
    const FARPROC found = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

WindowsArchitecture nativeArchitecture()
{
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    USHORT process = 0, native = 0;
    const auto isWow64Process2 = systemFunction<IsWow64Process2Function>(L"kernel32.dll", "IsWow64Process2");
    if (isWow64Process2 && isWow64Process2(GetCurrentProcess(), &process, &native))
        return native == IMAGE_FILE_MACHINE_ARM64 ? WindowsArchitecture::arm64
               : native == IMAGE_FILE_MACHINE_I386 ? WindowsArchitecture::x86
                                                   : WindowsArchitecture::amd64;
    // Before Windows 10 1709 there is no Arm64 Windows to tell apart.
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    return system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL ? WindowsArchitecture::x86
                                                                          : WindowsArchitecture::amd64;
}

}

WindowsTarget runningWindows()
{
    WindowsTarget target;
    target.architecture = nativeArchitecture();
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const auto rtlGetVersion = systemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    if (rtlGetVersion && rtlGetVersion(&version) == 0) {
        target.major = version.dwMajorVersion;
        target.minor = version.dwMinorVersion;
        target.build = version.dwBuildNumber;
        target.productType = version.wProductType;
        target.suiteMask = version.wSuiteMask;
    }
    return target;
}

std::string pathOfFileUri(std::string uriPath)
{
    if (uriPath.size() >= 3 && uriPath[0] == '/' && uriPath[2] == ':')
        uriPath.erase(0, 1);
    return uriPath;
}

std::string ansiToUtf8(std::string_view text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(text);
    // Through UTF-16, the system's own text: every ANSI code page converts to it.
    const int length = clampedLength(text.size());
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wideLength);
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr);
    return utf8;
}

}
