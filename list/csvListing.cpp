// SPDX-License-Identifier: GPL-2.0-or-later
// CSV as RFC 4180 has it, UTF-8: a header row, then one row per device, the
// machine it is of in the first column. A field with a comma, a double quote
// or a line end is quoted; lines end with CR LF. Text that is no UTF-8 is
// made so: each byte that starts no character becomes U+FFFD.
#include "deviceFields.h"
#include "listing.h"
#include "text.h"

#include <vector>

namespace {

const char* const header =
    "source,key,vendor_id,device_id,subsystem_vendor_id,subsystem_id,revision,description,class,manufacturer,"
    "driver,driver_state,problem_code,modules,location,attention,database_vendor,database_device,"
    "database_source,subsystem,attention_reasons,hardware_ids,compatible_ids,machine\r\n";

std::string field(const std::string& value)
{
    const std::string valid = text::validUtf8(value);  // the source's name; the device's fields are so already
    if (valid.find_first_of(",\"\r\n") == std::string::npos)
        return valid;
    std::string quoted = "\"";
    for (const char c : valid)
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

std::string row(const std::string& source, const std::string& machineName, const DeviceFields& f)
{
    const std::vector<std::string> cells = {
        field(source), field(f.key), field(f.vendorId), field(f.deviceId), field(f.subsystemVendorId),
        field(f.subsystemId), field(f.revision), field(f.description), field(f.deviceClass),
        field(f.manufacturer), field(f.driver), f.driverState,
        f.problemCode ? std::to_string(*f.problemCode) : std::string(), field(joined(f.modules)),
        field(f.location), f.attention ? "true" : "false", f.database ? field(f.database->vendor) : std::string(),
        f.database ? field(f.database->device) : std::string(), f.database ? field(f.database->source) : std::string(),
        field(f.subsystem), field(joined(f.attentionReasons)), field(joined(f.hardwareIds)),
        field(joined(f.compatibleIds)), field(machineName)};
    std::string line;
    for (const std::string& cell : cells)
        line += (line.empty() ? "" : ",") + cell;
    return line + "\r\n";
}

class CsvListing : public Listing {
public:
    CsvListing(const Settings& settings, std::FILE* out) : Listing(settings, out) { write(header); }

    void machine(const std::string& source, const std::string& machineName,
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
