// SPDX-License-Identifier: GPL-2.0-or-later
// The marks' one description: every mark pictured within its 16 by 16
// grid, and the SVG writing each of its shapes.
#include "markPictures.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class MarkPictures : public testing::TestWithParam<DeviceMark> {};

TEST_P(MarkPictures, StayOnTheGridAndAreWrittenWhole)
{
    const auto& shapes = markShapes(GetParam());
    ASSERT_FALSE(shapes.empty());
    for (const MarkShape& shape : shapes) {
        for (const auto& [x, y] : shape.corners) {
            EXPECT_TRUE(x >= 0 && x <= 16 && y >= 0 && y <= 16) << x << "," << y;
        }
        EXPECT_TRUE(shape.x >= 0 && shape.y >= 0 && shape.x + shape.width <= 16 && shape.y + shape.height <= 16);
    }
    const std::string svg = markSvgShapes(GetParam());
    std::size_t elements = 0;
    for (std::size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1))
        elements += svg.compare(at, 2, "</") != 0;
    EXPECT_EQ(elements, shapes.size()) << svg;
    EXPECT_FALSE(markDescription(GetParam()).empty());
}

INSTANTIATE_TEST_SUITE_P(EveryMark, MarkPictures,
                         testing::Values(DeviceMark::problem, DeviceMark::disabled, DeviceMark::notInDatabase,
                                         DeviceMark::problemNotInDatabase, DeviceMark::disabledNotInDatabase));

TEST(MarkPictures, NoneHasNoPicture)
{
    EXPECT_TRUE(markShapes(DeviceMark::none).empty());
    EXPECT_EQ(markSvgShapes(DeviceMark::none), "");
}

}
