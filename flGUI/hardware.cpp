#include "hardware.h"

#include "flException.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>

HardwareEntry::HardwareEntry(std::string_view line)
{
    std::string* const fields[] = {&vendorId, &deviceId, &text1, &text2, &text3};
    std::size_t start = 1;
    for (std::string* field : fields) {
        if (start >= line.size())
            break;  // this field and every later one stay empty
        const std::size_t closingQuote = line.find('"', start);
        if (closingQuote == std::string_view::npos) {
            field->assign(line.substr(start));
            break;
        }
        field->assign(line.substr(start, closingQuote - start));
        // Skip the closing quote and the two characters after it.
        start = closingQuote + 3;
    }
}

void HardwareEntry::setIdsFromKeyName(const char* keyName)
{
    const std::string_view name = keyName ? keyName : "";
    auto digitsAt = [&name](std::size_t position) {
        return "0x" + std::string(position < name.size() ? name.substr(position, 4) : "");
    };
    vendorId = digitsAt(4);
    deviceId = digitsAt(13);
}

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool isDirectory(std::FILE* file)
{
#ifdef _WIN32
    struct _stat status;
    return _fstat(_fileno(file), &status) == 0 && (status.st_mode & _S_IFDIR);
#else
    struct stat status;
    return fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode);
#endif
}

}

HardwareDatabase::HardwareDatabase(const std::string& fileName)
{
    // Binary mode: line ends are handled below, the same on every platform.
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file || isDirectory(file.get())) {
        const std::string message = "Failed to open " + fileName + " for read accesss ";
        throw flException(__FILE__, __LINE__, message.c_str());
    }

    std::string text;
    text.reserve(500000);
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        text.append(chunk, got);
    if (std::ferror(file.get())) {
        const std::string message = "Failed to read " + fileName;
        throw flException(__FILE__, __LINE__, message.c_str());
    }
    file.reset();

    std::fputs("\n", stdout);
    std::fflush(stdout);

    addLines(text);
}

void HardwareDatabase::addLines(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t lineFeed = text.find('\n');
        std::string_view line = text.substr(0, lineFeed);
        text.remove_prefix(lineFeed == std::string_view::npos ? text.size() : lineFeed + 1);
        if (lineFeed != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            entries.emplace_back(line);
    }
}

const HardwareEntry* HardwareDatabase::find(const std::string& vendorId,
                                            const std::string& deviceId) const
{
    for (const HardwareEntry& entry : entries) {
        if (entry.vendorId == vendorId && entry.deviceId == deviceId)
            return &entry;
    }
    return nullptr;
}
