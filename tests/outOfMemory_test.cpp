// SPDX-License-Identifier: GPL-2.0-or-later
// Memory running out where std::bad_alloc cannot be caught still ends in the
// fatal-error report: each case in a child process (a death test) in a
// scratch working directory, as the report writes error.log there.
#include "TempDir.h"
#include "flException.h"
#include "outOfMemory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <thread>

namespace {

#ifdef _WIN32
const int failureStatus = -1;
const char* const lineEnd = "\r";
#else
const int failureStatus = 255;
const char* const lineEnd = "";
#endif

[[noreturn]] void runOut()
{
    throw std::bad_alloc();
}

// A destructor that runs out of memory (noexcept: std::terminate), as the
// key tree's did while std::bad_alloc unwound.
struct AllocatesWhenDestroyed {
    ~AllocatesWhenDestroyed() { runOut(); }
};

void throwInDestructor()
{
    AllocatesWhenDestroyed object;
}

void throwOnAThread()
{
    std::thread(runOut).join();
}

// `text` with the line number after the file's name as N.
std::string withLineAsN(std::string text)
{
    const std::size_t name = text.find("outOfMemory.cpp");
    if (name == std::string::npos)
        return text;
    const std::size_t digits = name + std::string("outOfMemory.cpp, ").size();
    return text.replace(digits, text.find_first_not_of("0123456789", digits) - digits, "N");
}

struct Escape {
    const char* name;
    std::function<void()> run;
};

class UncaughtOutOfMemory : public testing::TestWithParam<Escape> {
protected:
    UncaughtOutOfMemory()
        : dir("corvane-oom-" + std::string(GetParam().name), !testing::internal::InDeathTestChild())
    {
    }

    TempDir dir;
};

TEST_P(UncaughtOutOfMemory, EndsInTheFatalReport)
{
    const auto fail = [this] {
        std::filesystem::current_path(dir.path());
        reportOutOfMemoryAtTerminate();
        GetParam().run();
        std::exit(4);
    };
    EXPECT_EXIT(fail(), testing::ExitedWithCode(failureStatus), testing::Truly([](const std::string& text) {
                    return withLineAsN(text) == "Error: (core/outOfMemory.cpp, N) std::exception";
                }));
    EXPECT_EQ(withLineAsN(readFile(dir.file("error.log"))),
              std::string("std::bad_alloc (std::exception) (core/outOfMemory.cpp: N) [") + buildStamp + "]" + lineEnd +
                  "\n");
}

INSTANTIATE_TEST_SUITE_P(OutOfMemory, UncaughtOutOfMemory, testing::Values(
    Escape{"fromADestructor", throwInDestructor},
    Escape{"fromAThread", throwOnAThread}),
    [](const auto& info) { return std::string(info.param.name); });

}
