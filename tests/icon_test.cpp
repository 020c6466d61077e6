#include "TempDir.h"
#include "appIcon.h"

#include <gtest/gtest.h>

namespace {

TEST(Icon, PicturesAreSquareAndUseTheSixteenColours)
{
    for (const IconPicture* picture : {&smallIcon(), &largeIcon()}) {
        for (int y = 0; y < picture->size; ++y) {
            const std::string row = picture->rows[y];
            ASSERT_EQ(row.size(), static_cast<std::size_t>(picture->size)) << "row " << y;
            EXPECT_EQ(row.find_first_not_of(".0123456789ABCDEF"), std::string::npos) << row;
        }
        EXPECT_EQ(iconRgba(*picture).size(), static_cast<std::size_t>(picture->size * picture->size * 4));
    }
    EXPECT_EQ(smallIcon().size, 16);
    EXPECT_EQ(largeIcon().size, 32);
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
