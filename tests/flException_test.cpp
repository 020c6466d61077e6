// SPDX-License-Identifier: GPL-2.0-or-later
#include "TempDir.h"
#include "flException.h"
#include "hardware.h"
#include "files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

namespace {

// error.log is written in text mode: on Windows a line ends in CR LF.
// exit(-1) is status 255 to a POSIX parent and -1 on Windows.
#ifdef _WIN32
const char* const lineEnd = "\r";
const int failureStatus = -1;
#else
const char* const lineEnd = "";
const int failureStatus = 255;
#endif

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

TEST(flException, FailRaisesWhatTheUserGaveAsTheFault)
{
    try {
        fail("core/somewhere.cpp", 7, "The folder x does not exist");
        FAIL() << "fail returned";
    } catch (const flException& raised) {
        EXPECT_STREQ(raised.file, "core/somewhere.cpp");
        EXPECT_EQ(raised.line, 7);
        EXPECT_EQ(raised.message, "The folder x does not exist");
        EXPECT_TRUE(raised.userFacing);
        EXPECT_FALSE(raised.memoryRanOut);
    }
}

// Whether `text` is `before`, a decimal number, then `after`.
bool hasNumberBetween(const std::string& text, const std::string& before, const std::string& after)
{
    if (text.size() <= before.size() + after.size() || text.compare(0, before.size(), before) != 0 ||
        text.compare(text.size() - after.size(), after.size(), after) != 0)
        return false;
    const std::string number = text.substr(before.size(), text.size() - before.size() - after.size());
    return number.find_first_not_of("0123456789") == std::string::npos;
}

TEST(flException, BuildStampHasTheTimestampForm)
{
    // "Sat Dec 17 21:20:44 2011"
    const std::string stamp = buildStamp;
    ASSERT_EQ(stamp.size(), 24u) << stamp;
    EXPECT_NE(std::string("Mon Tue Wed Thu Fri Sat Sun").find(stamp.substr(0, 3)), std::string::npos);
    EXPECT_NE(std::string("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec").find(stamp.substr(4, 3)),
              std::string::npos);
    const std::string shape = "www mmm dd hh:mm:ss yyyy";
    for (std::size_t i = 8; i < shape.size(); ++i) {
        if (shape[i] == ' ' || shape[i] == ':')
            EXPECT_EQ(stamp[i], shape[i]) << stamp;
        else
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(stamp[i])) || (i == 8 && stamp[i] == ' '))
                << stamp;
    }
}

TEST(flException, BoxTextHasThreeLines)
{
    const std::string text = fatalErrorBoxText();
    EXPECT_EQ(text.substr(0, text.rfind(' ')),
              "A bug log has been generated as 'error.log'.\n"
              "Try running the updater utility.\n"
              "If the errors persist please forward 'error.log' along with 'devices.lst' to");
    const std::string address = text.substr(text.rfind(' ') + 1);
    EXPECT_NE(address.find('@'), std::string::npos) << address;
    EXPECT_EQ(address.back(), '.') << address;
}

// The report ends the process, so each case runs in a child (a death test)
// inside a scratch working directory, with no display for the box. Where the
// child is a new run of this program (Windows), it finds the same directory
// by the test's name and leaves it as the parent made it.
class FatalReport : public testing::Test {
protected:
    FatalReport()
        : dir("corvane-report-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()),
              !testing::internal::InDeathTestChild())
    {
    }

    static void enterDirectory(const std::string& directory)
    {
#ifdef _WIN32
        _putenv("DISPLAY=");
#else
        unsetenv("DISPLAY");
#endif
        std::filesystem::current_path(directory);
    }

    static void failInDirectory(const std::string& directory, const char* message)
    {
        enterDirectory(directory);
        flException(__FILE__, 77, message).reportAndExit();
    }

    std::string logLine(const char* message)
    {
        return std::string(message) + " (std::exception) (tests/flException_test.cpp: 77) [" + buildStamp + "]" +
               lineEnd + "\n";
    }

    TempDir dir;
};

TEST_F(FatalReport, CreatesTheLogWithOneLine)
{
    EXPECT_EXIT(failInDirectory(dir.path(), "first failure"), testing::ExitedWithCode(failureStatus),
                testing::Eq("Error: (tests/flException_test.cpp, 77) std::exception"));
    EXPECT_EQ(readFile(dir.file("error.log")), logLine("first failure"));
}

TEST_F(FatalReport, AppendsAndKeepsPercentLiterally)
{
    if (!testing::internal::InDeathTestChild())  // a Windows child runs the body again
        dir.write("error.log", "older line\n");
    EXPECT_EXIT(failInDirectory(dir.path(), "100% %s %n failed"), testing::ExitedWithCode(failureStatus), "");
    EXPECT_EXIT(failInDirectory(dir.path(), "again"), testing::ExitedWithCode(failureStatus), "");
    EXPECT_EQ(readFile(dir.file("error.log")),
              "older line\n" + logLine("100% %s %n failed") + logLine("again"));
}

TEST_F(FatalReport, UnopenableLogStillWritesStandardErrorAndExits)
{
    dir.write("error.log/inside", "");
    EXPECT_EXIT(failInDirectory(dir.path(), "no log"), testing::ExitedWithCode(failureStatus),
                testing::Eq("Error: (tests/flException_test.cpp, 77) std::exception"));
}

// A message names a file, whose name may hold anything: each report shows
// it as one line that does not act on the terminal.
TEST_F(FatalReport, ControlsInTheMessageAreShownOnItsOneLine)
{
    const auto fail = [](const std::string& directory) {
        enterDirectory(directory);
        flException failure(__FILE__, 77, "Failed to open a\nb\x1b]0;t\x07\xC2\x9B.reg for read accesss ");
        failure.userFacing = true;
        failure.reportAndExit();
    };
    const char* const shown = "Failed to open a\\x0ab\\x1b]0;t\\x07\\u009b.reg for read accesss ";
    EXPECT_EXIT(fail(dir.path()), testing::ExitedWithCode(failureStatus),
                testing::Eq(std::string("Error: (tests/flException_test.cpp, 77) std::exception: ") + shown));
    EXPECT_EQ(readFile(dir.file("error.log")), logLine(shown));
}

#ifndef _WIN32
// A log that is opened but takes no line (a full disk; here a file size
// limit) is said on standard error before the report's line.
TEST_F(FatalReport, ALogThatTakesNoLineIsSaid)
{
    const std::string older(4095, 'o');
    dir.write("error.log", older + "\n");
    const auto failWithFullLog = [](const std::string& directory) {
        const rlimit limit = {4096, 4096};  // the size of the log already; room for what the test reads
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        failInDirectory(directory, "no room");
    };
    EXPECT_EXIT(failWithFullLog(dir.path()), testing::ExitedWithCode(failureStatus),
                testing::Eq("Failed to write error.log: File too large\n"
                            "Error: (tests/flException_test.cpp, 77) std::exception"));
    EXPECT_EQ(readFile(dir.file("error.log")), older + "\n");
}
#endif

TEST_F(FatalReport, MissingDatabaseNamesTheLoader)
{
    auto loadInDirectory = [](const std::string& directory) {
        enterDirectory(directory);
        try {
            HardwareDatabase database("devices.lst");
        } catch (const flException& caught) {
            flException copy = caught;
            copy.reportAndExit();
        }
        std::exit(4);
    };
    EXPECT_EXIT(loadInDirectory(dir.path()), testing::ExitedWithCode(failureStatus),
                testing::Truly([](const std::string& text) {
                    return hasNumberBetween(text, "Error: (core/hardware.cpp, ", ") std::exception");
                }));
    EXPECT_TRUE(hasNumberBetween(readFile(dir.file("error.log")),
                                 "Failed to open devices.lst for read accesss  (std::exception) (core/hardware.cpp: ",
                                 std::string(") [") + buildStamp + "]" + lineEnd + "\n"))
        << readFile(dir.file("error.log"));
}

// The log is written only when it is a regular file of the directory itself
// (or absent): nothing is written through a link, nothing waits for a FIFO's
// reader, no device is written.
TEST(AppendLine, WritesOnlyARegularFileOfThatName)
{
    const TempDir dir;
    dir.write("directory/inside", "");
    const std::string elsewhere = dir.write("elsewhere", "kept\n");
    std::vector<std::string> refused = {dir.file("directory")};
#ifdef _WIN32
    refused.insert(refused.end(), {"NUL", "CON", "COM1"});
#else
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0666), 0);
    std::filesystem::create_symlink(elsewhere, dir.file("link"));
    std::filesystem::create_symlink(dir.file("absent"), dir.file("dangling"));
    refused.insert(refused.end(), {dir.file("fifo"), dir.file("link"), dir.file("dangling"), "/dev/null"});
#endif
    for (const std::string& name : refused)
        EXPECT_FALSE(platform::appendLine(name.c_str(), "line")) << name;
    EXPECT_EQ(readFile(elsewhere), "kept\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent")));

    std::string writeFailure = "earlier";
    EXPECT_TRUE(platform::appendLine(dir.file("new").c_str(), "first", &writeFailure));
    EXPECT_EQ(writeFailure, "");
    EXPECT_TRUE(platform::appendLine(dir.file("new").c_str(), "second"));
    EXPECT_EQ(readFile(dir.file("new")), std::string("first") + lineEnd + "\nsecond" + lineEnd + "\n");
}

}
