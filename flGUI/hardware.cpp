#include "hardware.h"

#include "flException.h"

#include <sys/stat.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

std::array<std::string_view, 5> splitLine(std::string_view line, std::size_t fieldCount)
{
    std::array<std::string_view, 5> fields;
    std::size_t start = 1;
    for (std::size_t index = 0; index < std::min(fieldCount, fields.size()); ++index) {
        std::string_view& field = fields[index];
        if (start >= line.size())
            break;  // this field and every later one stay empty
        const std::size_t closingQuote = line.find('"', start);
        if (closingQuote == std::string_view::npos) {
            field = line.substr(start);
            break;
        }
        field = line.substr(start, closingQuote - start);
        // Skip the closing quote and the two characters after it.
        start = closingQuote + 3;
    }
    return fields;
}

HardwareEntry::HardwareEntry(std::string_view line)
{
    const auto fields = splitLine(line);
    vendorId = fields[0];
    deviceId = fields[1];
    text1 = fields[2];
    text2 = fields[3];
    text3 = fields[4];
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

struct FileKind {
    bool directory = false;
    std::size_t size = 0;  // 0 when unknown
};

FileKind kindOf(std::FILE* file)
{
    FileKind kind;
#ifdef _WIN32
    struct _stat status;
    if (_fstat(_fileno(file), &status) == 0) {
        kind.directory = (status.st_mode & _S_IFDIR) != 0;
        kind.size = (status.st_mode & _S_IFREG) ? static_cast<std::size_t>(status.st_size) : 0;
    }
#else
    struct stat status;
    if (fstat(fileno(file), &status) == 0) {
        kind.directory = S_ISDIR(status.st_mode);
        kind.size = S_ISREG(status.st_mode) ? static_cast<std::size_t>(status.st_size) : 0;
    }
#endif
    return kind;
}

}

HardwareDatabase::HardwareDatabase(const std::string& fileName, bool announce)
{
    // Binary mode: line ends are handled below, the same on every platform.
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
    const FileKind kind = file ? kindOf(file.get()) : FileKind();
    if (!file || kind.directory) {
        const std::string message = "Failed to open " + fileName + " for read accesss ";
        throw flException(__FILE__, __LINE__, message.c_str());
    }

    // Read straight into the buffer, sized for the whole file where its size
    // is known, then whatever comes beyond that.
    text.reserve(kind.size + 1);
    text.resize(kind.size);
    text.resize(kind.size ? std::fread(&text[0], 1, kind.size, file.get()) : 0);
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        text.append(chunk, got);
    if (std::ferror(file.get())) {
        const std::string message = "Failed to read " + fileName;
        throw flException(__FILE__, __LINE__, message.c_str());
    }
    file.reset();

    if (announce) {
        std::fputs("\n", stdout);
        std::fflush(stdout);
    }

    addLines();
}

// Every non-empty line, in file order; a carriage return before a line feed
// is not part of its line.
void HardwareDatabase::addLines()
{
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    lines.reserve(text.size() / 64);  // devices.lst lines are longer than that
    for (const char* start = begin; start < end;) {
        const char* lineFeed = static_cast<const char*>(std::memchr(start, '\n', end - start));
        const char* next = lineFeed ? lineFeed + 1 : end;
        const char* stop = lineFeed ? lineFeed : end;
        if (lineFeed && stop > start && stop[-1] == '\r')
            --stop;
        if (stop > start)
            lines.push_back({static_cast<std::size_t>(start - begin), static_cast<std::size_t>(stop - start)});
        start = next;
    }
}

std::string_view HardwareDatabase::lineText(std::size_t index) const
{
    return std::string_view(text).substr(lines[index].offset, lines[index].length);
}

namespace {

std::size_t idHash(std::string_view vendorId, std::string_view deviceId)
{
    const std::hash<std::string_view> hash;
    return hash(vendorId) * 31 + hash(deviceId);
}

}

void HardwareDatabase::indexLines() const
{
    std::size_t slots = 16;
    while (slots < 2 * lines.size())
        slots *= 2;
    firstLineOf.assign(slots, 0);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const auto ids = splitLine(lineText(index), 2);
        for (std::size_t slot = idHash(ids[0], ids[1]) & (slots - 1);; slot = (slot + 1) & (slots - 1)) {
            if (firstLineOf[slot] == 0) {
                firstLineOf[slot] = static_cast<std::uint32_t>(index + 1);
                break;
            }
            const auto held = splitLine(lineText(firstLineOf[slot] - 1), 2);
            if (held[0] == ids[0] && held[1] == ids[1])
                break;  // an earlier line has these identifiers: it stays the one found
        }
    }
}

const HardwareEntry* HardwareDatabase::find(const std::string& vendorId,
                                            const std::string& deviceId) const
{
    if (lines.empty())
        return nullptr;
    if (firstLineOf.empty())
        indexLines();
    const std::size_t mask = firstLineOf.size() - 1;
    for (std::size_t slot = idHash(vendorId, deviceId) & mask; firstLineOf[slot] != 0; slot = (slot + 1) & mask) {
        const std::size_t index = firstLineOf[slot] - 1;
        const auto ids = splitLine(lineText(index), 2);
        if (ids[0] == vendorId && ids[1] == deviceId)
            return &found.try_emplace(index, lineText(index)).first->second;
    }
    return nullptr;
}

std::string databasePath(const std::string& installedCopy)
{
    const std::string workingCopy = "devices.lst";
    // Present means anything but "not found": a copy that cannot even be
    // looked at is still the one to report.
    auto present = [](const std::string& path) {
        std::error_code ignored;
        return std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found;
    };
    if (installedCopy.empty() || present(workingCopy) || !present(installedCopy))
        return workingCopy;
    return installedCopy;
}

std::string databasePath()
{
#ifdef CORVANE_INSTALLED_DATABASE
    return databasePath(CORVANE_INSTALLED_DATABASE);
#else
    return databasePath("");
#endif
}
