// Windows: only disk files are used, so that DOS device names (CON, NUL,
// COM1, ...) and pipes are refused; the log is opened on its name itself,
// never on what a reparse point (symbolic link, junction) named so leads to.
#include "files.h"

#include "text_win32.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <string>
#include <utility>

namespace {

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

}

namespace platform {

OpenedFile openRegularFile(const char* name)
{
    // A reparse point is followed here: a link to the database is fine. A
    // directory is not opened (that needs FILE_FLAG_BACKUP_SEMANTICS).
    Handle handle(CreateFileW(platform::utf8ToWide(name).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!handle.isRegularFile() || !GetFileSizeEx(handle.get(), &size)) {
        OpenedFile refused;
        refused.notAFile = handle.get() != INVALID_HANDLE_VALUE && GetFileType(handle.get()) != FILE_TYPE_DISK;
        return refused;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle.get()), _O_RDONLY | _O_BINARY);
    if (descriptor < 0)
        return {};
    handle.release();  // the descriptor has it now
    FilePointer file(_fdopen(descriptor, "rb"));
    if (!file) {
        _close(descriptor);
        return {};
    }
    return {std::move(file), static_cast<std::uint64_t>(size.QuadPart)};
}

bool appendLine(const char* name, const std::string& line)
{
    // FILE_APPEND_DATA alone: every write goes to the end of the file, whoever
    // else appends at the same time.
    const Handle log(CreateFileW(platform::utf8ToWide(name).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
    if (!log.isRegularFile())
        return false;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(log.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return true;
}

}
