// SPDX-License-Identifier: GPL-2.0-or-later
// The keyed hash of the tables a file fills: names made to collide on a
// hash without a secret spread over the slots, and case folds as names do.
#include "keyedHash.h"
#include "text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// 1,024 names of one text::foldedHash: ten blocks of 16 bytes, each as it
// is or with the top bit of its 8th byte, the top bit of its 16th and the
// low bit of its 13th flipped, a difference the multiply of the first word
// carries only to bits 63 and 32, which the second word takes back out.
std::vector<std::string> collidingNames()
{
    std::vector<std::string> names{""};
    for (int block = 0; block < 10; ++block) {
        std::vector<std::string> longer;
        for (const std::string& name : names)
            for (const bool flipped : {false, true}) {
                std::string bytes = "abcdefghijklmnop";
                if (flipped) {
                    bytes[7] = static_cast<char>(bytes[7] ^ 0x80);
                    bytes[15] = static_cast<char>(bytes[15] ^ 0x80);
                    bytes[12] = static_cast<char>(bytes[12] ^ 0x01);
                }
                longer.push_back(name + bytes);
            }
        names = std::move(longer);
    }
    return names;
}

TEST(KeyedHash, NamesMadeToCollideDoNot)
{
    const std::vector<std::string> names = collidingNames();
    std::set<std::uint64_t> unkeyed, keyed, slots;
    for (const std::string& name : names) {
        unkeyed.insert(text::foldedHash(name));
        keyed.insert(text::keyedFoldedHash(name));
        slots.insert(text::keyedFoldedHash(name) & 1023);
    }
    ASSERT_EQ(unkeyed.size(), 1u) << "these names no longer collide without a key: make others that do";
    EXPECT_EQ(keyed.size(), names.size());
    EXPECT_GT(slots.size(), names.size() / 2);  // about 1 - 1/e of 1,024 slots taken, as for random values
}

TEST(KeyedHash, FoldsCaseWhereAsked)
{
    EXPECT_EQ(text::keyedFoldedHash("PCI\\VEN_1AF4&DEV_1042&SUBSYS"), text::keyedFoldedHash("pci\\ven_1af4&dev_1042&subsys"));
    EXPECT_NE(text::keyedHash("PCI\\VEN_1AF4&DEV_1042&SUBSYS"), text::keyedHash("pci\\ven_1af4&dev_1042&subsys"));
    EXPECT_NE(text::keyedFoldedHash(""), text::keyedFoldedHash(std::string(1, '\0')));
}

}
