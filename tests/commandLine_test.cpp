// SPDX-License-Identifier: GPL-2.0-or-later
// The programs' command line: options in their forms and places, what ends
// them, and the usage errors, each said in one line with the way to help.
#include "commandLine.h"
#include "version.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct Parsed {
    std::optional<int> status;
    std::string input = "(default)";
    bool all = false, json = false;
    std::vector<std::string> files, folders;
    std::string target;
    std::string out, err;
};

// A program with a file option, a flag, a flag of a long name alone, and files.
Parsed parse(const std::vector<std::string>& arguments, bool takesFiles = true)
{
    Parsed parsed;
    CommandLine line("prog", "prog [OPTION]... [FILE]...", "Does things.\n", "Exit status: 0.\n");
    line.file('i', "input", "LIST", parsed.input, "the list to read\n(default: none)")
        .flag('a', "all", parsed.all, "all of them")
        .flag(0, "json", parsed.json, "as JSON")
        .fileList('d', "dir", "DIR", parsed.folders, "a folder to look in;\nmay be given several times")
        .value(0, "target", "TARGET", parsed.target, "what to aim at");
    if (takesFiles)
        line.operands(parsed.files);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    parsed.status = line.parse(arguments);
    parsed.out = testing::internal::GetCapturedStdout();
    parsed.err = testing::internal::GetCapturedStderr();
    return parsed;
}

struct Accepted {
    std::vector<std::string> arguments;
    std::string input;
    bool all, json;
    std::vector<std::string> files;
};

class AcceptedLine : public testing::TestWithParam<Accepted> {};

TEST_P(AcceptedLine, GivesOptionsAndFiles)
{
    const Accepted& c = GetParam();
    const Parsed parsed = parse(c.arguments);
    EXPECT_EQ(parsed.status, std::nullopt) << parsed.err;
    EXPECT_EQ(parsed.input, c.input);
    EXPECT_EQ(parsed.all, c.all);
    EXPECT_EQ(parsed.json, c.json);
    EXPECT_EQ(parsed.files, c.files);
    EXPECT_EQ(parsed.out + parsed.err, "");
}

INSTANTIATE_TEST_SUITE_P(CommandLine, AcceptedLine, testing::Values(
    Accepted{{}, "(default)", false, false, {}},
    Accepted{{"-i", "a", "b", "c"}, "a", false, false, {"b", "c"}},
    Accepted{{"b", "--input=a", "-a", "c"}, "a", true, false, {"b", "c"}},   // options among the files
    Accepted{{"-ai", "x", "--json"}, "x", true, true, {}},
    Accepted{{"-iname"}, "name", false, false, {}},
    Accepted{{"--in", "x", "--js"}, "x", false, true, {}},                      // abbreviations
    Accepted{{"-i", "a", "--input", "b"}, "b", false, false, {}},              // the last one wins
    Accepted{{"-i", "-a"}, "-a", false, false, {}},                            // an argument is taken as it is
    Accepted{{"--", "-a", "--json", "x"}, "(default)", false, false, {"-a", "--json", "x"}},
    Accepted{{"./-"}, "(default)", false, false, {"./-"}}));

struct Refused {
    std::vector<std::string> arguments;
    std::string problem;
};

class RefusedLine : public testing::TestWithParam<Refused> {};

TEST_P(RefusedLine, IsAUsageErrorNamingTheProblem)
{
    const Parsed parsed = parse(GetParam().arguments);
    EXPECT_EQ(parsed.status, std::optional<int>(2));
    EXPECT_EQ(parsed.err, "prog: " + GetParam().problem + "\nTry 'prog --help'.\n");
    EXPECT_EQ(parsed.out, "");
}

INSTANTIATE_TEST_SUITE_P(CommandLine, RefusedLine, testing::Values(
    Refused{{"-x"}, "unknown argument '-x'"},
    Refused{{"-ax"}, "unknown argument '-x'"},
    Refused{{"a", "--bogus=1"}, "unknown argument '--bogus=1'"},
    Refused{{"-i"}, "-i needs a file name"},
    Refused{{"-a", "--input"}, "--input needs a file name"},
    Refused{{"--input="}, "--input needs a file name"},
    Refused{{"--target"}, "--target needs TARGET"},
    Refused{{"--target="}, "--target needs TARGET"},
    Refused{{"-d"}, "-d needs a file name"},
    Refused{{"-i", ""}, "-i needs a file name"},
    Refused{{"--all=yes"}, "option '--all' takes no argument"},
    Refused{{"--json=1"}, "option '--json' takes no argument"},
    Refused{{"-"}, "'-': reading standard input is not supported; name a file (./- for a file called -)"},
    Refused{{"--", "-"}, "'-': reading standard input is not supported; name a file (./- for a file called -)"},
    Refused{{"-i", "-"}, "-i '-': standard input and output are not supported; name a file (./- for a file called -)"},
    Refused{{"--input=-"},
            "--input '-': standard input and output are not supported; name a file (./- for a file called -)"}));

TEST(CommandLine, AnOptionGivenSeveralTimesGivesEachArgument)
{
    const Parsed parsed = parse({"-d", "a", "x", "--dir=b", "--target", "amd64", "-db", "--target=x86"});
    EXPECT_EQ(parsed.status, std::nullopt) << parsed.err;
    EXPECT_EQ(parsed.folders, (std::vector<std::string>{"a", "b", "b"}));
    EXPECT_EQ(parsed.target, "x86");
    EXPECT_EQ(parsed.files, (std::vector<std::string>{"x"}));
}

TEST(CommandLine, WithoutFilesAnyOtherArgumentIsUnknown)
{
    const Parsed parsed = parse({"-a", "x"}, false);
    EXPECT_EQ(parsed.status, std::optional<int>(2));
    EXPECT_EQ(parsed.err, "prog: unknown argument 'x'\nTry 'prog --help'.\n");
}

TEST(CommandLine, HelpAndVersionAnswerAtOnce)
{
    const std::string help = "Usage: prog [OPTION]... [FILE]...\n"
                             "\n"
                             "Does things.\n"
                             "\n"
                             "  -i, --input LIST     the list to read\n"
                             "                       (default: none)\n"
                             "  -a, --all            all of them\n"
                             "      --json           as JSON\n"
                             "  -d, --dir DIR        a folder to look in;\n"
                             "                       may be given several times\n"
                             "      --target TARGET  what to aim at\n"
                             "  -h, --help           this text\n"
                             "  -V, --version        the program's version\n"
                             "\n"
                             "Exit status: 0.\n";
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"}, {"-h", "-x"}, {"x", "-ah"}, {"--he"}}) {
        const Parsed parsed = parse(arguments);
        EXPECT_EQ(parsed.status, std::optional<int>(0));
        EXPECT_EQ(parsed.out, help);
        EXPECT_EQ(parsed.err, "");
    }
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--version"}, {"-V"}, {"-aV", "x"}}) {
        const Parsed parsed = parse(arguments);
        EXPECT_EQ(parsed.status, std::optional<int>(0));
        EXPECT_EQ(parsed.out, "prog (Corvane) " CORVANE_VERSION "\n");
    }
}

}
