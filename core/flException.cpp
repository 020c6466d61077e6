// SPDX-License-Identifier: GPL-2.0-or-later
#include "flException.h"

#include "files.h"
#include "visibleText.h"

#include <cstdio>
#include <cstdlib>

#ifndef CORVANE_MAINTAINER_EMAIL
#define CORVANE_MAINTAINER_EMAIL "support@corvane.org"
#endif

const char* const buildStamp = __TIMESTAMP__;

flException::ShowBox flException::showBox = nullptr;

flException::flException(const char* file, std::int32_t line, const char* message)
    : std::exception(), file(file), line(line), message(message ? message : "")
{
}

void fail(const char* file, int line, const std::string& message)
{
    flException failure(file, line, message.c_str());
    failure.userFacing = true;
    throw failure;
}

bool flException::writeLog() const
{
    std::string writeFailure;
    return writeLog(writeFailure);
}

bool flException::writeLog(std::string& writeFailure) const
{
    // The line is made whole first: the file gets it in a single write. The
    // message may name a file, whose name may hold a line feed: shown as
    // the reports show it, one failure stays one line.
    const std::string shown = shownMessage();
    const char* const format = "%s (%s) (%s: %d) [%s]";
    const int length = std::snprintf(nullptr, 0, format, shown.c_str(), what(), file, static_cast<int>(line),
                                     buildStamp);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::snprintf(&text[0], text.size() + 1, format, shown.c_str(), what(), file, static_cast<int>(line),
                  buildStamp);
    return platform::appendLine("error.log", text, &writeFailure);
}

std::string flException::shownMessage() const
{
    return text::visibleText(message);
}

std::string fatalErrorBoxText()
{
    return "A bug log has been generated as 'error.log'.\n"
           "Try running the updater utility.\n"
           "If the errors persist please forward 'error.log' along with 'devices.lst' to "
           CORVANE_MAINTAINER_EMAIL ".";
}

void flException::report(const char* lineEnd) const
{
    std::string logFailure;
    const bool logged = writeLog(logFailure);
    const std::string shown = shownMessage();
    if (showBox && userFacing)
        showBox("Oops!", shown.c_str());
    else if (showBox && logged)
        showBox("Oops!", fatalErrorBoxText().c_str());
    // A log that was opened but did not take the line is said before the
    // report's own line, which ends the output.
    if (!logFailure.empty())
        std::fprintf(stderr, "Failed to write error.log: %s\n", logFailure.c_str());
    std::fprintf(stderr, "Error: (%s, %d) %s%s%s%s", file, static_cast<int>(line), what(),
                 userFacing ? ": " : "", userFacing ? shown.c_str() : "", lineEnd);
    std::fflush(stderr);
}

const char* flException::fatalLineEnd = "";

void flException::reportAndExit() const
{
    report(fatalLineEnd);
    std::exit(-1);
}

void flException::reportAndContinue() const
{
    report("\n");
}
