// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows that drivers are matched for, as an option gives it.
#include "platform.h"
#include "windowsTarget.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TargetCase {
    const char* text;
    const char* described;  // null: refused
};

class Targets : public testing::TestWithParam<TargetCase> {};

TEST_P(Targets, AreReadFromTheirText)
{
    std::string error;
    const auto target = parseWindowsTarget(GetParam().text, error);
    if (!GetParam().described) {
        EXPECT_FALSE(target);
        EXPECT_FALSE(error.empty());
        return;
    }
    ASSERT_TRUE(target) << error;
    EXPECT_EQ(describeWindowsTarget(*target), GetParam().described);
}

INSTANTIATE_TEST_SUITE_P(WindowsTarget, Targets, testing::Values(
    TargetCase{"amd64", "Windows 10.0 build 26100 (amd64)"},
    TargetCase{"X64", "Windows 10.0 build 26100 (amd64)"},
    TargetCase{"x86", "Windows 10.0 build 26100 (x86)"},
    TargetCase{"ARM64:10.0.22631", "Windows 10.0 build 22631 (arm64)"},
    TargetCase{"10.0.19045", "Windows 10.0 build 19045 (amd64)"},
    TargetCase{"x86:6.1", "Windows 6.1 build 0 (x86)"},
    TargetCase{"", nullptr},
    TargetCase{"ia64", nullptr},
    TargetCase{"x86:", nullptr},
    TargetCase{":10.0", nullptr},
    TargetCase{"10", nullptr},
    TargetCase{"10.0.1.2", nullptr},
    TargetCase{"10.0.x", nullptr},
    TargetCase{"10.0.1234567890", nullptr}));

TEST(WindowsTarget, TheDefaultIsWindows11On64BitX86)
{
    const WindowsTarget target;
    EXPECT_EQ(describeWindowsTarget(target), "Windows 10.0 build 26100 (amd64)");
}

#ifdef _WIN32
TEST(WindowsTarget, TheRunningWindowsIsNT)
{
    const WindowsTarget running = platform::runningWindows();
    EXPECT_GE(running.major, 6u);
    EXPECT_GT(running.build, 0u);
}
#else
TEST(WindowsTarget, ElsewhereTheRunningWindowsIsTheDefault)
{
    EXPECT_EQ(describeWindowsTarget(platform::runningWindows()), describeWindowsTarget(WindowsTarget()));
}
#endif

}
