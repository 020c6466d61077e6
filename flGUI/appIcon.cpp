// SPDX-License-Identifier: GPL-2.0-or-later
#include "appIcon.h"

#include <algorithm>

namespace {

const char* const smallRows[] = {
    "................",
    "77..............",
    "780000000000000.",
    "782222222222220.",
    "782662000022220.",
    "782662088024420.",
    "782222088022220.",
    "782222088021120.",
    "782222000021120.",
    "782222222222220.",
    "782AAAAAAAAAA20.",
    "780000000000000.",
    "78..B3B3.3B3B3..",
    "78..B3B3.3B3B3..",
    "78..............",
    "................",
};

const char* const mediumRows[] = {
    "........................",
    "........................",
    ".8777...................",
    ".8888...................",
    ".878....................",
    ".878....................",
    ".8780000000000000000000.",
    ".8780222222727272222220.",
    ".8780266200000000244220.",
    ".8780266208888880244220.",
    ".8780222208888880222220.",
    ".8780222208888880211220.",
    ".8780222208888880211220.",
    ".8780222200000000222220.",
    ".8780222222727272222220.",
    ".87802AAAAAAAAAAAAAAA20.",
    ".8780222222222222222220.",
    ".8780000000000000000000.",
    ".878...3B3B3B.B3B3B3B...",
    ".878...3B3B3B.B3B3B3B...",
    ".878...333333.3333333...",
    ".878....................",
    "........................",
    "........................",
};

const char* const largeRows[] = {
    "................................",
    "................................",
    "................................",
    ".87777..........................",
    ".88888..........................",
    ".878............................",
    ".878............................",
    ".878000000000000000000000000000.",
    ".878022222222222222222222222220.",
    ".878022222222727272722222222220.",
    ".878022666220000000000224444220.",
    ".878022666220888888880224444220.",
    ".878022666220888888880224444220.",
    ".878022222220888888880222222220.",
    ".878022222220888888880222222220.",
    ".878022222220888888880221111220.",
    ".878022222220888888880221111220.",
    ".878022222220888888880221111220.",
    ".878022222220000000000222222220.",
    ".878022222222727272722222222220.",
    ".878022222222222222222222222220.",
    ".87802AAAAAAAAAAAAAAAAAAAAAA220.",
    ".878022222222222222222222222220.",
    ".878022222222222222222222222220.",
    ".878000000000000000000000000000.",
    ".878....3B3B3B3B3B.B3B3B3B3B3...",
    ".878....3B3B3B3B3B.B3B3B3B3B3...",
    ".878....3333333333.3333333333...",
    ".878............................",
    "................................",
    "................................",
    "................................",
};

const IconColour palette[16] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

int colourIndex(char pixel)
{
    if (pixel >= '0' && pixel <= '9')
        return pixel - '0';
    if (pixel >= 'A' && pixel <= 'F')
        return pixel - 'A' + 10;
    return -1;
}

}

const IconPicture& smallIcon()
{
    static const IconPicture picture{16, smallRows};
    return picture;
}

const IconPicture& mediumIcon()
{
    static const IconPicture picture{24, mediumRows};
    return picture;
}

const IconPicture& largeIcon()
{
    static const IconPicture picture{32, largeRows};
    return picture;
}

const std::vector<int>& iconSizes()
{
    static const std::vector<int> sizes = {16, 24, 32, 48, 64, 256};
    return sizes;
}

const IconPicture* pictureFor(int size)
{
    for (const IconPicture* picture : {&largeIcon(), &mediumIcon(), &smallIcon()})
        if (size > 0 && size % picture->size == 0)
            return picture;
    return nullptr;
}

IconColour iconPalette(int index)
{
    return palette[index & 15];
}

std::vector<unsigned char> iconRgba(const IconPicture& picture, int size)
{
    if (size <= 0)
        size = picture.size;
    const int scale = std::max(1, size / picture.size);
    std::vector<unsigned char> rgba;
    rgba.reserve(static_cast<std::size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int index = colourIndex(picture.rows[y / scale][x / scale]);
            const IconColour colour = index < 0 ? IconColour{0, 0, 0} : palette[index];
            rgba.insert(rgba.end(), {colour.red, colour.green, colour.blue,
                                     static_cast<unsigned char>(index < 0 ? 0 : 255)});
        }
    }
    return rgba;
}

namespace {

void put16(std::string& out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, unsigned value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// One image of the icon file, the picture grown to `size` by whole pixels:
// header, palette, colour rows and mask rows, rows bottom-up and padded to
// four bytes.
std::string iconImage(const IconPicture& picture, int size)
{
    const int scale = size / picture.size;
    const auto pixel = [&picture, scale](int x, int y) { return colourIndex(picture.rows[y / scale][x / scale]); };
    const int colourRow = (size / 2 + 3) / 4 * 4, maskRow = (size / 8 + 3) / 4 * 4;
    std::string image;
    put32(image, 40);
    put32(image, static_cast<unsigned>(size));
    put32(image, static_cast<unsigned>(2 * size));  // colours and mask together
    put16(image, 1);
    put16(image, 4);
    put32(image, 0);
    put32(image, static_cast<unsigned>((colourRow + maskRow) * size));
    for (int i = 0; i < 4; ++i)
        put32(image, 0);
    for (const IconColour& colour : palette) {
        image += static_cast<char>(colour.blue);
        image += static_cast<char>(colour.green);
        image += static_cast<char>(colour.red);
        image += '\0';
    }
    for (int y = size - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(colourRow), '\0');
        for (int x = 0; x < size; ++x) {
            const int index = std::max(0, pixel(x, y));
            row[x / 2] = static_cast<char>(row[x / 2] | (x % 2 ? index : index << 4));
        }
        image += row;
    }
    for (int y = size - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(maskRow), '\0');
        for (int x = 0; x < size; ++x)
            if (pixel(x, y) < 0)
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        image += row;
    }
    return image;
}

}

std::string iconFile()
{
    const std::vector<int>& sizes = iconSizes();
    std::string file;
    put16(file, 0);
    put16(file, 1);  // an icon
    put16(file, static_cast<unsigned>(sizes.size()));
    std::string images;
    for (const int size : sizes) {
        const std::string image = iconImage(*pictureFor(size), size);
        file += static_cast<char>(size & 0xFF);  // 0 stands for 256
        file += static_cast<char>(size & 0xFF);
        file += static_cast<char>(16);
        file += '\0';
        put16(file, 1);
        put16(file, 4);
        put32(file, static_cast<unsigned>(image.size()));
        put32(file, static_cast<unsigned>(6 + 16 * sizes.size() + images.size()));
        images += image;
    }
    return file + images;
}
