// SPDX-License-Identifier: GPL-2.0-or-later
// corvane-update: writes devices.lst from the PCI ID Repository's list.
#include "installedCopy.h"
#include "pciIds.h"

#include "commandLine.h"
#include "files.h"
#include "flException.h"
#include "outOfMemory.h"
#include "platform.h"
#include "standardOutput.h"
#include "visibleText.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// One line on standard error. The file names and texts in it are shown as
// visibleText.h says: what a name or the list holds does not act on the terminal.
void say(const std::string& line)
{
    std::fprintf(stderr, "corvane-update: %s\n", text::visibleText(line).c_str());
}

// The options' text; --system where the programs are installed with a database of their own.
CommandLine commandLine(const std::string& installedCopy, std::string& input, std::string& output, bool& system)
{
    CommandLine line("corvane-update",
                     "corvane-update [--input PCI_IDS] [--output DEVICES_LST" +
                         std::string(installedCopy.empty() ? "" : " | --system") + "]",
                     "Writes Corvane's hardware database, devices.lst, from the PCI ID Repository's\n"
                     "list of vendors and devices: one line per device, in the list's order.\n",
                     "Malformed lines of the list are reported with their numbers and skipped. A\n"
                     "list that names no device, or has more malformed lines than vendor and device\n"
                     "lines, is no pci.ids, nor is one of over 64 MiB of text or with a line over\n"
                     "1 MiB: then nothing is written, as when it cannot be read.\n"
                     "Exit status: 0 on success, 1 when the list cannot be read or the output not\n"
                     "written, 2 for bad arguments, 255 when memory runs out (its line is appended\n"
                     "to error.log).\n");
    line.file('i', "input", "PCI_IDS", input,
              "the list to read, plain or gzip-compressed\n(default: " +
                  std::string(platform::defaultPciIdsDescription()) + ", or pci.ids.gz\nthere when only that exists)")
        .file('o', "output", "DEVICES_LST", output,
              "the file to write (default: devices.lst in the\nworking directory); it is replaced only once the\n"
              "new one is complete, and only when it is a file");
    if (!installedCopy.empty())
        line.flag('s', "system", system,
                  "write the installed copy instead, which Corvane\nreads when the working directory has no\n"
                  "devices.lst: " + installedCopy + "\n(for root; its directory is made when missing)");
    return line;
}

// Reads the list and replaces the output with what it gives; the exit status.
int update(const std::string& input, const std::string& output, const std::string& installedCopy)
{
    const auto start = std::chrono::steady_clock::now();
    std::string list, error;
    // What cannot be replaced is said before the list is read.
    if (!platform::replaceableFile(output, error)) {
        say(error);
        return 1;
    }
    if (!readListFile(input, list, error)) {
        say("cannot read " + error);
        return 1;
    }
    const Conversion conversion = convertPciIds(list);
    if (conversion.tooLarge) {
        say(input + " would make a devices.lst of more than " + std::to_string(Conversion::maxDevicesListBytes >> 20) +
            " MiB, more than Corvane reads: " + output + " was not written");
        return 1;
    }
    if (!conversion.isPciIds()) {
        say(input + " is not a PCI ID list (" + std::to_string(conversion.vendors) + " vendors, " +
            std::to_string(conversion.devices) + " devices, " + std::to_string(conversion.malformedLines) +
            " malformed lines): " + output + " was not written");
        return 1;
    }
    for (const std::string& problem : conversion.problems)
        say(input + ": " + problem + ", skipped");
    if (conversion.malformedLines > conversion.problems.size())
        say(input + ": " + std::to_string(conversion.malformedLines - conversion.problems.size()) +
            " more malformed lines, skipped");
    if (!platform::replaceFile(output, conversion.devicesList, error)) {
        say(error);
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %d vendors, %d devices, %d lines changed (\" made '), pci.ids version %s, in %.3f s\n",
                text::visibleText(output).c_str(), conversion.vendors, conversion.devices, conversion.linesChanged,
                conversion.version.empty() ? "unknown" : text::visibleText(conversion.version).c_str(), seconds);
    // The list is written whole already; a report that cannot be is still a failure.
    if (!closeStandardOutput(error)) {
        say("cannot write standard output: " + error);
        return 1;
    }
    if (const std::string note = installedCopyNote(output, installedCopy); !note.empty())
        say(note);
    return 0;
}

}

int main(int argc, char** argv)
{
    reportOutOfMemoryAtTerminate();
    const std::string installedCopy = platform::installedDatabase();
    std::string input = platform::defaultPciIds(), output;  // output: empty unless given
    bool system = false;
    const CommandLine line = commandLine(installedCopy, input, output, system);
    if (const auto status = line.parse(platform::arguments(argc, argv)))
        return *status;
    if (system && !output.empty())
        return line.usageError("--system and --output name two files: give one");
    if (output.empty())
        output = system ? installedCopy : "devices.lst";
    if (system) {
        const std::filesystem::path directory = std::filesystem::path(output).parent_path();
        std::error_code error;
        std::filesystem::create_directories(directory, error);
        if (error) {
            say("cannot make " + directory.string() + ": " + error.message());
            return 1;
        }
    }
    int status = 1;
    runReportingFailures([&] { status = update(input, output, installedCopy); });  // out of memory: the fatal-error report
    return status;
}
