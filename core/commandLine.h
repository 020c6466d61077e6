// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_COMMANDLINE_H
#define CORVANE_COMMANDLINE_H

// The command line of every program, read one way: short options (-o FILE,
// -oFILE, clusters such as -hV) and long ones (--output FILE, --output=FILE,
// unambiguous abbreviations), in any order among the files; "--" ends the
// options. Every program has -h/--help and -V/--version. A usage error
// prints "PROGRAM: PROBLEM" and "Try 'PROGRAM --help'." on standard error
// and ends with status 2, before the program does anything else.
//
// "-" is refused wherever a file is named: it would mean standard input or
// output, which the programs do not read or write (a file called "-" is
// named as ./-).
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CommandLine {
public:
    // `synopsis` follows "Usage: " in the help; `about` says what the program
    // does; `epilogue` ends the help (exit statuses and the like).
    CommandLine(std::string program, std::string synopsis, std::string about, std::string epilogue);

    // An option without an argument: `given` becomes true when it is given.
    // `help` is its text in --help; lines after the first start with '\n'.
    // shortName 0: the long name alone.
    CommandLine& flag(char shortName, const char* longName, bool& given, std::string help);
    // An option naming a file, `argumentName` in the help: its argument goes
    // to `file` (the last one given wins), never empty or "-".
    CommandLine& file(char shortName, const char* longName, const char* argumentName, std::string& file,
                      std::string help);
    // The same for an option that may be given several times: each argument
    // is added to `files`, in the order given.
    CommandLine& fileList(char shortName, const char* longName, const char* argumentName, std::vector<std::string>& files,
                           std::string help);
    // An option with a value that names no file (the last one given wins),
    // never empty.
    CommandLine& value(char shortName, const char* longName, const char* argumentName, std::string& value,
                       std::string help);
    // Where the arguments that are no options (files) go, in their order.
    CommandLine& operands(std::vector<std::string>& files);

    // Reads the arguments after the program's name (UTF-8). None: the program
    // goes on; otherwise the status to end with, all said already: 0 after
    // --help or --version (on standard output), 2 after a usage error.
    std::optional<int> parse(const std::vector<std::string>& arguments) const;

    // Reports a usage error that the program itself finds, such as two
    // options that exclude each other; returns 2, the status to end with.
    int usageError(const std::string& problem) const;

    std::string helpText() const;
    std::string versionText() const;

private:
    struct Option {
        char shortName;
        std::string longName;
        std::string argumentName;  // empty: takes no argument
        std::string help;
        std::function<void(const std::string&)> take;
        bool namesFile = true;  // its argument, if it takes one, names a file
    };
    std::vector<Option> all() const;  // the program's options, then help and version
    static void makeGetoptTables(const std::vector<Option>& known, std::string& shortOptions,
                                 std::vector<struct option>& longOptions);
    static std::string missingArgumentProblem(const std::vector<Option>& known, const std::string& last);
    std::optional<int> take(const std::vector<Option>& known, int value, bool spelledLong) const;
    std::optional<int> takeOperands(const std::vector<std::string>& operands) const;

    std::string program, synopsis, about, epilogue;
    std::vector<Option> options;
    std::vector<std::string>* files = nullptr;
};

#endif
