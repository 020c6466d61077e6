// SPDX-License-Identifier: GPL-2.0-or-later
// The notice box's text: lines longer than the box may be wide are broken,
// after a blank or a path's separator where one is near.
#include "noticeBox.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct BreakCase {
    std::string text, broken;
};

class BrokenLines : public testing::TestWithParam<BreakCase> {};

TEST_P(BrokenLines, FitTheBox)
{
    EXPECT_EQ(brokenLines(GetParam().text, 10), GetParam().broken);
}

INSTANTIATE_TEST_SUITE_P(NoticeBox, BrokenLines, testing::Values(
    BreakCase{"short", "short"},
    BreakCase{"0123456789", "0123456789"},
    BreakCase{"01234567890123456789012", "0123456789\n0123456789\n012"},
    BreakCase{"saved to /home/user/x.html: full", "saved to /\nhome/user/\nx.html: \nfull"},
    BreakCase{"one line\n0123456789ab", "one line\n0123456789\nab"},
    // Characters, not bytes, and never within one.
    BreakCase{"\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9Fx",
              "\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\nx"}));

}
