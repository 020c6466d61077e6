// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the program's icon pictures as files:
//   corvane-make-icon FILE.ico         the Windows icon (every size)
//   corvane-make-icon FILE.png SIZE    a square PNG of SIZE pixels
//   corvane-make-icon FILE.svg         the large picture, drawn as squares
// The Windows resources use the .ico kept beside this file; a test checks
// that it is what this program writes. The PNG and SVG files are the
// desktop's icons, made by the build.
#include "appIcon.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void putBigEndian32(std::string& out, unsigned long value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

std::string pngChunk(const char* type, const std::string& data)
{
    std::string chunk;
    putBigEndian32(chunk, data.size());
    chunk += type;
    chunk += data;
    const auto* typeAndData = reinterpret_cast<const Bytef*>(chunk.data() + 4);
    putBigEndian32(chunk, crc32(0, typeAndData, static_cast<uInt>(chunk.size() - 4)));
    return chunk;
}

// 8-bit RGBA, no interlace, every row unfiltered.
std::string pngFile(const IconPicture& picture, int size)
{
    const std::vector<unsigned char> rgba = iconRgba(picture, size);
    const std::size_t rowBytes = static_cast<std::size_t>(size) * 4;
    std::string rows;
    for (int y = 0; y < size; ++y) {
        rows += '\0';
        rows.append(reinterpret_cast<const char*>(&rgba[y * rowBytes]), rowBytes);
    }
    std::string packed(compressBound(static_cast<uLong>(rows.size())), '\0');
    uLongf packedSize = static_cast<uLongf>(packed.size());
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
                  static_cast<uLong>(rows.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string header;
    putBigEndian32(header, static_cast<unsigned long>(size));
    putBigEndian32(header, static_cast<unsigned long>(size));
    header += std::string("\x08\x06\x00\x00\x00", 5);  // depth 8, RGBA, deflate, no filter choice, no interlace
    return std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", packed) +
           pngChunk("IEND", "");
}

// One rectangle per run of equal pixels in a row; transparent ones are left out.
std::string svgFile(const IconPicture& picture)
{
    const std::vector<unsigned char> rgba = iconRgba(picture);
    const int size = picture.size;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(size) + "\" height=\"" +
                      std::to_string(size) + "\" viewBox=\"0 0 " + std::to_string(size) + " " +
                      std::to_string(size) + "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size;) {
            const unsigned char* pixel = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
            int run = 1;
            while (x + run < size && std::equal(pixel, pixel + 4, pixel + 4 * run))
                ++run;
            if (pixel[3] != 0) {
                char colour[8];
                std::snprintf(colour, sizeof colour, "#%02x%02x%02x", pixel[0], pixel[1], pixel[2]);
                svg += "  <rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
                       std::to_string(run) + "\" height=\"1\" fill=\"" + colour + "\"/>\n";
            }
            x += run;
        }
    }
    return svg + "</svg>\n";
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

const char* const usage = "Usage: corvane-make-icon FILE.ico | FILE.png SIZE | FILE.svg\n";

}

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[1] : "";
    std::string contents;
    if (argc == 2 && endsWith(path, ".ico")) {
        contents = iconFile();
    } else if (argc == 2 && endsWith(path, ".svg")) {
        contents = svgFile(largeIcon());
    } else if (argc == 3 && endsWith(path, ".png")) {
        const IconPicture* picture = pictureFor(std::atoi(argv[2]));
        if (!picture) {
            std::fprintf(stderr, "corvane-make-icon: no picture fits %s pixels\n", argv[2]);
            return 2;
        }
        contents = pngFile(*picture, std::atoi(argv[2]));
    } else {
        std::fputs(usage, stderr);
        return 2;
    }
    if (contents.empty()) {
        std::fputs("corvane-make-icon: the picture could not be compressed\n", stderr);
        return 1;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file && std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    if (file && std::fclose(file) != 0)
        written = false;
    if (!written) {
        std::perror(path.c_str());
        return 1;
    }
    return 0;
}
