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

Conversion convertPciIds(const std::string& list)
{
    Conversion result;
    std::string vendorId, vendorName;
    bool vendorChanged = false;

    // The lines are written once the whole list is read: its version may come late.
    struct Line { std::string vendorId, vendorName, deviceId, deviceName; bool changed; };
    std::vector<Line> lines;

    PciIdsReader reader(list);
    PciIdsLine listLine;
    auto problem = [&](const char* what) {
        result.problems.push_back("line " + std::to_string(reader.lineNumber()) + what);
    };
    while (reader.next(listLine)) {
        switch (listLine.kind) {
        case PciIdsLine::Kind::comment: {
            const std::string_view key = "Version:";
            const std::size_t found = listLine.text.find(key);
            if (result.version.empty() && found != std::string_view::npos) {
                std::string_view version = listLine.text.substr(found + key.size());
                while (!version.empty() && (version.front() == ' ' || version.front() == '\t'))
                    version.remove_prefix(1);
                while (!version.empty() && (version.back() == ' ' || version.back() == '\t'))
                    version.remove_suffix(1);
                result.version = version;
            }
            break;
        }
        case PciIdsLine::Kind::vendor:
            ++result.vendors;
            vendorId = text::asciiUppered(listLine.id);
            vendorChanged = withoutDoubleQuotes(listLine.name, vendorName);
            break;
        case PciIdsLine::Kind::device: {
            Line entry{vendorId, vendorName, text::asciiUppered(listLine.id), std::string(), vendorChanged};
            entry.changed = withoutDoubleQuotes(listLine.name, entry.deviceName) || vendorChanged;
            lines.push_back(std::move(entry));
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
        case PciIdsLine::Kind::classHeader:
        case PciIdsLine::Kind::subclass:
        case PciIdsLine::Kind::skipped:
            break;  // classes and subsystems are not in devices.lst
        }
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
