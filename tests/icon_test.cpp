// SPDX-License-Identifier: GPL-2.0-or-later
#include "TempDir.h"
#include "appIcon.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

TEST(Icon, PicturesAreSquareAndUseTheSixteenColours)
{
    for (const IconPicture* picture : {&smallIcon(), &mediumIcon(), &largeIcon()}) {
        for (int y = 0; y < picture->size; ++y) {
            const std::string row = picture->rows[y];
            ASSERT_EQ(row.size(), static_cast<std::size_t>(picture->size)) << "row " << y;
            EXPECT_EQ(row.find_first_not_of(".0123456789ABCDEF"), std::string::npos) << row;
        }
        EXPECT_EQ(iconRgba(*picture).size(), static_cast<std::size_t>(picture->size * picture->size * 4));
    }
    EXPECT_EQ(smallIcon().size, 16);
    EXPECT_EQ(mediumIcon().size, 24);
    EXPECT_EQ(largeIcon().size, 32);
}

// Every size comes from a picture grown by whole pixels: each of its pixels
// a square of one colour, the picture's own pixel.
TEST(Icon, SizesGrowAPictureByWholePixels)
{
    const std::vector<std::pair<int, int>> expected = {{16, 16}, {24, 24}, {32, 32}, {48, 24}, {64, 32}, {256, 32}};
    ASSERT_EQ(iconSizes().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto [size, pictureSize] = expected[i];
        EXPECT_EQ(iconSizes()[i], size);
        const IconPicture* picture = pictureFor(size);
        ASSERT_NE(picture, nullptr) << size;
        EXPECT_EQ(picture->size, pictureSize) << size;
        const auto grown = iconRgba(*picture, size), own = iconRgba(*picture);
        ASSERT_EQ(grown.size(), static_cast<std::size_t>(size * size * 4));
        const int scale = size / pictureSize;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                for (int byte = 0; byte < 4; ++byte)
                    ASSERT_EQ(grown[(y * size + x) * 4 + byte], own[((y / scale) * pictureSize + x / scale) * 4 + byte])
                        << size << ": " << x << "," << y;
    }
    for (const int none : {0, 20, 40, 100})
        EXPECT_EQ(pictureFor(none), nullptr) << none;
}

TEST(Icon, TransparentPixelsHaveNoAlpha)
{
    const auto rgba = iconRgba(smallIcon());
    EXPECT_EQ(rgba[3], 0);                        // '.' in the corner
    const std::size_t chip = (4 * 16 + 7) * 4;    // row 4, column 7: '0', black
    EXPECT_EQ(rgba[chip + 3], 255);
    EXPECT_EQ(rgba[chip], 0);
}

// The Windows resources use the .ico kept in the sources: it must be these pictures.
TEST(Icon, KeptIconFileHoldsThesePictures)
{
    EXPECT_EQ(readFile(std::string(CORVANE_SOURCE_DIR) + "/platform/corvane.ico"), iconFile())
        << "run corvane-make-icon platform/corvane.ico";
}

}
