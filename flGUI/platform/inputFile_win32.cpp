// Windows: the UTF-8 path as the system's own UTF-16, and only a file on a
// disk: a console ("CON"), a serial port or a pipe is refused.
#include "inputFile.h"

#include <windows.h>

#include <climits>

namespace {

std::wstring widePath(const std::string& path)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return wide;
}

}

InputFile::~InputFile()
{
    if (handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle));
}

InputFile::Status InputFile::open(const std::string& path)
{
    if (path.empty() || path.size() > INT_MAX)
        return Status::cannotOpen;
    // Directories cannot be opened without FILE_FLAG_BACKUP_SEMANTICS.
    const HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Status::cannotOpen;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return Status::notRegular;
    }
    handle = reinterpret_cast<std::intptr_t>(file);
    return Status::open;
}

long long InputFile::read(char* buffer, std::size_t size)
{
    DWORD count = 0;
    const DWORD wanted = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    if (!ReadFile(reinterpret_cast<HANDLE>(handle), buffer, wanted, &count, nullptr))
        return -1;
    return count;
}
