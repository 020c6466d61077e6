// SPDX-License-Identifier: GPL-2.0-or-later
// JSON: one object, {"source", "database", "devices"} for one machine,
// {"database", "machines": [...]} for several; written with nlohmann's JSON
// library, so that whatever a registry holds the output is valid: invalid
// UTF-8 becomes U+FFFD, control characters are escaped.
#include "deviceFields.h"
#include "deviceOutline.h"
#include "listing.h"
#include "text.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

using Json = nlohmann::ordered_json;  // the fields in the order documented

template <typename Value>
Json orNull(const std::optional<Value>& value)
{
    return value ? Json(*value) : Json(nullptr);
}

Json unlessEmpty(const std::string& text)
{
    return text.empty() ? Json(nullptr) : Json(text);
}

Json fitJson(const DeviceFields::Fit& fit)
{
    return {{"inf", fit.inf},
            {"folder", fit.folder},
            {"model", fit.model},
            {"provider", fit.provider},
            {"class", fit.infClass},
            {"driver_date", unlessEmpty(fit.driverDate)},
            {"driver_version", unlessEmpty(fit.driverVersion)},
            {"matched_id", fit.matchedId},
            {"rank", rankText(fit.rank)},
            {"signed", fit.signedPackage},
            {"versus_installed", orNull(fit.versusInstalled)}};
}

Json deviceJson(const DeviceFields& fields)
{
    Json device;
    device["key"] = fields.key;
    device["vendor_id"] = orNull(fields.vendorId);
    device["device_id"] = orNull(fields.deviceId);
    device["subsystem_vendor_id"] = orNull(fields.subsystemVendorId);
    device["subsystem_id"] = orNull(fields.subsystemId);
    device["revision"] = orNull(fields.revision);
    device["description"] = fields.description;
    device["class"] = fields.deviceClass;
    device["manufacturer"] = fields.manufacturer;
    device["driver"] = orNull(fields.driver);
    device["driver_state"] = fields.driverState;
    device["problem_code"] = orNull(fields.problemCode);
    device["modules"] = fields.modules;
    device["location"] = orNull(fields.location);
    device["attention"] = fields.attention;
    device["attention_reasons"] = fields.attentionReasons;
    if (fields.database)
        device["database"] = {{"vendor", fields.database->vendor},
                              {"device", fields.database->device},
                              {"source", fields.database->source}};
    else
        device["database"] = nullptr;
    device["subsystem"] = orNull(fields.subsystem);
    device["hardware_ids"] = fields.hardwareIds;
    device["compatible_ids"] = fields.compatibleIds;
    device["fits"] = nullptr;
    device["more_fits"] = nullptr;
    if (fields.fits) {
        device["more_fits"] = fields.moreFits;
        device["fits"] = Json::array();
        for (const DeviceFields::Fit& fit : *fields.fits)
            device["fits"].push_back(fitJson(fit));
    }
    device["instance_id"] = orNull(fields.instanceId);
    device["address"] = orNull(fields.address);
    device["friendly_name"] = orNull(fields.friendlyName);
    device["installed_driver"] = nullptr;
    if (const auto& installed = fields.installedDriver)
        device["installed_driver"] = {{"description", installed->description}, {"provider", installed->provider},
                                      {"driver_date", orNull(installed->driverDate)},
                                      {"driver_version", orNull(installed->driverVersion)}, {"inf", installed->inf},
                                      {"section", installed->section}, {"matching_id", installed->matchingId},
                                      {"rank", orNull(installed->rank)}, {"rank_from", orNull(installed->rankFrom)}};
    device["better_driver"] = orNull(fields.betterDriver);
    return device;
}

// The library escapes the control characters JSON must (below U+0020);
// DEL and U+0080 to U+009F, control characters as well, are escaped here.
// Their bytes can stand in strings only.
std::string dumped(const Json& value, int indent)
{
    const std::string text = value.dump(indent, ' ', false, Json::error_handler_t::replace);
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        char code[8];
        if (byte == 0x7F) {
            escaped += "\\u007f";
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(code, sizeof code, "\\u%04x", next);
            escaped += code;
            ++i;
        } else {
            escaped += text[i];
        }
    }
    return escaped;
}

// Every line of `text` indented by `blanks`.
std::string indented(const std::string& text, std::size_t blanks)
{
    std::string out(blanks, ' ');
    for (const char c : text) {
        out += c;
        if (c == '\n')
            out.append(blanks, ' ');
    }
    return out;
}

class JsonListing : public Listing {
public:
    using Listing::Listing;

    void machine(const std::string& source, const std::string& machineName, const std::string&,
                 const std::vector<std::unique_ptr<DeviceRecord>>& devices) override
    {
        Json machine;
        machine["source"] = text::validUtf8(source);
        machine["machine"] = machineName.empty() ? Json(nullptr) : Json(text::validUtf8(machineName));
        if (!settings.severalMachines)
            machine["database"] = settings.database;
        machine["devices"] = Json::array();
        for (const DeviceRecord* device : shown(devices))
            machine["devices"].push_back(deviceJson(fieldsOf(*device, settings.names)));
        put(machine);
    }

    void failed(const std::string& source, const std::string& problem) override
    {
        put(Json{{"source", text::validUtf8(source)}, {"error", text::validUtf8(problem)}});
    }

    void finish() override
    {
        if (settings.severalMachines)
            write(std::string(started ? "\n  ]\n}\n" : dumped(Json{{"database", settings.database}, {"machines", Json::array()}}, 2) + "\n"));
    }

private:
    // One machine's object: the whole output, or the next in "machines".
    void put(const Json& machine)
    {
        if (!settings.severalMachines) {
            write(dumped(machine, 2) + "\n");
            return;
        }
        if (!started)
            write("{\n  \"database\": " + dumped(settings.database, -1) + ",\n  \"machines\": [\n");
        else
            write(",\n");
        write(indented(dumped(machine, 2), 4));
        started = true;
    }

    bool started = false;
};

}

std::unique_ptr<Listing> jsonListing(const Listing::Settings& settings, std::FILE* out)
{
    return std::make_unique<JsonListing>(settings, out);
}
