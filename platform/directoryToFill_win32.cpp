// SPDX-License-Identifier: GPL-2.0-or-later
// Windows: the directory is held open, so it cannot be moved or renamed
// while it is filled, and everything below it is made by its final path:
// files with CREATE_NEW, renames without MOVEFILE_REPLACE_EXISTING.
#include "directoryToFill.h"
#include "files_win32.h"
#include "text_win32.h"

#include <windows.h>

#include <memory>
#include <utility>

namespace platform {

namespace {

std::string lastReason()
{
    return systemMessage(GetLastError());
}

void closeHandle(HANDLE& handle)
{
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(std::exchange(handle, INVALID_HANDLE_VALUE));
}

bool isEmptyDirectory(const std::wstring& path, std::string& error)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        error = lastReason();
        return false;
    }
    bool empty = true;
    do
        empty = std::wstring(found.cFileName) == L"." || std::wstring(found.cFileName) == L"..";
    while (empty && FindNextFileW(search, &found));
    FindClose(search);
    if (!empty)
        error = "it is not empty";
    return empty;
}

std::wstring finalPathOf(HANDLE handle)
{
    std::wstring path(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    path.resize(length < path.size() ? length : 0);
    return path;
}

}

struct NewFile::Handle {
    explicit Handle(HANDLE file) : file(file) {}
    ~Handle() { closeHandle(file); }
    HANDLE file;
};

NewFile::NewFile() = default;
NewFile::~NewFile() = default;
NewFile::NewFile(NewFile&&) noexcept = default;
NewFile& NewFile::operator=(NewFile&&) noexcept = default;

bool NewFile::write(std::string_view bytes, std::string& error)
{
    while (handle && !bytes.empty()) {
        const DWORD piece = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(handle->file, bytes.data(), piece, &written, nullptr) || written == 0) {
            error = lastReason();
            return false;
        }
        bytes.remove_prefix(written);
    }
    return handle != nullptr;
}

NewFile::Copy NewFile::copyFrom(std::FILE* source, std::uint64_t& copied, std::string& error)
{
    constexpr std::size_t bufferSize = 1 << 20;
    static thread_local std::unique_ptr<char[]> buffer(new char[bufferSize]);
    for (;;) {
        const std::size_t read = std::fread(buffer.get(), 1, bufferSize, source);
        if (read > 0 && !write(std::string_view(buffer.get(), read), error))
            return Copy::writeFailed;
        copied += read;
        if (read < bufferSize) {
            if (!std::ferror(source))
                return Copy::copied;
            error = "the file could not be read";
            return Copy::readFailed;
        }
    }
}

bool NewFile::close(std::string& error)
{
    if (!handle)
        return false;
    HANDLE file = std::exchange(handle->file, INVALID_HANDLE_VALUE);
    handle.reset();
    if (!CloseHandle(file)) {
        error = lastReason();
        return false;
    }
    return true;
}

struct DirectoryToFill::Handle {
    Handle(HANDLE held, std::wstring path) : held(held), path(std::move(path)) {}
    ~Handle() { closeHandle(held); }
    HANDLE held;
    std::wstring path;  // \\?\ and the final path, without a separator at its end

    std::wstring below(const std::string& relative) const
    {
        std::wstring wide = utf8ToWide(relative);
        for (wchar_t& c : wide)
            if (c == L'/')
                c = L'\\';
        return path + L"\\" + wide;
    }
};

DirectoryToFill::DirectoryToFill() = default;
DirectoryToFill::~DirectoryToFill() = default;
DirectoryToFill::DirectoryToFill(DirectoryToFill&&) noexcept = default;
DirectoryToFill& DirectoryToFill::operator=(DirectoryToFill&&) noexcept = default;

bool DirectoryToFill::open(const std::string& path, DirectoryToFill& opened, std::string& error)
{
    if (isDosDeviceName(path)) {
        error = "it is a device";
        return false;
    }
    const std::wstring wide = utf8ToWide(path);
    const bool made = CreateDirectoryW(wide.c_str(), nullptr) != 0;
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS) {
        error = lastReason();
        return false;
    }
    // Not shared for deletion: it is neither moved nor renamed while held.
    const HANDLE held = CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        error = lastReason();
        return false;
    }
    auto handle = std::make_unique<Handle>(held, finalPathOf(held));
    FILE_ATTRIBUTE_TAG_INFO information;
    if (!GetFileInformationByHandleEx(held, FileAttributeTagInfo, &information, sizeof information) ||
        handle->path.empty()) {
        error = lastReason();
        return false;
    }
    if (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        error = "it is a symbolic link";
        return false;
    }
    if (!(information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "it is not a folder";
        return false;
    }
    if (!made && !isEmptyDirectory(handle->path, error))
        return false;
    opened.handle = std::move(handle);
    return true;
}

bool DirectoryToFill::makeDirectory(const std::string& path, std::string& error) const
{
    if (CreateDirectoryW(handle->below(path).c_str(), nullptr))
        return true;
    error = lastReason();
    return false;
}

bool DirectoryToFill::makeFile(const std::string& path, NewFile& file, std::string& error) const
{
    const HANDLE made = CreateFileW(handle->below(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (made == INVALID_HANDLE_VALUE) {
        error = lastReason();
        return false;
    }
    file.handle = std::make_unique<NewFile::Handle>(made);
    return true;
}

bool DirectoryToFill::rename(const std::string& from, const std::string& to, std::string& error) const
{
    if (MoveFileExW(handle->below(from).c_str(), handle->below(to).c_str(), 0))
        return true;
    error = lastReason();
    return false;
}

bool DirectoryToFill::remove(const std::string& path, bool directory) const
{
    const std::wstring wide = handle->below(path);
    return directory ? RemoveDirectoryW(wide.c_str()) != 0 : DeleteFileW(wide.c_str()) != 0;
}

}
