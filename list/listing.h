// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_LISTING_H
#define CORVANE_LISTING_H

#include "DeviceRecord.h"
#include "htmlReport.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PciIdsNames;

// What corvane-list prints of the machines it read, one machine at a time as
// it is read, so that memory does not grow with their number: the tree as
// indented text (the device outline), JSON, CSV or an HTML report.
class Listing {
public:
    enum class Form { text, json, csv, html };
    struct Settings {
        Form form = Form::text;
        std::string database;              // the devices.lst read
        bool severalMachines = false;      // more than one file given
        bool attentionOnly = false;        // the devices that need attention alone
        bool updatesOnly = false;          // the devices that would get a better driver alone
        const PciIdsNames* names = nullptr;  // for subsystem names; null: none at hand
        std::vector<std::string> files;    // those given, in order; none: this machine's devices
        std::string made;                  // when the listing was made, for the report
        std::optional<ReportDrivers> drivers;  // where drivers were looked for, for the report
    };
    static std::unique_ptr<Listing> create(const Settings& settings, std::FILE* out);

    Listing(const Settings& settings, std::FILE* out) : settings(settings), out(out) {}
    virtual ~Listing() = default;
    // The devices of one machine; `source` names it (the file, or this
    // machine's name), `machineName` is the computer's name where the source
    // records one (this machine's host name, a hive's computer name), empty otherwise.
    // `notice`: what reading the file noticed (a hive not closed cleanly),
    // said on standard error already.
    virtual void machine(const std::string& source, const std::string& machineName, const std::string& notice,
                         const std::vector<std::unique_ptr<DeviceRecord>>& devices) = 0;
    // A file that could not be read; it was reported on standard error already.
    virtual void failed(const std::string& source, const std::string& problem) = 0;
    // After the last machine.
    virtual void finish() = 0;

protected:
    // The devices of a machine that are listed.
    std::vector<const DeviceRecord*> shown(const std::vector<std::unique_ptr<DeviceRecord>>& devices) const;
    // Raises flException (see failToWrite) when the text cannot be written.
    void write(const std::string& text) const;

    Settings settings;
    std::FILE* out;
};

// Raises the flException of output that cannot be written (a full disk):
// "Failed to write standard output: " and the system's reason.
[[noreturn]] void failToWrite(const std::string& reason);

// The forms, one file each.
std::unique_ptr<Listing> textListing(const Listing::Settings& settings, std::FILE* out);
std::unique_ptr<Listing> jsonListing(const Listing::Settings& settings, std::FILE* out);
std::unique_ptr<Listing> csvListing(const Listing::Settings& settings, std::FILE* out);
std::unique_ptr<Listing> htmlListing(const Listing::Settings& settings, std::FILE* out);

#endif
