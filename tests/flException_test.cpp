#include "TempDir.h"
#include "flException.h"
#include "hardware.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace {

TEST(flException, CopyKeepsFileAndLineAndCopiesMessage)
{
    const flException original(__FILE__, 42, "broken 100%");
    const flException copy = original;
    EXPECT_EQ(copy.file, original.file);  // the same pointer
    EXPECT_EQ(copy.line, 42);
    EXPECT_EQ(copy.message, "broken 100%");
    EXPECT_NE(copy.message.data(), original.message.data());
    EXPECT_STREQ(copy.what(), std::exception().what());
    const std::exception& asStandard = copy;
    EXPECT_STREQ(asStandard.what(), "std::exception");
}

TEST(flException, FileIsRelativeToTheProjectRoot)
{
    EXPECT_STREQ(flException(__FILE__, __LINE__, "").file, "tests/flException_test.cpp");
}

TEST(flException, BuildStampHasTheTimestampForm)
{
    EXPECT_THAT(buildStamp, testing::MatchesRegex(
        "(Mon|Tue|Wed|Thu|Fri|Sat|Sun) [A-Z][a-z]{2} [ 0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}"));
}

TEST(flException, BoxTextHasThreeLines)
{
    const std::string text = fatalErrorBoxText();
    EXPECT_EQ(text.substr(0, text.rfind(' ')),
              "A bug log has been generated as 'error.log'.\n"
              "Try running the updater utility.\n"
              "If the errors persist please forward 'error.log' along with 'devices.lst' to");
    EXPECT_THAT(text.substr(text.rfind(' ') + 1), testing::MatchesRegex("[^ ]+@[^ ]+\\.[a-z]+\\."));
}

// The report ends the process, so each case runs in a forked child (a death
// test) inside a temporary working directory, with no display for the box.
class FatalReport : public testing::Test {
protected:
    static void failInDirectory(const std::string& directory, const char* message)
    {
        unsetenv("DISPLAY");
        if (chdir(directory.c_str()) != 0)
            std::exit(3);
        flException(__FILE__, 77, message).reportAndExit();
    }

    std::string logLine(const char* message)
    {
        return std::string(message) + " (std::exception) (tests/flException_test.cpp: 77) [" + buildStamp + "]\n";
    }

    TempDir dir;
};

TEST_F(FatalReport, CreatesTheLogWithOneLine)
{
    EXPECT_EXIT(failInDirectory(dir.path(), "first failure"), testing::ExitedWithCode(255),
                testing::Eq("Error: (tests/flException_test.cpp, 77) std::exception"));
    EXPECT_EQ(readFile(dir.file("error.log")), logLine("first failure"));
}

TEST_F(FatalReport, AppendsAndKeepsPercentLiterally)
{
    dir.write("error.log", "older line\n");
    EXPECT_EXIT(failInDirectory(dir.path(), "100% %s %n failed"), testing::ExitedWithCode(255), "");
    EXPECT_EXIT(failInDirectory(dir.path(), "again"), testing::ExitedWithCode(255), "");
    EXPECT_EQ(readFile(dir.file("error.log")),
              "older line\n" + logLine("100% %s %n failed") + logLine("again"));
}

TEST_F(FatalReport, UnopenableLogStillWritesStandardErrorAndExits)
{
    dir.write("error.log/inside", "");
    EXPECT_EXIT(failInDirectory(dir.path(), "no log"), testing::ExitedWithCode(255),
                testing::Eq("Error: (tests/flException_test.cpp, 77) std::exception"));
}

TEST_F(FatalReport, MissingDatabaseNamesTheLoader)
{
    auto loadInDirectory = [](const std::string& directory) {
        unsetenv("DISPLAY");
        if (chdir(directory.c_str()) != 0)
            std::exit(3);
        try {
            HardwareDatabase database("devices.lst");
        } catch (const flException& caught) {
            flException copy = caught;
            copy.reportAndExit();
        }
        std::exit(4);
    };
    EXPECT_EXIT(loadInDirectory(dir.path()), testing::ExitedWithCode(255),
                testing::MatchesRegex("Error: \\(flGUI/hardware\\.cpp, [0-9]+\\) std::exception"));
    EXPECT_THAT(readFile(dir.file("error.log")), testing::MatchesRegex(
        "Failed to open devices\\.lst for read accesss  \\(std::exception\\) "
        "\\(flGUI/hardware\\.cpp: [0-9]+\\) \\[[^]]+\\]\n"));
}

}
