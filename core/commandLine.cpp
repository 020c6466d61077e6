// SPDX-License-Identifier: GPL-2.0-or-later
#include "commandLine.h"

#include "version.h"
#include "visibleText.h"

#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr int longOnly = 0x100;  // getopt's value of an option without a short name: this plus its place
// "-" would be standard input (or output, for what is written).
const char* const dashProblem = "'-': standard input and output are not supported; name a file (./- for a file called -)";
const char* const dashOperandProblem = "'-': reading standard input is not supported; name a file (./- for a file called -)";

}

CommandLine::CommandLine(std::string program, std::string synopsis, std::string about, std::string epilogue)
    : program(std::move(program)), synopsis(std::move(synopsis)), about(std::move(about)), epilogue(std::move(epilogue))
{
}

CommandLine& CommandLine::flag(char shortName, const char* longName, bool& given, std::string help)
{
    options.push_back({shortName, longName, "", std::move(help), [&given](const std::string&) { given = true; }});
    return *this;
}

CommandLine& CommandLine::file(char shortName, const char* longName, const char* argumentName, std::string& file,
                               std::string help)
{
    options.push_back({shortName, longName, argumentName, std::move(help),
                       [&file](const std::string& argument) { file = argument; }});
    return *this;
}

CommandLine& CommandLine::fileList(char shortName, const char* longName, const char* argumentName,
                                std::vector<std::string>& files, std::string help)
{
    options.push_back({shortName, longName, argumentName, std::move(help),
                       [&files](const std::string& argument) { files.push_back(argument); }});
    return *this;
}

CommandLine& CommandLine::value(char shortName, const char* longName, const char* argumentName, std::string& value,
                                std::string help)
{
    options.push_back({shortName, longName, argumentName, std::move(help),
                       [&value](const std::string& argument) { value = argument; }, false});
    return *this;
}

CommandLine& CommandLine::operands(std::vector<std::string>& files)
{
    this->files = &files;
    return *this;
}

std::vector<CommandLine::Option> CommandLine::all() const
{
    std::vector<Option> list = options;
    list.push_back({'h', "help", "", "this text", nullptr});
    list.push_back({'V', "version", "", "the program's version", nullptr});
    return list;
}

// getopt_long's tables. Options without an argument take an optional one,
// so that "--help=x" comes back to say what is wrong with it.
void CommandLine::makeGetoptTables(const std::vector<Option>& known, std::string& shortOptions,
                                   std::vector<option>& longOptions)
{
    shortOptions = ":";  // ':' reports a missing argument apart from an unknown option
    for (std::size_t i = 0; i < known.size(); ++i) {
        const Option& entry = known[i];
        if (entry.shortName)
            shortOptions += entry.argumentName.empty() ? std::string(1, entry.shortName)
                                                       : std::string{entry.shortName, ':'};
        longOptions.push_back({entry.longName.c_str(), entry.argumentName.empty() ? optional_argument : required_argument,
                               nullptr, entry.shortName ? entry.shortName : longOnly + static_cast<int>(i)});
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});
}

std::optional<int> CommandLine::parse(const std::vector<std::string>& arguments) const
{
    const std::vector<Option> known = all();
    std::string shortOptions;
    std::vector<option> longOptions;
    makeGetoptTables(known, shortOptions, longOptions);

    // getopt reorders the pointers (files after options), never the texts.
    std::vector<std::string> texts{program};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(texts.size());

    opterr = 0;  // the problems are said here, in the programs' words
    optind = 0;  // a fresh start, in glibc and in mingw-w64 alike
    for (;;) {
        int longIndex = -1;
        const int value = getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(), &longIndex);
        if (value == -1)
            break;
        // Unknown: a short one is in optopt; a long one (optopt 0) was the argument just passed.
        if (value == '?')
            return usageError("unknown argument '" +
                              (optopt ? std::string{'-', static_cast<char>(optopt)} : std::string(argv[optind - 1])) +
                              "'");
        if (value == ':')  // the option was the last argument
            return usageError(missingArgumentProblem(known, argv[optind - 1]));
        if (const auto status = take(known, value, longIndex >= 0))
            return status;
    }
    return takeOperands(std::vector<std::string>(argv.begin() + optind, argv.end() - 1));
}

std::string CommandLine::missingArgumentProblem(const std::vector<Option>& known, const std::string& last)
{
    const bool isLong = last.compare(0, 2, "--") == 0;
    const std::string spelling = isLong ? last.substr(0, last.find('=')) : std::string{'-', static_cast<char>(optopt)};
    const auto option = std::find_if(known.begin(), known.end(), [&](const Option& candidate) {
        return isLong ? "--" + candidate.longName == spelling : candidate.shortName == optopt;
    });
    return spelling + (option != known.end() && !option->namesFile ? " needs " + option->argumentName
                                                                   : std::string(" needs a file name"));
}

// The option getopt_long returned as `value`, with its argument in optarg.
std::optional<int> CommandLine::take(const std::vector<Option>& known, int value, bool spelledLong) const
{
    const auto option = std::find_if(known.begin(), known.end(), [&](const Option& candidate) {
        return candidate.shortName ? candidate.shortName == value : longOnly + (&candidate - known.data()) == value;
    });
    const std::string spelling = spelledLong ? "--" + option->longName : std::string{'-', option->shortName};
    const std::string argument = optarg ? optarg : "";
    if (option->argumentName.empty() && optarg)
        return usageError("option '" + spelling + "' takes no argument");
    if (!option->argumentName.empty() && argument.empty())
        return usageError(spelling + (option->namesFile ? " needs a file name" : " needs " + option->argumentName));
    if (!option->argumentName.empty() && argument == "-")
        return usageError(spelling + " " + dashProblem);
    if (option->longName == "help" || option->longName == "version") {
        std::fputs((option->longName == "help" ? helpText() : versionText()).c_str(), stdout);
        return 0;
    }
    option->take(argument);
    return std::nullopt;
}

std::optional<int> CommandLine::takeOperands(const std::vector<std::string>& operands) const
{
    for (const std::string& operand : operands) {
        if (!files)
            return usageError("unknown argument '" + operand + "'");
        if (operand == "-")
            return usageError(dashOperandProblem);
        files->push_back(operand);
    }
    return std::nullopt;
}

int CommandLine::usageError(const std::string& problem) const
{
    // The problem quotes the argument as given: shown, not acted on.
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), text::visibleText(problem).c_str(),
                 program.c_str());
    return 2;
}

std::string CommandLine::helpText() const
{
    const std::vector<Option> known = all();
    std::vector<std::string> names;
    std::size_t column = 0;
    for (const Option& option : known) {
        std::string name = option.shortName ? std::string{' ', ' ', '-', option.shortName, ',', ' '} : "      ";
        name += "--" + option.longName + (option.argumentName.empty() ? "" : " " + option.argumentName);
        column = std::max(column, name.size() + 2);
        names.push_back(std::move(name));
    }
    std::string text = "Usage: " + synopsis + "\n\n" + about + "\n";
    for (std::size_t i = 0; i < known.size(); ++i) {
        text += names[i] + std::string(column - names[i].size(), ' ');
        for (const char c : known[i].help)
            text += c == '\n' ? "\n" + std::string(column, ' ') : std::string(1, c);
        text += '\n';
    }
    return text + "\n" + epilogue;
}

std::string CommandLine::versionText() const
{
    return program + " (Corvane) " CORVANE_VERSION "\n";
}
