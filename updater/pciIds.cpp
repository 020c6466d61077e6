// SPDX-License-Identifier: GPL-2.0-or-later
#include "pciIds.h"

#include "pciIdsReader.h"
#include "text.h"
#include "visibleText.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

// devices.lst fields cannot hold a double quote: it becomes a single one.
// Control characters are written as the programs show them (visibleText.h),
// so that the file holds text alone, whatever reads it.
bool withoutDoubleQuotes(std::string_view text, std::string& out)
{
    out = text::visibleText(text);
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

namespace {

// The list's version, from its first "Version:" comment, wherever it stands.
std::string versionOf(std::string_view list)
{
    PciIdsReader reader(list);
    PciIdsLine line;
    const std::string_view key = "Version:";
    while (reader.next(line)) {
        const std::size_t found = line.text.find(key);
        if (line.kind != PciIdsLine::Kind::comment || found == std::string_view::npos)
            continue;
        std::string_view version = line.text.substr(found + key.size());
        while (!version.empty() && (version.front() == ' ' || version.front() == '\t'))
            version.remove_prefix(1);
        while (!version.empty() && (version.back() == ' ' || version.back() == '\t'))
            version.remove_suffix(1);
        return std::string(version);
    }
    return std::string();
}

// The bytes of the devices.lst lines the list makes, each its vendor's name
// again: a few names can make gigabytes of lines.
std::uint64_t devicesListBytes(std::string_view list, std::size_t sourceBytes)
{
    constexpr std::size_t frame = std::string_view("\"0xVVVV\",\"0xDDDD\",\"\",\"\",\"\"\n").size();
    std::uint64_t bytes = 0;
    std::size_t vendorBytes = 0;
    PciIdsReader reader(list);
    PciIdsLine line;
    while (reader.next(line)) {
        if (line.kind == PciIdsLine::Kind::vendor)
            vendorBytes = line.name.size();
        else if (line.kind == PciIdsLine::Kind::device)
            bytes += frame + vendorBytes + sourceBytes + line.name.size();
    }
    return bytes;
}

}

Conversion convertPciIds(const std::string& list)
{
    Conversion result;
    result.version = versionOf(list);
    std::string source;
    withoutDoubleQuotes("pci.ids " + (result.version.empty() ? std::string("(no version)") : result.version),
                        source);
    // Measured first: a list whose lines would be too many for the program
    // to read is refused before they take memory.
    const std::uint64_t outputBytes = devicesListBytes(list, source.size());
    if (outputBytes > Conversion::maxDevicesListBytes) {
        result.tooLarge = true;
        return result;
    }
    result.devicesList.reserve(static_cast<std::size_t>(outputBytes));

    std::string vendorId, vendorName, deviceName;
    bool vendorChanged = false;
    PciIdsReader reader(list);
    PciIdsLine listLine;
    auto problem = [&](const char* what) {
        if (result.malformedLines++ < Conversion::maxProblemsKept)
            result.problems.push_back("line " + std::to_string(reader.lineNumber()) + what);
    };
    while (reader.next(listLine)) {
        switch (listLine.kind) {
        case PciIdsLine::Kind::vendor:
            ++result.vendors;
            vendorId = text::asciiUppered(listLine.id);
            vendorChanged = withoutDoubleQuotes(listLine.name, vendorName);
            break;
        case PciIdsLine::Kind::device: {
            const bool deviceChanged = withoutDoubleQuotes(listLine.name, deviceName);
            result.devicesList += "\"0x" + vendorId + "\",\"0x" + text::asciiUppered(listLine.id) + "\",\"" +
                                  vendorName + "\",\"" + source + "\",\"" + deviceName + "\"\n";
            result.linesChanged += deviceChanged || vendorChanged;
            ++result.devices;
            break;
        }
        case PciIdsLine::Kind::badVendor:
            problem(": not a vendor line");
            break;
        case PciIdsLine::Kind::badDevice:
            problem(": not a device line");
            break;
        case PciIdsLine::Kind::strayDevice:
            problem(": device outside a vendor");
            break;
        case PciIdsLine::Kind::comment:
        case PciIdsLine::Kind::classHeader:
        case PciIdsLine::Kind::subclass:
        case PciIdsLine::Kind::skipped:
            break;  // classes and subsystems are not in devices.lst
        }
    }
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
    PciIdsLimits limits;
    char chunk[65536];
    int got;
    while ((got = gzread(file, chunk, sizeof chunk)) > 0) {
        const std::string_view piece(chunk, static_cast<std::size_t>(got));
        if (!limits.take(piece)) {
            gzclose(file);
            contents.clear();
            error = path + ": " + limits.problem();
            return false;
        }
        contents.append(piece);
    }
    // zlib takes compressed data that stop early for an end of file, and
    // says so only here: as Z_BUF_ERROR.
    int code = Z_OK;
    const char* message = gzerror(file, &code);
    const std::string reason = message ? message : "";
    gzclose(file);
    if (got < 0) {
        error = path + ": " + reason;
        return false;
    }
    if (code == Z_BUF_ERROR) {
        error = path + ": truncated: the compressed data end before the end of their gzip stream";
        return false;
    }
    return true;
}
