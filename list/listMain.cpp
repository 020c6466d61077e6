// SPDX-License-Identifier: GPL-2.0-or-later
// corvane-list [OPTION]... [FILE]...: the program's
// start-up without the window, for terminals and scripts. It loads
// devices.lst, reads the PCI devices of this machine, or those each FILE
// records (a Windows registry export or hive, or an lspci dump), and prints them as
// the tree's indented text, as JSON, as CSV or as an HTML report. A failure ends in the
// fatal-error report without its box: the error.log line, the
// standard-error line (ended by a line feed) and status 255; of several files, one that cannot be
// read is reported so and the others are still listed. Output that cannot be
// written (a full disk) is such a failure too, never a success.
#include "commandLine.h"
#include "deviceFile.h"
#include "deviceSource.h"
#include "driverCollect.h"
#include "driverFolder.h"
#include "driverOptions.h"
#include "flException.h"
#include "hardware.h"
#include "htmlReport.h"
#include "installedDriver.h"
#include "listing.h"
#include "outOfMemory.h"
#include "pciIdsFile.h"
#include "pciIdsReader.h"
#include "platform.h"
#include "standardOutput.h"
#include "visibleText.h"
#include "windowsTarget.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// The devices of this machine (no file) or of one file, the computer's name
// where the source records it, and what reading the file noticed (said on
// standard error); an flException naming the file when it cannot be read.
struct Machine {
    DeviceRecords devices;
    std::string name, notice;
};

Machine devicesOf(const std::string& file, const HardwareDatabase& database)
{
    Machine machine;
    if (file.empty()) {
        machine.name = platform::hostName();
        machine.devices = readDevices(systemDevices(), database);
        return machine;
    }
    const DeviceFile read = readDeviceFile(file);
    machine.name = read.machineName;
    machine.notice = noticeOf(file, read);
    if (!machine.notice.empty()) {  // its lines as they are, the file's name as every report shows it
        std::fprintf(stderr, "%s\n", noticeOf(text::visibleText(file), read).c_str());
        std::fflush(stderr);
    }
    machine.devices = takeDevices(*read.source, database);  // the file is listed once
    return machine;
}

// The folders of drivers read, their skipped files said on standard error.
std::unique_ptr<DriverFolders> readDriverFolders(const std::vector<std::string>& folders, const WindowsTarget& target)
{
    auto read = std::make_unique<DriverFolders>(target);
    readDriverFolders(*read, folders);
    if (const std::string notice = read->notice(); !notice.empty()) {
        std::fprintf(stderr, "%s\n", text::visibleLines(notice).c_str());
        std::fflush(stderr);
    }
    return read;
}

// Lists every source in turn; the exit status.
int list(Listing::Settings settings, const std::vector<std::string>& files, const std::vector<std::string>& folders,
         const WindowsTarget& target)
{
    settings.database = databasePath();
    settings.severalMachines = files.size() > 1;
    settings.files = files;
    settings.made = reportDate();
    // The text form writes its line feed once the database is read, as the window does.
    const HardwareDatabase database(settings.database, settings.form == Listing::Form::text);
    // Subsystems are named from pci.ids, in the forms for scripts.
    const bool forScripts = settings.form == Listing::Form::json || settings.form == Listing::Form::csv;
    const PciIdsFile idsFile(forScripts ? platform::defaultPciIds() : std::string());
    const PciIdsNames names(idsFile.bytes());
    if (!idsFile.empty())
        settings.names = &names;

    const auto drivers = folders.empty() ? nullptr : readDriverFolders(folders, target);
    if (drivers)
        settings.drivers = ReportDrivers{folders, drivers->infFilesRead(), describeWindowsTarget(target)};
    // The devices of this machine or of one file, with the drivers that fit them.
    // That a file keeps no installed drivers is said once, where the text of --updates does not say it.
    const bool sayNoInstalled = drivers && !(settings.updatesOnly && settings.form == Listing::Form::text);
    const auto devicesWithDrivers = [&](const std::string& file) {
        Machine machine = devicesOf(file, database);
        if (drivers)
            matchDrivers(machine.devices, *drivers);
        const std::string notice = sayNoInstalled ? installedDriversNotice(machine.devices) : std::string();
        if (!notice.empty()) {
            std::fprintf(stderr, "%s%s\n", file.empty() ? "" : (text::visibleText(file) + ": ").c_str(), notice.c_str());
            std::fflush(stderr);
        }
        return machine;
    };

    const auto listing = Listing::create(settings, stdout);
    int status = 0;
    if (files.empty()) {
        const Machine machine = devicesWithDrivers(std::string());
        listing->machine(machine.name, machine.name, machine.notice, machine.devices);
    } else if (files.size() == 1) {
        const Machine machine = devicesWithDrivers(files[0]);  // its failure is the program's
        listing->machine(files[0], machine.name, machine.notice, machine.devices);
    }
    for (std::size_t i = 0; files.size() > 1 && i < files.size(); ++i) {
        // A file that cannot be read is that file's failure; output that
        // cannot be written is the program's.
        Machine machine;
        try {
            machine = devicesWithDrivers(files[i]);
        } catch (const flException& failure) {
            failure.reportAndContinue();
            listing->failed(files[i], failure.message);
            status = 255;
            continue;
        }
        listing->machine(files[i], machine.name, machine.notice, machine.devices);
    }
    listing->finish();
    return status;
}

// What --collect needs: a folder to copy from, one machine, no other form.
std::optional<int> checkCollect(const CommandLine& line, const Listing::Settings& settings, const DriverOptions& drivers,
                                std::size_t files)
{
    if (drivers.folders.empty())
        return line.usageError("--collect copies drivers from the folders of --drivers: give a folder");
    if (files > 1)
        return line.usageError("--collect copies one machine's drivers: give one FILE, or none for this computer");
    if (settings.form != Listing::Form::text || settings.attentionOnly || settings.updatesOnly)
        return line.usageError("--collect says what it copied: give it without --json, --csv, --html, --attention and --updates");
    return std::nullopt;
}

// Copies the drivers the machine needs into `into`, says what was copied;
// the exit status: 1 when a package could not be copied.
int collect(const std::string& file, const DriverOptions& drivers, const std::string& folder,
            const platform::DirectoryToFill& into)
{
    const HardwareDatabase database(databasePath(), false);
    const auto folders = readDriverFolders(drivers.folders, drivers.target);
    Machine machine = devicesOf(file, database);
    matchDrivers(machine.devices, *folders);
    const std::string name = file.empty() ? machine.name : file;
    const Collection collection = collectDrivers(packagesToCollect(machine.devices), into,
                                                 {name, folder, describeWindowsTarget(drivers.target)},
                                                 drivers.target);
    std::printf("%s\n", collectionReport(collection, folder).c_str());
    return collection.everyPackageCopied() ? 0 : 1;
}

}

int main(int argc, char** argv)
{
    flException::fatalLineEnd = "\n";
    reportOutOfMemoryAtTerminate();
    Listing::Settings settings;
    bool json = false, csv = false, html = false;
    std::vector<std::string> files;
    DriverOptions drivers;
    std::string collectFolder;
    CommandLine line("corvane-list", "corvane-list [OPTION]... [FILE]...",
                     "Prints the PCI devices of this computer, or those other machines recorded in\n"
                     "each FILE (a Windows registry export or hive, or an lspci dump), as indented text:\n"
                     "what the system records of each and what devices.lst says of it.\n",
                     "Exit status: 0 when the devices were printed, 1 when --collect could not copy\n"
                     "every package, 2 for bad arguments, 255 after a fatal error or when a FILE\n"
                     "could not be read (its line is appended to error.log).\n");
    line.flag(0, "attention", settings.attentionOnly,
              "only the devices that need attention: no driver, disabled, a\nproblem reported, not in the database")
        .flag(0, "updates", settings.updatesOnly,
              "only the devices that would get a better driver from the\nfolders of --drivers than the one installed")
        .flag(0, "json", json, "print JSON (its schema: corvane-list.schema.json)")
        .flag(0, "csv", csv, "print CSV, one row per device")
        .flag(0, "html", html, "print a report to read: one HTML file that stands alone");
    drivers.addTo(line, "the drivers below DIR that fit each device, best first\n(their INF files; may be given several times)",
                  "listing");
    line.value(0, "collect", "DIR", collectFolder,
               "copy the drivers of --drivers that the devices need (none, or\na better one) into DIR, new or empty, "
               "ready to install")
        .operands(files);
    if (const auto status = line.parse(platform::arguments(argc, argv)))
        return *status;
    if (json + csv + html > 1)
        return line.usageError("--json, --csv and --html ask for different forms: give one");
    if (settings.updatesOnly && drivers.folders.empty())
        return line.usageError("--updates compares the installed drivers with those of --drivers: give a folder");
    settings.form = json ? Listing::Form::json : csv ? Listing::Form::csv : html ? Listing::Form::html : Listing::Form::text;
    if (const auto status = drivers.check(line, files.empty()))
        return *status;
    platform::DirectoryToFill collection;
    if (!collectFolder.empty()) {
        if (const auto status = checkCollect(line, settings, drivers, files.size()))
            return *status;
        std::string problem;
        if (!platform::DirectoryToFill::open(collectFolder, collection, problem))
            return line.usageError("--collect '" + collectFolder + "': " + problem);
    }

    int status = 0;
    runReportingFailures([&] {
        platform::showUtf8OnConsole();
        if (settings.form != Listing::Form::text)
            platform::binaryStandardOutput();  // the same bytes on every system
        status = collectFolder.empty() ? list(settings, files, drivers.folders, drivers.target)
                                       : collect(files.empty() ? std::string() : files[0], drivers, collectFolder, collection);
        std::string error;
        if (!closeStandardOutput(error))
            failToWrite(error);
    });
    return status;
}
