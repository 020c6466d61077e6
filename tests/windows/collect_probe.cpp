// SPDX-License-Identifier: GPL-2.0-or-later
// A collected folder of drivers as Windows' own INF reader sees it:
//   collect_probe FOLDER
// opens every INF in each of FOLDER's package folders with setupapi, asks it
// for each file the INF's [SourceDisksFiles] (decorated for amd64, then
// undecorated) names and for the catalog its [Version] names, where the file
// is (the disk's path, the file's subfolder), and checks that it is there,
// below the INF's folder. Prints a line per INF ("netkvm\netkvm.inf: 3
// files") and one per file missing or outside ("missing: ..."); exit status
// 1 when a file is missing, 3 when the probe itself fails.
#include <windows.h>
#include <setupapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cwctype>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), size, nullptr, nullptr);
    result.resize(result.size() - 1);
    return result;
}

std::wstring lowered(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// A field of an INF line, as setupapi gives it (its strings substituted).
std::wstring field(INFCONTEXT& line, DWORD index)
{
    DWORD size = 0;
    if (!SetupGetStringFieldW(&line, index, nullptr, 0, &size) || size == 0)
        return {};
    std::wstring text(size, L'\0');
    if (!SetupGetStringFieldW(&line, index, text.data(), size, nullptr))
        return {};
    text.resize(size - 1);
    return text;
}

// `path` with the folder separators trimmed from both ends ("\amd64\" is "amd64").
std::wstring trimmed(std::wstring path)
{
    while (!path.empty() && (path.front() == L'\\' || path.front() == L'/'))
        path.erase(0, 1);
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

std::wstring fullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 4];
    const DWORD size = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    return size > 0 && size < MAX_PATH * 4 ? std::wstring(full, size) : std::wstring();
}

class InfCheck {
public:
    InfCheck(HINF inf, std::wstring folder, std::string name) : inf(inf), folder(std::move(folder)), name(std::move(name))
    {
    }

    // Where setupapi puts `file` of the [SourceDisksFiles] line found for it:
    // the INF's folder, its disk's path, the line's subfolder.
    void checkSourceFile(const std::wstring& file)
    {
        UINT disk = 0;
        DWORD size = 0;
        if (!SetupGetSourceFileLocationW(inf, nullptr, file.c_str(), &disk, nullptr, 0, &size)) {
            report(file, "setupapi finds no source disk for it");
            return;
        }
        wchar_t diskPath[MAX_PATH] = L"";
        if (!SetupGetSourceInfoW(inf, disk, SRCINFO_PATH, diskPath, MAX_PATH, nullptr))
            diskPath[0] = L'\0';
        INFCONTEXT line;
        std::wstring subfolder;
        if (SetupFindFirstLineW(inf, L"SourceDisksFiles.amd64", file.c_str(), &line) ||
            SetupFindFirstLineW(inf, L"SourceDisksFiles", file.c_str(), &line))
            subfolder = field(line, 2);
        std::wstring path = folder;
        for (const std::wstring& part : {trimmed(diskPath), trimmed(subfolder), file})
            if (!part.empty())
                path += L'\\' + part;
        checkThere(file, path);
    }

    // The catalog [Version] names for amd64, or for every platform.
    void checkCatalog()
    {
        INFCONTEXT line;
        for (const wchar_t* key : {L"CatalogFile.NTamd64", L"CatalogFile.NT", L"CatalogFile"})
            if (SetupFindFirstLineW(inf, L"Version", key, &line)) {
                const std::wstring catalog = field(line, 1);
                if (!catalog.empty())
                    checkThere(catalog, folder + L'\\' + catalog);
                return;
            }
    }

    void checkSection(const wchar_t* section, std::set<std::wstring>& seen)
    {
        INFCONTEXT line;
        for (BOOL found = SetupFindFirstLineW(inf, section, nullptr, &line); found; found = SetupFindNextLine(&line, &line)) {
            const std::wstring file = field(line, 0);
            if (!file.empty() && seen.insert(lowered(file)).second)
                checkSourceFile(file);
        }
    }

    int files = 0;
    int missing = 0;

private:
    void checkThere(const std::wstring& file, const std::wstring& path)
    {
        ++files;
        const std::wstring full = fullPath(path);
        const std::wstring root = lowered(fullPath(folder)) + L'\\';
        if (full.empty() || lowered(full).compare(0, root.size(), root) != 0) {
            report(file, "outside the package: " + utf8(path));
            return;
        }
        const DWORD attributes = GetFileAttributesW(full.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            report(file, "not there: " + utf8(full));
    }

    void report(const std::wstring& file, const std::string& why)
    {
        ++missing;
        std::printf("missing: %s: %s: %s\n", name.c_str(), utf8(file).c_str(), why.c_str());
    }

    HINF inf;
    std::wstring folder;
    std::string name;
};

std::vector<std::wstring> namesIn(const std::wstring& folder, const wchar_t* pattern, bool directories)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L'\\' + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L".." && ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == directories)
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// Checks one INF; the number of files missing, or -1 when setupapi cannot open it.
int checkInf(const std::wstring& folder, const std::wstring& package, const std::wstring& infName)
{
    const std::string name = utf8(package + L'\\' + infName);
    UINT errorLine = 0;
    const HINF inf = SetupOpenInfFileW((folder + L'\\' + infName).c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
    if (inf == INVALID_HANDLE_VALUE) {
        std::printf("cannot open: %s: error %lu at line %u\n", name.c_str(), GetLastError(), errorLine);
        return -1;
    }
    InfCheck check(inf, folder, name);
    std::set<std::wstring> seen;
    check.checkSection(L"SourceDisksFiles.amd64", seen);
    check.checkSection(L"SourceDisksFiles", seen);
    check.checkCatalog();
    SetupCloseInfFile(inf);
    std::printf("%s: %d files\n", name.c_str(), check.files);
    return check.missing;
}

}

int main()
{
    int count = 0;
    const std::unique_ptr<wchar_t*, decltype(&LocalFree)> arguments(CommandLineToArgvW(GetCommandLineW(), &count),
                                                                     &LocalFree);
    if (!arguments || count != 2) {
        std::printf("usage: collect_probe FOLDER\n");
        return 3;
    }
    const std::wstring collection = fullPath(arguments.get()[1]);
    int missing = 0;
    bool failed = false;
    for (const std::wstring& package : namesIn(collection, L"*", true)) {
        const std::wstring folder = collection + L'\\' + package;
        for (const std::wstring& infName : namesIn(folder, L"*.inf", false)) {
            const int found = checkInf(folder, package, infName);
            failed = failed || found < 0;
            missing += found > 0 ? found : 0;
        }
    }
    if (failed)
        return 3;
    return missing == 0 ? 0 : 1;
}
