// SPDX-License-Identifier: GPL-2.0-or-later
// The options of both programs that look for drivers, and their mistakes:
// usage errors said before anything is read.
#include "driverOptions.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(DriverOptions, MistakesAreUsageErrors)
{
    TempDir dir;
    dir.write("drivers/a.inf", "");
    dir.write("pack.zip", "");
    struct Case {
        std::vector<std::string> arguments;
        std::optional<int> status;
        std::string error, target;  // the line said; the target once taken
    };
    const std::vector<Case> cases = {
        {{"--drivers", dir.file("drivers"), "--drivers", dir.file("pack.zip")}, std::nullopt, "", "Windows 10.0 build 26100 (amd64)"},
        {{"--windows", "x86:6.1"}, std::nullopt, "", "Windows 6.1 build 0 (x86)"},
        {{"--drivers", dir.file("absent")}, 2,
         "prog: --drivers '" + dir.file("absent") + "': no such folder or archive\nTry 'prog --help'.\n", ""},
        {{"--windows", "sparc"}, 2, "prog: --windows 'sparc': ", ""},
    };
    for (const Case& test : cases) {
        DriverOptions options;
        CommandLine line("prog", "prog [OPTION]...", "Does things.\n", "Exit status: 0.\n");
        options.addTo(line, "the drivers below DIR", "listing");
        ASSERT_EQ(line.parse(test.arguments), std::nullopt);
        testing::internal::CaptureStderr();
        EXPECT_EQ(options.check(line, false), test.status) << test.arguments.back();
        const std::string error = testing::internal::GetCapturedStderr();
        EXPECT_EQ(error.substr(0, test.error.size()), test.error) << test.arguments.back();
        if (!test.status) {
            EXPECT_EQ(describeWindowsTarget(options.target), test.target);
        }
    }
}

}
