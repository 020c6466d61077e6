// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_FLEXCEPTION_H
#define CORVANE_FLEXCEPTION_H

#include <cstdint>
#include <exception>
#include <string>

// The program's one exception type. Every anticipated failure is raised as an
// flException carrying the raise site. The entry points catch it, and then
// it is fatal and ends in reportAndExit; only a rescan of the shown window
// catches its own, reports it and goes on.
class flException : public std::exception {
public:
    flException(const char* file, std::int32_t line, const char* message);

    // Appends one line to error.log in the working directory; false when the
    // file cannot be opened, or is no regular file of that directory (a link,
    // a FIFO, a device: see platform::appendLine). The message is shown as
    // visibleText.h says, as in every report. With `writeFailure`: why the
    // line could not be written whole into the opened file (a full disk),
    // empty when it was.
    bool writeLog() const;
    bool writeLog(std::string& writeFailure) const;

    // error.log line, "Oops!" box (only when the log was written), one line on
    // standard error ended by fatalLineEnd, then exit(-1).
    [[noreturn]] void reportAndExit() const;

    // What ends the fatal report's line on standard error: nothing, as the
    // window's has it; a command-line program ends it with a line feed, so
    // that the terminal's prompt starts a line of its own.
    static const char* fatalLineEnd;

    // How the reports show their "Oops!" box (caption, text; it returns once
    // the box is dismissed). A program with a window hands one over at its
    // start; without one, as in a command-line program, no box is shown.
    using ShowBox = void (*)(const char* caption, const char* text);
    static ShowBox showBox;

    // The same report for a failure the program survives (a rescan): the
    // standard-error line ends with a line feed, as more may follow, and the
    // program goes on once the box is dismissed.
    void reportAndContinue() const;

    const char* file;      // not owned: __FILE__ of the raise site
    std::int32_t line;
    std::string message;
    // A failure of what the user gave the program (a file of devices to
    // show) rather than of the program: the box shows the message instead of
    // the bug-log text, also when error.log cannot be written, and the
    // standard-error line ends with it.
    bool userFacing = false;
    // Memory ran out: fatal also where other failures are survived (a rescan).
    bool memoryRanOut = false;

private:
    void report(const char* lineEnd) const;
    std::string shownMessage() const;
};

// Raises a userFacing flException: a failure of what the user gave the
// program (a file, a folder, the standard output), reported with its message.
// Called with __FILE__ and __LINE__ of the raise site.
[[noreturn]] void fail(const char* file, int line, const std::string& message);

// What the entry points run their work in: a failure that leaves `work`
// ends in the fatal-error report, an flException as caught (a copy of it),
// any other standard exception as an flException carrying its text.
template <typename Work>
void runReportingFailures(Work work)
{
    try {
        work();
    } catch (const flException& caught) {
        flException copy = caught;
        copy.reportAndExit();
    } catch (const std::exception& unexpected) {
        flException(__FILE__, __LINE__, unexpected.what()).reportAndExit();
    }
}

// When the program was built, in the form "Sat Dec 17 21:20:44 2011".
extern const char* const buildStamp;

// The three lines of the fatal-error box.
std::string fatalErrorBoxText();

#endif
