// SPDX-License-Identifier: GPL-2.0-or-later
// CSV as RFC 4180 has it, UTF-8: a header row, then one row per device, the
// machine it is of in the first column. A field with a comma or a double
// quote is quoted; lines end with CR LF. Text that is no UTF-8 is made so:
// each byte that starts no character becomes U+FFFD, as in the JSON. Control
// characters are escaped as everywhere else (visibleText.h), a tab left as
// it is: one device is one row. A text that a spreadsheet would take for a
// formula gets a leading ' inside its quotes (see leadsFormula).
#include "deviceFields.h"
#include "deviceOutline.h"
#include "listing.h"
#include "text.h"
#include "visibleText.h"

#include <string_view>
#include <vector>

namespace {

const char* const header =
    "source,key,vendor_id,device_id,subsystem_vendor_id,subsystem_id,revision,description,class,manufacturer,"
    "driver,driver_state,problem_code,modules,location,attention,database_vendor,database_device,"
    "database_source,subsystem,attention_reasons,hardware_ids,compatible_ids,machine,fit_inf,fit_model,fit_rank,instance_id,address,friendly_name,"
    "installed_provider,installed_version,installed_date,installed_inf,installed_section,installed_matching_id,"
    "installed_rank,better_driver,fit_version,fit_date\r\n";

// Whether a spreadsheet would take a field that starts so for a formula
// (after a tab or a carriage return, one may still follow): the characters
// OWASP's guidance on CSV injection names. A formula from a file could send
// other cells to any address (=HYPERLINK) or run commands (DDE); the leading
// ' makes the cell text.
bool leadsFormula(std::string_view field)
{
    return !field.empty() && std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
}

// A text field. Every column that takes a field from a file is text, so a
// text that reads as a number ("-2") is marked too; the numeric column,
// problem_code, is digits alone and never marked.
std::string field(const std::string& value)
{
    // The source's name may be any bytes; the device's fields are UTF-8 already.
    const std::string shown = text::visibleText(text::validUtf8(value), text::Tabs::kept);
    const bool formula = leadsFormula(shown);
    if (!formula && shown.find_first_of(",\"\r\n") == std::string::npos)
        return shown;
    std::string quoted = formula ? "\"'" : "\"";
    for (const char c : shown)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string field(const std::optional<std::string>& value)
{
    return value ? field(*value) : std::string();
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

// The installed driver's columns, whether the folder holds a better one, and
// the best fit's version and date beside the installed one's.
void appendInstalled(std::vector<std::string>& cells, const DeviceFields& f, const DeviceFields::Fit* bestFit)
{
    const auto& installed = f.installedDriver;
    const auto of = [&installed](auto member) { return installed ? field((*installed).*member) : std::string(); };
    cells.insert(cells.end(), {of(&DeviceFields::Installed::provider), of(&DeviceFields::Installed::driverVersion),
                               of(&DeviceFields::Installed::driverDate), of(&DeviceFields::Installed::inf),
                               of(&DeviceFields::Installed::section), of(&DeviceFields::Installed::matchingId),
                               installed && installed->rank ? *installed->rank : std::string(),
                               f.betterDriver ? (*f.betterDriver ? "true" : "false") : std::string(),
                               field(bestFit ? bestFit->driverVersion : std::string()),
                               field(bestFit ? bestFit->driverDate : std::string())});
}

std::string row(const std::string& source, const std::string& machineName, const DeviceFields& f)
{
    // Of the drivers that fit, the best: the one Windows would install.
    const DeviceFields::Fit* bestFit = f.fits && !f.fits->empty() ? &f.fits->front() : nullptr;
    std::vector<std::string> cells = {
        field(source), field(f.key), field(f.vendorId), field(f.deviceId), field(f.subsystemVendorId),
        field(f.subsystemId), field(f.revision), field(f.description), field(f.deviceClass),
        field(f.manufacturer), field(f.driver), f.driverState,
        f.problemCode ? std::to_string(*f.problemCode) : std::string(), field(joined(f.modules)),
        field(f.location), f.attention ? "true" : "false", f.database ? field(f.database->vendor) : std::string(),
        f.database ? field(f.database->device) : std::string(), f.database ? field(f.database->source) : std::string(),
        field(f.subsystem), field(joined(f.attentionReasons)), field(joined(f.hardwareIds)),
        field(joined(f.compatibleIds)), field(machineName), field(bestFit ? bestFit->inf : std::string()),
        field(bestFit ? bestFit->model : std::string()), bestFit ? rankText(bestFit->rank) : std::string(),
        field(f.instanceId), field(f.address), field(f.friendlyName)};
    appendInstalled(cells, f, bestFit);
    std::string line;
    for (const std::string& cell : cells)
        line += (line.empty() ? "" : ",") + cell;
    return line + "\r\n";
}

class CsvListing : public Listing {
public:
    CsvListing(const Settings& settings, std::FILE* out) : Listing(settings, out) { write(header); }

    void machine(const std::string& source, const std::string& machineName, const std::string&,
                 const std::vector<std::unique_ptr<DeviceRecord>>& devices) override
    {
        std::string rows;
        for (const DeviceRecord* device : shown(devices))
            rows += row(source, machineName, fieldsOf(*device, settings.names));
        write(rows);
    }
    void failed(const std::string&, const std::string&) override {}
    void finish() override {}
};

}

std::unique_ptr<Listing> csvListing(const Listing::Settings& settings, std::FILE* out)
{
    return std::make_unique<CsvListing>(settings, out);
}
