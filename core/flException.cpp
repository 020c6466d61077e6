// SPDX-License-Identifier: GPL-2.0-or-later
#include "flException.h"

#include "files.h"

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

bool flException::writeLog() const
{
    // The line is made whole first: the file gets it in a single write.
    const char* const format = "%s (%s) (%s: %d) [%s]";
    const int length = std::snprintf(nullptr, 0, format, message.c_str(), what(), file, static_cast<int>(line),
                                     buildStamp);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::snprintf(&text[0], text.size() + 1, format, message.c_str(), what(), file, static_cast<int>(line),
                  buildStamp);
    return platform::appendLine("error.log", text);
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
    const bool logged = writeLog();
    if (showBox && userFacing)
        showBox("Oops!", message.c_str());
    else if (showBox && logged)
        showBox("Oops!", fatalErrorBoxText().c_str());
    std::fprintf(stderr, "Error: (%s, %d) %s%s%s%s", file, static_cast<int>(line), what(),
                 userFacing ? ": " : "", userFacing ? message.c_str() : "", lineEnd);
    std::fflush(stderr);
}

void flException::reportAndExit() const
{
    report("");
    std::exit(-1);
}

void flException::reportAndContinue() const
{
    report("\n");
}
