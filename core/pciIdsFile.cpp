// SPDX-License-Identifier: GPL-2.0-or-later
#include "pciIdsFile.h"

#include "pciIdsReader.h"

#include <zlib.h>

#include <climits>
#include <cstdio>
#include <memory>

namespace {

// A gzip-compressed list, inflated whole; false when it is damaged or
// inflates beyond what a list may hold (PciIdsLimits).
bool inflateList(std::string_view compressed, std::string& list)
{
    z_stream stream{};
    if (compressed.size() > UINT_MAX || inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    PciIdsLimits limits;
    int status = Z_OK;
    while (status == Z_OK) {
        char chunk[65536];
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        const std::string_view inflated(chunk, sizeof chunk - stream.avail_out);
        if (!limits.take(inflated))
            break;
        list.append(inflated);
        if (status == Z_STREAM_END && stream.avail_in > 0)
            status = inflateReset(&stream);  // the next member of the file
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END && limits.problem().empty();
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}

PciIdsFile::PciIdsFile(const std::string& path, MappedFile::Pages pages)
{
    const std::string suffix = ".gz";
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file && path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
        file.reset(std::fopen(path.substr(0, path.size() - suffix.size()).c_str(), "rb"));
    if (!file || !mapped.load(file.get(), pages))
        return;
    const std::string_view bytes = mapped.bytes();
    if (bytes.size() >= 2 && bytes[0] == '\x1f' && bytes[1] == '\x8b') {
        if (!inflateList(bytes, inflated))
            inflated.clear();
        text = inflated;
    } else {
        text = bytes;
    }
}
