// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceFile.h"

#include "flException.h"
#include "files.h"
#include "regExport.h"
#include "registryHive.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t headSize = 64 * 1024;   // enough to tell the kinds apart
constexpr std::size_t pieceSize = 64 * 1024;

// "bb:dd.f" or "dddd:bb:dd.f", then a blank or the line's end.
bool isAddressLine(std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && colon >= 4 && colon <= 8 && text::hasHexDigits(line, colon))
        line.remove_prefix(colon + 1);  // the domain
    if (!text::hasHexDigits(line, 2) || line.size() < 7 || line[2] != ':' || !text::hasHexDigits(line.substr(3), 2) ||
        line[5] != '.' || line[6] < '0' || line[6] > '7')
        return false;
    return line.size() == 7 || line[7] == ' ' || line[7] == '\r';
}

}

bool looksLikeLspciDump(std::string_view head)
{
    bool addressSeen = false;
    std::size_t start = 0;
    while (start < head.size()) {
        std::size_t end = head.find('\n', start);
        if (end == std::string_view::npos)
            end = head.size();
        const std::string_view line = head.substr(start, end - start);
        start = end + 1;
        if (!addressSeen) {
            if (line.find_first_not_of(" \t\r") == std::string_view::npos)
                continue;
            if (!isAddressLine(line))
                return false;
            addressSeen = true;
        } else if (line.substr(0, 4) == "00: " && text::hasHexDigits(line.substr(4), 2)) {
            return true;
        }
    }
    return false;
}

std::string skippedLinesNotice(const std::string& path, std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " malformed line of " : " malformed lines of ") + path +
           (count == 1 ? " was skipped." : " were skipped.");
}

std::string noticeOf(const std::string& path, const DeviceFile& file)
{
    if (file.uncleanHive)
        return path + " was not closed cleanly by Windows:\nthe devices shown may be older than the machine's "
                      "last state.\nThe changes its transaction logs (.LOG1, .LOG2) hold are not read.";
    return file.skippedLines ? skippedLinesNotice(path, file.skippedLines) : std::string();
}

namespace {

// An opened file read in pieces, its failures named after it.
class PieceReader {
public:
    PieceReader(const platform::OpenedFile& opened, const std::string& path) : opened(opened), path(path) {}

    // The next piece: empty at the end.
    std::string_view next(std::size_t most = pieceSize)
    {
        const std::size_t count = std::fread(buffer.data(), 1, std::min(most, buffer.size()), opened.file.get());
        if (count == 0 && std::ferror(opened.file.get()))
            fail(__FILE__, __LINE__, "Failed to read " + path);
        return {buffer.data(), count};
    }

    std::string head()
    {
        std::string head;
        while (head.size() < headSize) {
            const std::string_view piece = next(headSize - head.size());
            if (piece.empty())
                break;
            head += piece;
        }
        return head;
    }

    void rewind()
    {
        if (std::fseek(opened.file.get(), 0, SEEK_SET) != 0)
            fail(__FILE__, __LINE__, "Failed to read " + path);
    }

    const platform::OpenedFile& opened;
    const std::string& path;

private:
    std::vector<char> buffer = std::vector<char>(pieceSize);
};

// A device at a time, as exports come; a file whose devices' keys do not is
// read again, its branch held whole.
DeviceFile readExport(PieceReader& file, const std::string& head, RegExportReader::Encoding encoding)
{
    auto reader = std::make_unique<RegExportReader>(encoding, RegExportReader::Keep::records);
    reader->read(head);
    while (!reader->needsWholeBranch()) {
        const std::string_view piece = file.next();
        if (piece.empty())
            break;
        reader->read(piece);
    }
    reader->finish();
    const bool whole = reader->needsWholeBranch();
    if (whole) {
        file.rewind();
        reader = std::make_unique<RegExportReader>(encoding, RegExportReader::Keep::scannedValues);
        for (std::string_view piece = file.next(); !piece.empty(); piece = file.next())
            reader->read(piece);
        reader->finish();
    }
    if (!reader->hasPciBranch())
        fail(__FILE__, __LINE__, file.path + " holds no PCI devices: it has no key HKEY_LOCAL_MACHINE\\" +
                                     pciBranchPath);
    DeviceFile result;
    result.skippedLines = reader->skippedLines();
    if (whole)
        result.source = std::make_unique<RegistryDevices>(reader->takeRegistry());
    else
        result.source = std::make_unique<RecordedDevices>(reader->takeRecords());
    return result;
}

DeviceFile readHive(const PieceReader& file, const std::string& head)
{
    auto hive = readRegistryHive(file.opened, head);
    if (!hive)
        fail(__FILE__, __LINE__, file.path + " is a registry hive: this build of Corvane reads none (it was built "
                                             "without libhivex)");
    if (!hive->problem.empty())
        fail(__FILE__, __LINE__, "Failed to read " + file.path + " as a registry hive: " + hive->problem);
    if (!hive->registry)
        fail(__FILE__, __LINE__, file.path + " holds no PCI devices: it has no key ControlSetNNN\\Enum\\PCI");
    DeviceFile result;
    result.source = std::make_unique<RegistryDevices>(std::move(hive->registry));
    result.uncleanHive = !hive->cleanlyClosed;
    result.machineName = hive->computerName;
    return result;
}

}

DeviceFile readDeviceFile(const std::string& path)
{
    const platform::OpenedFile opened = platform::openRegularFile(path.c_str());
    if (opened.notAFile)
        fail(__FILE__, __LINE__, path + " is not a regular file");
    if (!opened.file)  // with the system's reason, which the database's report leaves out
        fail(__FILE__, __LINE__, "Failed to open " + path + " for read accesss " +
                                     (opened.reason.empty() ? "" : "(" + opened.reason + ")"));
    PieceReader file(opened, path);
    const std::string head = file.head();
    if (const auto encoding = RegExportReader::recognise(head))
        return readExport(file, head, *encoding);
    if (registryHive::hasSignature(head))
        return readHive(file, head);
    if (looksLikeLspciDump(head)) {
        // Read now, so that a failure names the file.
        DeviceFile result;
        result.source = lspciDumpDevices(opened, path);
        if (!result.source)
            fail(__FILE__, __LINE__, path + " is an lspci dump from Linux: only Corvane on Linux reads those");
        return result;
    }
    fail(__FILE__, __LINE__, path + " is neither a Windows registry export, a registry hive nor an lspci dump");
}
