// SPDX-License-Identifier: GPL-2.0-or-later
// The owner of a file descriptor: each descriptor closed once, by whoever holds it last.
#include "descriptor_posix.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <functional>

namespace {

bool isOpen(int descriptor)
{
    return fcntl(descriptor, F_GETFD) != -1;
}

struct OwnerCase {
    const char* what;
    // Does something with an owner of `opened`; what it returns still owns one.
    std::function<platform::Descriptor(platform::Descriptor&& owner)> act;
    bool openAfterAct;     // `opened` still open once the act is done
    bool openAfterOwners;  // and once every owner has gone
};

class Owner : public testing::TestWithParam<OwnerCase> {};

TEST_P(Owner, ClosesOnceWhenTheLastOwnerGoes)
{
    const int opened = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(opened, 0);
    bool openAfterAct = false;
    {
        const platform::Descriptor kept = GetParam().act(platform::Descriptor(opened));
        openAfterAct = isOpen(opened);
    }
    EXPECT_EQ(openAfterAct, GetParam().openAfterAct);
    EXPECT_EQ(isOpen(opened), GetParam().openAfterOwners);
    if (isOpen(opened))
        close(opened);
}

INSTANTIATE_TEST_SUITE_P(Descriptor, Owner, testing::Values(
    OwnerCase{"Kept", [](platform::Descriptor&& owner) { return std::move(owner); }, true, false},
    OwnerCase{"MovedByAssignment",
              [](platform::Descriptor&& owner) {
                  platform::Descriptor other(open("/dev/null", O_RDONLY | O_CLOEXEC));
                  other = std::move(owner);
                  return other;
              },
              true, false},
    OwnerCase{"MovedFrom",
              [](platform::Descriptor&& owner) {
                  platform::Descriptor taken(std::move(owner));
                  EXPECT_FALSE(owner.valid());
                  return platform::Descriptor(taken.release());
              },
              true, false},
    OwnerCase{"Released",
              [](platform::Descriptor&& owner) {
                  owner.release();
                  return platform::Descriptor();
              },
              true, true},
    OwnerCase{"Reset",
              [](platform::Descriptor&& owner) {
                  owner.reset();
                  return std::move(owner);
              },
              false, false},
    OwnerCase{"ClosedNow",
              [](platform::Descriptor&& owner) {
                  EXPECT_TRUE(owner.close());
                  EXPECT_FALSE(owner.valid());
                  return std::move(owner);
              },
              false, false}),
    [](const testing::TestParamInfo<OwnerCase>& info) { return info.param.what; });

}
