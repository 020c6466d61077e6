// SPDX-License-Identifier: GPL-2.0-or-later
// The INF reader and the folder index: a file of any bytes read as an INF
// for one of four Windows (chosen by the input's size), then the same text
// again as UTF-16, which must read the same; every text read is UTF-8 within
// Windows' field length. The file is then put in a folder and indexed, and
// each models line's hardware ID must fit a device of that ID, unless the
// line excludes it.
#include "driverFolder.h"
#include "infFile.h"
#include "text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

const WindowsTarget& targetFor(std::size_t size)
{
    static const WindowsTarget targets[4] = {
        {},
        {WindowsArchitecture::x86, 10, 0, 19045},
        {WindowsArchitecture::arm64, 10, 0, 22631},
        {WindowsArchitecture::amd64, 6, 1, 7601},
    };
    return targets[size % 4];
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkText(std::string_view read)
{
    check(text::isUtf8(read) && read.find('\0') == std::string_view::npos);
    std::string cut(read);
    inf::cutToLength(cut, inf::maxFieldLength);
    check(cut.size() == read.size());
}

// Everything read, as text; each text checked on the way.
std::string readAll(std::string_view bytes, const WindowsTarget& target, std::optional<InfFile>& file)
{
    file = readInfFile(bytes, target);
    if (!file)
        return "no INF";
    std::string out;
    for (const std::string* read : {&file->provider, &file->infClass, &file->catalogFile}) {
        checkText(*read);
        out += *read + "\n";
    }
    out += file->driver.isoDate() + file->driver.versionText() + "\n";
    for (const InfFile::Model& model : file->models) {
        checkText(model.description);
        checkText(model.installSection);
        check(!model.ids.empty() && model.featureScore <= 0xFF);
        out += model.description + "|" + model.installSection + "|" + std::to_string(model.featureScore) + "|" +
               model.driver.isoDate() + model.driver.versionText();
        for (const std::string& id : model.ids) {
            checkText(id);
            out += "|" + id;
        }
        for (const std::string& id : file->excludeIds.at(model.install)) {
            checkText(id);
            out += "|-" + id;
        }
        out += "\n";
    }
    return out;
}

// The decoded text as UTF-16LE with its byte-order mark.
std::string asUtf16(std::string_view bytes)
{
    inf::Scratch scratch;
    const std::string_view text = inf::decodeText(bytes, scratch);
    std::string out = "\xFF\xFE";
    for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
        std::uint32_t code = static_cast<std::uint32_t>(text::utf8CodePoint(text, at, length));
        const auto unit = [&](std::uint32_t value) {
            out += static_cast<char>(value & 0xFF);
            out += static_cast<char>(value >> 8);
        };
        if (code >= 0x10000) {
            code -= 0x10000;
            unit(0xD800 + (code >> 10));
            unit(0xDC00 + (code & 0x3FF));
        } else {
            unit(code);
        }
    }
    return out;
}

std::string scratchFolder()
{
    const char* directory = std::getenv("TMPDIR");
    const std::string path = std::string(directory ? directory : "/tmp") + "/corvane-fuzz-" + std::to_string(getpid());
    mkdir(path.c_str(), 0700);
    return path;
}

void checkFolder(std::string_view bytes, const WindowsTarget& target, const std::optional<InfFile>& file)
{
    static const std::string folder = scratchFolder();
    std::FILE* out = std::fopen((folder + "/fuzz.inf").c_str(), "wb");
    check(out != nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    DriverFolders folders(target);
    folders.read(folder);
    check(folders.infFilesRead() + folders.filesSkipped() == 1 && folders.infFilesRead() == (file ? 1u : 0u));
    if (!file)
        return;
    std::size_t checked = 0;
    for (const InfFile::Model& model : file->models) {
        const std::string& id = model.ids[0];
        if (id.empty() || ++checked > 64)
            continue;
        bool excluded = false;
        for (const std::string& exclusion : file->excludeIds[model.install])
            excluded = excluded || text::equalAsciiFolded(exclusion, id);
        const DriverFits found = folders.fits({id}, {});
        bool fits = found.more != 0;  // it may be among those not listed
        for (const DriverFit& fit : found.best)
            fits = fits || (fit.model == model.description && (fit.rank & 0xFFFF) == 0 &&
                            text::equalAsciiFolded(fit.matchedId, id));
        check(fits || excluded);
        check(found.best.size() <= maxListedFits);
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const WindowsTarget& target = targetFor(size);
    std::optional<InfFile> file, again;
    const std::string read = readAll(bytes, target, file);
    if (asUtf16(bytes).size() <= maxInfFileSize)
        check(readAll(asUtf16(bytes), target, again) == read);
    checkFolder(bytes, target, file);
    return 0;
}
