// corvane-update: writes devices.lst from the PCI ID Repository's list.
#include "pciIds.h"

#include "files.h"
#include "platform.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// The options' text; --system where the programs are installed with a database of their own.
std::string usage(const std::string& installedCopy)
{
    std::string text = "Usage: corvane-update [--input PCI_IDS] [--output DEVICES_LST" +
                       std::string(installedCopy.empty() ? "" : " | --system") + "]\n"
                       "\n"
                       "Writes Corvane's hardware database, devices.lst, from the PCI ID Repository's\n"
                       "list of vendors and devices: one line per device, in the list's order.\n"
                       "\n"
                       "  -i, --input PCI_IDS       the list to read, plain or gzip-compressed\n"
                       "                            (default: " + std::string(platform::defaultPciIdsDescription()) +
                       ", or pci.ids.gz\n"
                       "                            there when only that exists)\n"
                       "  -o, --output DEVICES_LST  the file to write (default: devices.lst in the\n"
                       "                            working directory); it is replaced only once the\n"
                       "                            new one is complete\n";
    if (!installedCopy.empty())
        text += "  -s, --system              write the installed copy instead, which Corvane\n"
                "                            reads when the working directory has no\n"
                "                            devices.lst: " + installedCopy + "\n"
                "                            (for root; its directory is made when missing)\n";
    return text + "  -h, --help                this text\n"
                  "\n"
                  "Malformed lines of the list are reported with their numbers and skipped.\n"
                  "Exit status: 0 on success, 1 when the list cannot be read or the output not\n"
                  "written, 2 for bad arguments.\n";
}

int badArguments(const std::string& problem)
{
    std::fprintf(stderr, "corvane-update: %s\nTry 'corvane-update --help'.\n", problem.c_str());
    return 2;
}

}

int main(int argc, char** argv)
{
    const std::string installedCopy = platform::installedDatabase();
    std::string input = platform::defaultPciIds(), output = "devices.lst";
    bool outputGiven = false, system = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            std::fputs(usage(installedCopy).c_str(), stdout);
            return 0;
        }
        if (!installedCopy.empty() && (argument == "-s" || argument == "--system")) {
            system = true;
            continue;
        }
        std::string* target = argument == "-i" || argument == "--input"    ? &input
                              : argument == "-o" || argument == "--output" ? &output
                                                                           : nullptr;
        if (!target)
            return badArguments("unknown argument '" + argument + "'");
        if (i + 1 >= argc || argv[i + 1][0] == '\0')
            return badArguments(argument + " needs a file name");
        *target = argv[++i];
        outputGiven = outputGiven || target == &output;
    }
    if (system && outputGiven)
        return badArguments("--system and --output name two files: give one");
    if (system) {
        output = installedCopy;
        const std::filesystem::path directory = std::filesystem::path(output).parent_path();
        std::error_code error;
        std::filesystem::create_directories(directory, error);
        if (error) {
            std::fprintf(stderr, "corvane-update: cannot make %s: %s\n", directory.string().c_str(), error.message().c_str());
            return 1;
        }
    }

    const auto start = std::chrono::steady_clock::now();
    std::string list, error;
    // What cannot be replaced is said before the list is read.
    if (!platform::replaceableFile(output, error)) {
        std::fprintf(stderr, "corvane-update: %s\n", error.c_str());
        return 1;
    }
    if (!readListFile(input, list, error)) {
        std::fprintf(stderr, "corvane-update: cannot read %s\n", error.c_str());
        return 1;
    }
    const Conversion conversion = convertPciIds(list);
    if (!conversion.isPciIds()) {
        std::fprintf(stderr, "corvane-update: %s is not a PCI ID list (%d vendors, %d devices, %lu malformed lines): "
                             "%s was not written\n",
                     input.c_str(), conversion.vendors, conversion.devices, static_cast<unsigned long>(conversion.problems.size()),
                     output.c_str());
        return 1;
    }
    for (const std::string& problem : conversion.problems)
        std::fprintf(stderr, "corvane-update: %s: %s, skipped\n", input.c_str(), problem.c_str());
    if (!platform::replaceFile(output, conversion.devicesList, error)) {
        std::fprintf(stderr, "corvane-update: %s\n", error.c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %d vendors, %d devices, %d lines changed (\" made '), pci.ids version %s, in %.3f s\n",
                output.c_str(), conversion.vendors, conversion.devices, conversion.linesChanged,
                conversion.version.empty() ? "unknown" : conversion.version.c_str(), seconds);
    return 0;
}
