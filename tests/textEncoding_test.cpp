// SPDX-License-Identifier: GPL-2.0-or-later
// UTF-16 as exports hold it, read in pieces of any size: the same UTF-8
// whatever the pieces, with the surrogates' rules at any cut.
#include "textEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* name;
    std::u16string units;
    std::string utf8;
};

std::string bytesOf(const std::u16string& units, bool bigEndian)
{
    std::string bytes;
    for (const char16_t unit : units) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

class Decoded : public testing::TestWithParam<Case> {};

TEST_P(Decoded, AlikeInPiecesOfEverySize)
{
    for (const bool bigEndian : {false, true}) {
        const std::string bytes = bytesOf(GetParam().units, bigEndian);
        for (std::size_t piece = 1; piece <= bytes.size() + 1; ++piece) {
            Utf16Decoder decoder(bigEndian);
            std::string out = "before ";
            for (std::size_t at = 0; at < bytes.size(); at += piece)
                decoder.decode(std::string_view(bytes).substr(at, piece), out);
            decoder.finish(out);
            EXPECT_EQ(out, "before " + GetParam().utf8) << (bigEndian ? "big-endian" : "little-endian")
                                                         << ", pieces of " << piece;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Utf16, Decoded, testing::Values(
    Case{"ascii", u"[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n\"Class\"=\"Net\"", "[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n\"Class\"=\"Net\""},
    Case{"zeroAndDelete", std::u16string(u"a\0b\x7f", 4), std::string("a\0b\x7f", 4)},
    Case{"twoAndThreeBytes", u"Caf\u00e9 \u041c\u043e\u0441\u0442 \u20ac\uffff", "Caf\xC3\xA9 \xD0\x9C\xD0\xBE\xD1\x81\xD1\x82 \xE2\x82\xAC\xEF\xBF\xBF"},
    Case{"pair", u"x\U0001D11Ey", "x\xF0\x9D\x84\x9Ey"},
    Case{"loneHighThenText", u"x\xD834y", "x\xEF\xBF\xBDy"},
    Case{"loneHighThenHigh", u"\xD834\xD834\xDD1E", "\xEF\xBF\xBD\xF0\x9D\x84\x9E"},
    Case{"loneLow", u"x\xDD1Ey", "x\xEF\xBF\xBDy"},
    Case{"highAtTheEnd", u"x\xD834", "x\xEF\xBF\xBD"},
    Case{"mixedInRunsOfFour", u"abcdefg\xD834hijklmno\U0001D11Epqrstuv\u00e9wxyz0123",
         "abcdefg\xEF\xBF\xBDhijklmno\xF0\x9D\x84\x9Epqrstuv\xC3\xA9wxyz0123"},
    Case{"mixedInRunsOfEight", u"abcdefghijklmnop\u00e9abcdefgh\xD834" u"abcdefghij\U0001D11E\x80" u"bcdefghijklmnopq",
         "abcdefghijklmnop\xC3\xA9" "abcdefgh\xEF\xBF\xBD" "abcdefghij\xF0\x9D\x84\x9E\xC2\x80" "bcdefghijklmnopq"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(Utf16, DropsALoneLastByte)
{
    Utf16Decoder decoder(false);
    std::string out;
    decoder.decode(std::string("A\0B", 3), out);
    decoder.finish(out);
    EXPECT_EQ(out, "A");
}

}
