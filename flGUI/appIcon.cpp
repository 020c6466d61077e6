#include "appIcon.h"

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

const IconPicture& largeIcon()
{
    static const IconPicture picture{32, largeRows};
    return picture;
}

IconColour iconPalette(int index)
{
    return palette[index & 15];
}

std::vector<unsigned char> iconRgba(const IconPicture& picture)
{
    std::vector<unsigned char> rgba;
    rgba.reserve(static_cast<std::size_t>(picture.size) * picture.size * 4);
    for (int y = 0; y < picture.size; ++y) {
        for (int x = 0; x < picture.size; ++x) {
            const int index = colourIndex(picture.rows[y][x]);
            const IconColour colour = index < 0 ? IconColour{0, 0, 0} : palette[index];
            rgba.insert(rgba.end(), {colour.red, colour.green, colour.blue,
                                     static_cast<unsigned char>(index < 0 ? 0 : 255)});
        }
    }
    return rgba;
}
