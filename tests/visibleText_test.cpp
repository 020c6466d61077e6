// SPDX-License-Identifier: GPL-2.0-or-later
// Outside text as people are shown it: what would act is escaped visibly,
// everything printable is left as it is.
#include "visibleText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    std::string raw, shown;
};

class Shown : public testing::TestWithParam<Case> {};

TEST_P(Shown, AsTheRuleSays)
{
    EXPECT_EQ(text::visibleText(GetParam().raw), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(VisibleText, Shown, testing::Values(
    // Printable text of any script, backslashes included, stays.
    Case{"", ""},
    Case{"Intel Corporation 82574L", "Intel Corporation 82574L"},
    Case{"PCI\\VEN_8086&DEV_10D3\\3&11583659&0&C8", "PCI\\VEN_8086&DEV_10D3\\3&11583659&0&C8"},
    Case{"Мост Ω € \xF0\x9D\x84\x9E \xC2\xA0nbsp", "Мост Ω € \xF0\x9D\x84\x9E \xC2\xA0nbsp"},
    Case{"\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xAA", "\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xAA"},  // beside the escaped ranges
    // C0 controls and DEL: \xNN.
    Case{"\x1b]0;title\x07\x1b[2J", "\\x1b]0;title\\x07\\x1b[2J"},
    Case{"one\ntwo\r\tthree", "one\\x0atwo\\x0d\\x09three"},
    Case{std::string("a\0b\x7f", 4), "a\\x00b\\x7f"},
    // C1 controls, line and paragraph separators, bidi controls: \uNNNN.
    Case{"\xC2\x9B" "2J \xC2\x85 \xC2\x80 \xC2\x9F", "\\u009b2J \\u0085 \\u0080 \\u009f"},
    Case{"\xE2\x80\xA8\xE2\x80\xA9", "\\u2028\\u2029"},
    Case{"exe.\xE2\x80\xAEtxt \xE2\x80\xAA \xE2\x81\xA6 \xE2\x81\xA9", "exe.\\u202etxt \\u202a \\u2066 \\u2069"},
    // Noncharacters: \uNNNN, above U+FFFF \UNNNNNNNN; their neighbours stay.
    Case{"\xEF\xBF\xBE\xEF\xBF\xBF \xEF\xB7\x90\xEF\xB7\xAF", "\\ufffe\\uffff \\ufdd0\\ufdef"},
    Case{"\xF0\x9F\xBF\xBE \xF4\x8F\xBF\xBF", "\\U0001fffe \\U0010ffff"},
    Case{"\xEF\xB7\x8F\xEF\xB7\xB0\xEF\xBF\xBD\xF0\x9F\xBF\xBD", "\xEF\xB7\x8F\xEF\xB7\xB0\xEF\xBF\xBD\xF0\x9F\xBF\xBD"},
    // A byte that starts no UTF-8 character: \xNN, each.
    Case{"caf\xE9.reg", "caf\\xe9.reg"},
    Case{"\x9B" "2J", "\\x9b2J"},
    Case{"cut \xE2\x82", "cut \\xe2\\x82"},
    Case{"\xC0\x80 \xED\xA0\x80 \xF4\x90\x80\x80", "\\xc0\\x80 \\xed\\xa0\\x80 \\xf4\\x90\\x80\\x80"}));

TEST(VisibleText, KeepsTabsWhereAsked)
{
    EXPECT_EQ(text::visibleText("a\tb\x1b", text::Tabs::kept), "a\tb\\x1b");
}

}

namespace {

// A notice of several lines stays several lines, each shown as the rule says.
TEST(VisibleText, LinesOfANoticeStayLines)
{
    EXPECT_EQ(text::visibleLines("a\x1b\nb\r\n\nc\t"), "a\\x1b\nb\\x0d\n\nc\\x09");
    EXPECT_EQ(text::visibleLines(""), "");
}

}
