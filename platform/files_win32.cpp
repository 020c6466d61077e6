// SPDX-License-Identifier: GPL-2.0-or-later
// Windows: only disk files are used: DOS device names (CON, NUL, COM1, ...)
// are refused before anything is opened, pipes once opened; the log is
// opened on its name itself, never on what a reparse point (symbolic link,
// junction) named so leads to, and only while it has no other name.
#include "files.h"

#include "files_win32.h"
#include "text.h"
#include "text_win32.h"

#include <windows.h>
#include <winioctl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cctype>
#include <cwchar>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace {

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

// "COM" or "LPT" and a digit 1-9, or the superscripts 1-3 Windows counts too.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle(handle) {}
    ~Handle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle; }
    HANDLE release() { return std::exchange(handle, INVALID_HANDLE_VALUE); }

    bool isRegularFile() const
    {
        BY_HANDLE_FILE_INFORMATION information;
        return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK &&
               GetFileInformationByHandle(handle, &information) &&
               !(information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    }

private:
    HANDLE handle;
};

// What was opened, as a stream, when it is a regular file.
platform::OpenedFile openedFile(Handle& handle)
{
    const DWORD openError = handle.get() == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    LARGE_INTEGER size;
    if (!handle.isRegularFile() || !GetFileSizeEx(handle.get(), &size)) {
        platform::OpenedFile refused;
        refused.notAFile = handle.get() != INVALID_HANDLE_VALUE && GetFileType(handle.get()) != FILE_TYPE_DISK;
        if (openError)
            refused.reason = platform::systemMessage(openError);
        return refused;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle.get()), _O_RDONLY | _O_BINARY);
    if (descriptor < 0)
        return {};
    handle.release();  // the descriptor has it now
    platform::FilePointer file(_fdopen(descriptor, "rb"));
    if (!file) {
        _close(descriptor);
        return {};
    }
    return {std::move(file), static_cast<std::uint64_t>(size.QuadPart), false, {}};
}

// The path of what `handle` opened, as the system has it: \\?\C:\... or
// \\?\UNC\server\..., whatever links led there; empty when it cannot say.
std::wstring finalPath(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.assign(length + 1, L'\0');
    }
    return {};
}

bool samePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// A symbolic link or a junction: what leads elsewhere.
bool isLink(DWORD attributes, DWORD reparseTag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

// Whether `handle` opened a directory that is no link.
bool isDirectoryNoLink(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO information;
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &information, sizeof information))
        return false;
    return (information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink(information.FileAttributes, information.ReparseTag);
}

// The path of `name` in the directory `path` (which ends in a separator when it is a drive's root).
std::wstring below(const std::wstring& path, const std::string& name)
{
    return path + (!path.empty() && path.back() == L'\\' ? L"" : L"\\") + platform::utf8ToWide(name);
}

HANDLE openDirectoryHandle(const std::wstring& path, DWORD reparse)
{
    return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | reparse, nullptr);
}

}

namespace platform {

std::string systemMessage(unsigned long code)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    // In the ANSI code page, as the program's text is UTF-8.
    std::string message = length ? ansiToUtf8(std::string_view(text, length)) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

bool isDosDeviceName(const std::string& path)
{
    if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && path[2] == '.' && isSeparator(path[3]))
        return true;
    std::string_view name(path);
    const std::size_t separator = name.find_last_of("\\/");
    if (separator != std::string_view::npos)
        name.remove_prefix(separator + 1);
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
        name.remove_prefix(2);  // C:NUL
    return text::isDosDeviceName(name);
}

OpenedFile openRegularFile(const char* name)
{
    if (isDosDeviceName(name)) {
        OpenedFile refused;
        refused.notAFile = true;
        return refused;
    }
    // A reparse point is followed here: a link to the database is fine. A
    // directory is not opened (that needs FILE_FLAG_BACKUP_SEMANTICS).
    Handle handle(CreateFileW(platform::utf8ToWide(name).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return openedFile(handle);
}

bool appendLine(const char* name, const std::string& line, std::string* writeFailure)
{
    if (isDosDeviceName(name))
        return false;
    // FILE_APPEND_DATA alone: every write goes to the end of the file, whoever
    // else appends at the same time.
    const Handle log(CreateFileW(platform::utf8ToWide(name).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
    // A second name of a file (a hard link) is refused as a link is: someone
    // else may have made it to a file only the user may write.
    BY_HANDLE_FILE_INFORMATION information;
    if (!log.isRegularFile() || !GetFileInformationByHandle(log.get(), &information) ||
        information.nNumberOfLinks != 1)
        return false;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    const bool wrote = WriteFile(log.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    const DWORD reason = wrote ? 0 : GetLastError();
    if (writeFailure && (!wrote || written != text.size()))
        *writeFailure = reason ? systemMessage(reason) : "the line was cut short";
    else if (writeFailure)
        writeFailure->clear();
    return true;
}

// The path kept is the one the system gives for the handle, and what is
// opened below it is opened by that path and the name, not through a
// link (FILE_FLAG_OPEN_REPARSE_POINT), and used only when the system gives
// that same path for it: a folder above swapped for a junction meanwhile
// would show in the path.
struct OpenDirectory::Handle {
    Handle(HANDLE opened, std::wstring path) : held(opened), path(std::move(path)) {}
    ::Handle held;
    std::wstring path;
};

OpenDirectory::OpenDirectory() = default;
OpenDirectory::~OpenDirectory() = default;
OpenDirectory::OpenDirectory(OpenDirectory&&) noexcept = default;
OpenDirectory& OpenDirectory::operator=(OpenDirectory&&) noexcept = default;

Listing OpenDirectory::open(const std::string& path, OpenDirectory& opened)
{
    if (isDosDeviceName(path))
        return Listing::notADirectory;
    const std::wstring wide = platform::utf8ToWide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Listing::missing : Listing::unreadable;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Listing::notADirectory;
    auto handle = std::make_unique<Handle>(openDirectoryHandle(wide, 0), std::wstring());
    handle->path = handle->held.get() == INVALID_HANDLE_VALUE ? std::wstring() : finalPath(handle->held.get());
    if (handle->path.empty())
        return Listing::unreadable;
    opened.handle = std::move(handle);
    return Listing::listed;
}

Listing OpenDirectory::list(std::vector<DirectoryEntry>& entries) const
{
    entries.clear();
    if (!handle)
        return Listing::unreadable;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(below(handle->path, "*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? Listing::listed : Listing::unreadable;
    do {
        if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0)
            continue;
        // Links and junctions lead elsewhere; other reparse points (files
        // deduplicated or kept in the cloud) are what they hold.
        const DirectoryEntry::Kind kind = isLink(found.dwFileAttributes, found.dwReserved0) ? DirectoryEntry::link
                                          : (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? DirectoryEntry::directory
                                                                                                  : DirectoryEntry::file;
        entries.push_back({platform::wideToUtf8(found.cFileName), kind});
    } while (FindNextFileW(search, &found));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    return complete ? Listing::listed : Listing::unreadable;
}

bool OpenDirectory::openSubdirectory(const std::string& name, OpenDirectory& opened) const
{
    if (!handle)
        return false;
    const std::wstring path = below(handle->path, name);
    ::Handle held(openDirectoryHandle(path, FILE_FLAG_OPEN_REPARSE_POINT));
    if (held.get() == INVALID_HANDLE_VALUE || !isDirectoryNoLink(held.get()) || !samePath(finalPath(held.get()), path))
        return false;
    opened.handle = std::make_unique<Handle>(held.release(), path);
    return true;
}

bool OpenDirectory::openParent(const Identity& parent, OpenDirectory& opened) const
{
    const std::size_t separator = handle ? handle->path.find_last_of(L'\\') : std::wstring::npos;
    if (separator == std::wstring::npos)
        return false;
    OpenDirectory candidate;
    std::wstring path = handle->path.substr(0, separator);
    if (!path.empty() && path.back() == L':')
        path += L'\\';  // a drive's root
    candidate.handle = std::make_unique<Handle>(openDirectoryHandle(path, FILE_FLAG_OPEN_REPARSE_POINT), path);
    if (candidate.handle->held.get() == INVALID_HANDLE_VALUE || !(candidate.identity() == parent))
        return false;
    opened = std::move(candidate);
    return true;
}

OpenDirectory::Identity OpenDirectory::identity() const
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!handle || !GetFileInformationByHandle(handle->held.get(), &information))
        return {};
    return {information.dwVolumeSerialNumber,
            std::uint64_t(information.nFileIndexHigh) << 32 | information.nFileIndexLow};
}

OpenedFile OpenDirectory::openFile(const std::string& name) const
{
    OpenedFile refused;
    if (!handle || isDosDeviceName(name)) {
        refused.notAFile = true;
        return refused;
    }
    const std::wstring path = below(handle->path, name);
    ::Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.get() != INVALID_HANDLE_VALUE && !samePath(finalPath(file.get()), path))
        return refused;
    return openedFile(file);
}

std::optional<std::uint64_t> passHole(std::FILE* file, std::uint64_t most)
{
    const __int64 at = _ftelli64(file);
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (at < 0 || handle == INVALID_HANDLE_VALUE || most == 0)
        return 0;
    FILE_ALLOCATED_RANGE_BUFFER asked{}, first{};
    asked.FileOffset.QuadPart = at;
    asked.Length.QuadPart = static_cast<LONGLONG>(std::min<std::uint64_t>(most, INT64_MAX - at));
    DWORD returned = 0;
    // ERROR_MORE_DATA: more ranges of data than the one room was made for.
    if (!DeviceIoControl(handle, FSCTL_QUERY_ALLOCATED_RANGES, &asked, sizeof asked, &first, sizeof first, &returned,
                         nullptr) &&
        GetLastError() != ERROR_MORE_DATA)
        return 0;
    const std::uint64_t data = returned >= sizeof first ? static_cast<std::uint64_t>(first.FileOffset.QuadPart)
                                                        : static_cast<std::uint64_t>(at) + most;
    const std::uint64_t hole = data > static_cast<std::uint64_t>(at) ? std::min(data - at, most) : 0;
    if (_fseeki64(file, at + static_cast<__int64>(hole), SEEK_SET) != 0)
        return std::nullopt;
    return hole;
}

struct ScratchFile::Handle {
    explicit Handle(HANDLE file) : file(file) {}
    ::Handle file;
};

// A temporary file in the user's temporary folder, kept in memory while
// there is memory for it and deleted when its last handle closes.
ScratchFile::ScratchFile()
{
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
        failure = "the temporary folder is not known";
        return;
    }
    for (int attempt = 0; attempt < 100 && !handle; ++attempt) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const std::wstring path = std::wstring(folder, length) + L"corvane-" + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(now.QuadPart + attempt) + L".tmp";
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS)
                continue;
            failure = systemMessage(GetLastError());
            return;
        }
        handle = std::make_unique<Handle>(file);
        name = wideToUtf8(path.c_str());
    }
    if (!handle) {
        failure = "no name for it was free";
        return;
    }
    // Sparse where the file system can: holes then take no space on disk.
    DWORD returned = 0;
    DeviceIoControl(handle->file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
}

ScratchFile::~ScratchFile() = default;

bool ScratchFile::writeAt(std::uint64_t offset, std::string_view bytes)
{
    while (!bytes.empty()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        const bool wrote = WriteFile(handle->file.get(), bytes.data(), piece, &written, &at);
        if (!wrote || written == 0) {
            failure = wrote ? "nothing was written" : systemMessage(GetLastError());
            return false;
        }
        bytes.remove_prefix(written);
        offset += written;
    }
    return true;
}

bool ScratchFile::resize(std::uint64_t size)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (SetFileInformationByHandle(handle->file.get(), FileEndOfFileInfo, &end, sizeof end))
        return true;
    failure = systemMessage(GetLastError());
    return false;
}

}
