// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_HTMLREPORT_H
#define CORVANE_HTMLREPORT_H

#include "DeviceRecord.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The report a person reads: one HTML5 file that stands alone (styles
// inline, the marks as inline SVG, no script, nothing fetched), to attach to
// a mail or a ticket. Per machine: its name, where the devices come from, the
// date, the database, where drivers were looked for and for which Windows,
// the notice of its file; a summary of what needs attention; where drivers
// were looked for and installed ones are known, the devices that would get
// a better one; a table of the devices, those that need attention first,
// with the best driver that fits; and each device's outline below,
// the same lines as the tree. Of several machines, one section each under a
// table of contents. The window and corvane-list both write it from here, so
// that the same devices make the same bytes.
//
// Every text from a file (names, the file's own name) is shown as
// visibleText.h shows it and then escaped for HTML: markup in an export is
// text, never markup.
// Where the drivers that fit were looked for, and for which Windows.
struct ReportDrivers {
    std::vector<std::string> folders;  // as given
    std::size_t infFiles = 0;          // read in them
    std::string target;                // the Windows, as describeWindowsTarget says it
};

struct ReportSettings {
    std::string database;       // the devices.lst read
    std::string made;           // when the report was made, as reportDate() says it
    bool attentionOnly = false;  // the devices that need attention alone are listed
    std::optional<ReportDrivers> drivers = std::nullopt;  // none when no folder of drivers was looked in
    bool updatesOnly = false;    // the devices that would get a better driver alone are listed
};

// One machine's devices; `source` the file they were read from, empty for
// this computer's own; `name` the computer's name (the host name, a hive's
// computer name) or, where nothing records one, the file's name.
struct ReportMachine {
    std::string name;
    std::string source;
    const std::vector<std::unique_ptr<DeviceRecord>>* devices = nullptr;
    std::string notice = {};  // what the file's reading says (deviceFile.h's noticeOf): a hive not closed cleanly
};

// The document's start: head, styles and the marks' pictures, titled with
// the name of the one machine it reports on...
std::string reportStart(std::string_view machineName);
// ...or with a table of contents of the sections of several sources to
// come, in that order (the file names; empty for this computer).
std::string reportStart(const std::vector<std::string>& sources);
// The section of the `index`-th source (from 0), as the contents link to it.
std::string machineSection(const ReportSettings& settings, std::size_t index, const ReportMachine& machine);
// The section of a source that could not be read, saying why.
std::string failedSection(std::size_t index, const std::string& source, const std::string& problem);
std::string reportEnd();

// The whole report of one machine.
std::string htmlReport(const ReportSettings& settings, const ReportMachine& machine);

// A time as the report says it: "2026-12-08 17:49 UTC", the same on every
// system. SOURCE_DATE_EPOCH, when set to a number, stands for now.
std::string reportDate(std::time_t now = std::time(nullptr));

// The file name proposed for a machine's report: "corvane-NAME.html", the
// name's characters that no file system takes (and blanks) as '_', and the
// whole no longer than a file system takes (maxFileNameBytes).
constexpr std::size_t maxFileNameBytes = 255;
std::string reportFileName(std::string_view machineName);

// `text` escaped for HTML text and attribute values.
std::string htmlEscaped(std::string_view text);

#endif
