#include "pciIds.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

bool isHex(std::string_view text)
{
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

std::string upperHex(std::string_view digits)
{
    std::string upper(digits);
    for (char& c : upper)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// "XXXX  name" with four hex digits and two blanks; the name not empty.
bool splitIdLine(std::string_view line, std::string_view& id, std::string_view& name)
{
    if (line.size() < 7 || line.substr(4, 2) != "  " || !isHex(line.substr(0, 4)))
        return false;
    id = line.substr(0, 4);
    name = line.substr(6);
    return true;
}

// devices.lst fields cannot hold a double quote: it becomes a single one.
bool withoutDoubleQuotes(std::string_view text, std::string& out)
{
    out.assign(text);
    bool changed = false;
    for (char& c : out) {
        if (c == '"') {
            c = '\'';
            changed = true;
        }
    }
    return changed;
}

}

Conversion convertPciIds(const std::string& list)
{
    Conversion result;
    std::string_view rest = list;
    std::string vendorId, vendorName;
    bool vendorChanged = false, inVendor = false, inClasses = false;

    // The lines are written once the whole list is read: its version may come late.
    struct Line { std::string vendorId, vendorName, deviceId, deviceName; bool changed; };
    std::vector<Line> lines;

    for (int number = 1; !rest.empty(); ++number) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        if (line.empty() || line.front() == '#') {
            const std::string_view key = "Version:";
            const std::size_t at = line.find(key);
            if (result.version.empty() && at != std::string_view::npos) {
                std::string_view version = line.substr(at + key.size());
                while (!version.empty() && (version.front() == ' ' || version.front() == '\t'))
                    version.remove_prefix(1);
                while (!version.empty() && (version.back() == ' ' || version.back() == '\t'))
                    version.remove_suffix(1);
                result.version = version;
            }
            continue;
        }
        if (line.size() >= 2 && line[0] == 'C' && line[1] == ' ') {
            inClasses = true;  // class lists hold no devices
            inVendor = false;
            continue;
        }
        std::string_view id, name;
        if (line.front() != '\t') {
            if (!splitIdLine(line, id, name)) {
                result.problems.push_back("line " + std::to_string(number) + ": not a vendor line");
                inVendor = false;
                continue;
            }
            inClasses = false;
            inVendor = true;
            ++result.vendors;
            vendorId = upperHex(id);
            vendorChanged = withoutDoubleQuotes(name, vendorName);
            continue;
        }
        if (line.size() >= 2 && line[1] == '\t')
            continue;  // a subsystem, or a class's programming interface
        if (inClasses)
            continue;  // a subclass
        if (!inVendor || !splitIdLine(line.substr(1), id, name)) {
            result.problems.push_back("line " + std::to_string(number) +
                                      (inVendor ? ": not a device line" : ": device outside a vendor"));
            continue;
        }
        Line entry{vendorId, vendorName, upperHex(id), std::string(), vendorChanged};
        entry.changed = withoutDoubleQuotes(name, entry.deviceName) || vendorChanged;
        lines.push_back(std::move(entry));
    }

    std::string source;
    withoutDoubleQuotes("pci.ids " + (result.version.empty() ? std::string("(no version)") : result.version),
                        source);
    result.devicesList.reserve(lines.size() * 120);
    for (const Line& line : lines) {
        result.devicesList += "\"0x" + line.vendorId + "\",\"0x" + line.deviceId + "\",\"" +
                              line.vendorName + "\",\"" + source + "\",\"" + line.deviceName + "\"\n";
        result.linesChanged += line.changed;
    }
    result.devices = static_cast<int>(lines.size());
    return result;
}

bool readListFile(const std::string& path, std::string& contents, std::string& error)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = path + ": not a file";
        return false;
    }
    gzFile file = gzopen(path.c_str(), "rb");  // reads plain files as they are
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    contents.clear();
    char chunk[65536];
    int got;
    while ((got = gzread(file, chunk, sizeof chunk)) > 0)
        contents.append(chunk, static_cast<std::size_t>(got));
    int code = Z_OK;
    const char* message = got < 0 ? gzerror(file, &code) : nullptr;
    const std::string reason = message ? message : "";
    gzclose(file);
    if (got < 0) {
        error = path + ": " + reason;
        return false;
    }
    return true;
}
