// SPDX-License-Identifier: GPL-2.0-or-later
// The searches the lookups run through their lists, against plain ones, on
// texts of every length around the 16 and 32 bytes they take at a time.
#include "byteSearch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::size_t plainNextUnindented(std::string_view text, std::size_t from, std::size_t limit)
{
    limit = std::min(limit, text.size());
    for (std::size_t at = from; at < limit; ++at)
        if ((at == 0 || text[at - 1] == '\n') && text[at] != '\t')
            return at;
    return limit;
}

std::size_t plainPreviousUnindented(std::string_view text, std::size_t before, std::size_t limit)
{
    for (std::size_t at = std::min(before, text.size()); at-- > limit;)
        if ((at == 0 || text[at - 1] == '\n') && text[at] != '\t')
            return at;
    return std::string_view::npos;
}

// Texts of few letters, so that needles made of them are found often.
std::string randomText(std::mt19937& random, std::size_t size)
{
    static const char letters[] = "\n\t0x8\"";
    std::string text(size, ' ');
    for (char& c : text)
        c = letters[random() % (sizeof letters - 1)];
    return text;
}

TEST(ByteSearch, FindsWhatAPlainSearchFinds)
{
    std::mt19937 random(11);
    for (std::size_t size = 0; size < 300; ++size) {
        const std::string text = randomText(random, size);
        for (int trial = 0; trial < 8; ++trial) {
            const std::string needle = randomText(random, 1 + random() % 6);
            const std::size_t from = random() % (size + 2);
            ASSERT_EQ(findBytes(text, needle, from), std::string_view(text).find(needle, from))
                << testing::PrintToString(text) << " " << testing::PrintToString(needle) << " from " << from;
        }
    }
}

TEST(ByteSearch, FindsNeedlesAtTheVeryEndOfALongText)
{
    std::string text(100000, 'a');
    for (std::size_t length = 1; length <= 9; ++length) {
        const std::string needle(length, 'b');
        for (std::size_t end = text.size() - 40; end <= text.size(); ++end) {
            std::string copy = text.substr(0, end);
            copy.replace(end - length, length, needle);
            ASSERT_EQ(findBytes(copy, needle, 0), end - length) << length << " " << end;
        }
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
// The searches take their AVX2 paths where the processor (and the system)
// has AVX2, by what the C library found at start.
TEST(ByteSearch, TakesTheWidePathsWhereTheProcessorHasAvx2)
{
    EXPECT_EQ(haveAvx2(), static_cast<bool>(__builtin_cpu_supports("avx2")));
}
#endif

TEST(ByteSearch, FindsLineStartsAsAPlainWalkDoes)
{
    std::mt19937 random(12);
    for (std::size_t size = 0; size < 200; ++size) {
        const std::string text = randomText(random, size);
        for (int trial = 0; trial < 8; ++trial) {
            const std::size_t a = random() % (size + 2), b = random() % (size + 2);
            ASSERT_EQ(nextUnindentedLine(text, a, b), plainNextUnindented(text, a, b))
                << testing::PrintToString(text) << " " << a << " " << b;
            ASSERT_EQ(previousUnindentedLine(text, a, b), plainPreviousUnindented(text, a, b))
                << testing::PrintToString(text) << " " << a << " " << b;
        }
    }
}

}
