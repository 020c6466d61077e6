// The atomic replace of a file on Windows: MoveFileEx over the old one, which
// unlike rename there replaces an existing file.
#include "files.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

namespace {

std::string systemMessage(DWORD code)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length ? std::string(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

// Creates a new file beside `path` under a name no other file has, as mkstemp
// does: CREATE_NEW never opens what is there already (a file, a link), and
// the random part keeps anyone from taking beforehand every name tried.
HANDLE createBeside(const std::string& path, std::string& temporary)
{
    std::random_device random;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%08x%08x", random(), random());
        temporary = path + ".new-" + suffix;
        const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

}

namespace platform {

bool replaceFile(const std::string& path, const std::string& contents, std::string& error,
                 const std::function<void()>& beforeRename)
{
    std::string temporary;
    const HANDLE file = createBeside(path, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot create a file beside " + path + ": " + systemMessage(GetLastError());
        return false;
    }
    // A DOS device name (CON, NUL, COM1), extension or not, opens the device:
    // nothing is written to it, and there is no file to replace.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        error = "cannot write " + path + ": a device, not a file";
        return false;
    }
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
        error = "cannot write " + temporary + ": " + systemMessage(writeError);
        DeleteFileA(temporary.c_str());
        return false;
    }
    if (beforeRename)
        beforeRename();
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = "cannot replace " + path + ": " + systemMessage(GetLastError());
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

}
