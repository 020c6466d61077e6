// SPDX-License-Identifier: GPL-2.0-or-later
// The atomic replace of a file on Windows: MoveFileEx over the old one, which
// unlike rename there replaces an existing file. Names are UTF-8, handed to
// the system's wide functions.
#include "files.h"

#include "files_win32.h"
#include "text_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

namespace {

using platform::systemMessage;

// The directory part of a path, with its last separator or drive ("" for a bare name).
std::string directoryOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// Creates a new file in the directory of `path` under a name no other file
// has, as mkstemp does: CREATE_NEW never opens what is there already (a
// file, a link), and the random part keeps anyone from taking beforehand
// every name tried. The name is short, whatever the length of `path`'s.
HANDLE createBeside(const std::string& path, std::string& temporary)
{
    std::random_device random;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%08x", random());
        temporary = directoryOf(path) + "corvane-update." + suffix;
        const HANDLE file = CreateFileW(platform::utf8ToWide(temporary).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

}

namespace platform {

bool replaceableFile(const std::string& path, std::string& error)
{
    if (isDosDeviceName(path)) {
        error = "cannot write " + path + ": a DOS device name, not a file";
        return false;
    }
    // Opened for no access at all, only to be looked at; a reparse point is
    // followed, so that a link to a device or a directory is refused too.
    const HANDLE handle = CreateFileW(utf8ToWide(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return true;  // nothing there yet (or a link to nothing)
        error = "cannot replace " + path + ": " + systemMessage(code);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information;
    const DWORD type = GetFileType(handle);
    const bool directory = type == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information) &&
                           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(handle);
    if (type == FILE_TYPE_DISK && !directory)
        return true;
    error = "cannot write " + path + ": " +
            (directory ? "a directory" : type == FILE_TYPE_PIPE ? "a pipe" : "a device") + ", not a file";
    return false;
}

bool replaceFile(const std::string& path, const std::string& contents, std::string& error,
                 const std::function<void()>& beforeRename)
{
    if (!replaceableFile(path, error))
        return false;
    std::string temporary;
    const HANDLE file = createBeside(path, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot create a file beside " + path + ": " + systemMessage(GetLastError());
        return false;
    }
    const std::wstring wideTemporary = utf8ToWide(temporary);
    std::size_t written = 0;
    bool complete = true;
    while (complete && written < contents.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size() - written, 1u << 24));
        DWORD got = 0;
        complete = WriteFile(file, contents.data() + written, chunk, &got, nullptr) && got > 0;
        written += got;
    }
    complete = complete && FlushFileBuffers(file);
    const DWORD writeError = GetLastError();
    CloseHandle(file);
    if (!complete) {
        error = "cannot write " + path + ": " + systemMessage(writeError);
        DeleteFileW(wideTemporary.c_str());
        return false;
    }
    if (beforeRename)
        beforeRename();
    // Once more: something else may have taken the name meanwhile.
    if (!replaceableFile(path, error)) {
        DeleteFileW(wideTemporary.c_str());
        return false;
    }
    if (!MoveFileExW(wideTemporary.c_str(), utf8ToWide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = "cannot replace " + path + ": " + systemMessage(GetLastError());
        DeleteFileW(wideTemporary.c_str());
        return false;
    }
    return true;
}

}
