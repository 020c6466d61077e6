// SPDX-License-Identifier: GPL-2.0-or-later
// A directory read by what it holds open: down and up again, and what is
// swapped or moved between its listing and the opening is not followed.
#include "TempDir.h"
#include "files.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string contentOf(const platform::OpenedFile& opened)
{
    std::string bytes(static_cast<std::size_t>(opened.size), '\0');
    if (!opened.file || std::fread(bytes.data(), 1, bytes.size(), opened.file.get()) != bytes.size())
        return "(unread)";
    return bytes;
}

TEST(OpenDirectory, GoesDownAndUpAgain)
{
    TempDir dir;
    dir.write("tree/sub/inside.inf", "inside");
    platform::OpenDirectory tree, sub, parent;
    ASSERT_EQ(platform::OpenDirectory::open(dir.file("tree"), tree), platform::Listing::listed);
    std::vector<platform::DirectoryEntry> entries;
    ASSERT_EQ(tree.list(entries), platform::Listing::listed);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "sub");
    EXPECT_EQ(entries[0].kind, platform::DirectoryEntry::directory);
    ASSERT_TRUE(tree.openSubdirectory("sub", sub));
    EXPECT_EQ(contentOf(sub.openFile("inside.inf")), "inside");
    EXPECT_FALSE(sub.openFile("missing.inf").file);
    EXPECT_FALSE(tree.openSubdirectory("missing", parent));
    ASSERT_TRUE(sub.openParent(tree.identity(), parent));
    EXPECT_TRUE(parent.identity() == tree.identity());
    EXPECT_FALSE(sub.openParent(sub.identity(), parent));
    EXPECT_EQ(platform::OpenDirectory::open(dir.file("tree/sub/inside.inf"), parent), platform::Listing::notADirectory);
    EXPECT_EQ(platform::OpenDirectory::open(dir.file("missing"), parent), platform::Listing::missing);
}

#ifndef _WIN32
TEST(OpenDirectory, WhatIsSwappedAfterTheListingIsNotFollowed)
{
    TempDir dir;
    dir.write("tree/sub/inside.inf", "inside");
    dir.write("tree/file.inf", "file");
    dir.write("elsewhere/secret.inf", "secret");
    platform::OpenDirectory tree, opened;
    ASSERT_EQ(platform::OpenDirectory::open(dir.file("tree"), tree), platform::Listing::listed);
    // Listed as a folder and a file, then each swapped for a link out of the tree.
    ASSERT_EQ(std::rename(dir.file("tree/sub").c_str(), dir.file("tree/old").c_str()), 0);
    ASSERT_EQ(symlink("../elsewhere", dir.file("tree/sub").c_str()), 0);
    ASSERT_EQ(unlink(dir.file("tree/file.inf").c_str()), 0);
    ASSERT_EQ(symlink("../elsewhere/secret.inf", dir.file("tree/file.inf").c_str()), 0);
    EXPECT_FALSE(tree.openSubdirectory("sub", opened));
    EXPECT_FALSE(tree.openFile("file.inf").file);
    // A folder moved out meanwhile: the one it is in is no longer the one it was opened from.
    platform::OpenDirectory old;
    ASSERT_TRUE(tree.openSubdirectory("old", old));
    ASSERT_EQ(std::rename(dir.file("tree/old").c_str(), dir.file("elsewhere/old").c_str()), 0);
    EXPECT_FALSE(old.openParent(tree.identity(), opened));
}
#endif

}
