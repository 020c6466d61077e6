// SPDX-License-Identifier: GPL-2.0-or-later
#include "listing.h"

#include "flException.h"
#include "installedDriver.h"

#include <cerrno>
#include <system_error>

std::vector<const DeviceRecord*> Listing::shown(const std::vector<std::unique_ptr<DeviceRecord>>& devices) const
{
    std::vector<const DeviceRecord*> listed;
    listed.reserve(devices.size());
    for (const auto& device : devices)
        if ((!settings.attentionOnly || device->needsAttention()) && (!settings.updatesOnly || hasBetterDriver(*device)))
            listed.push_back(device.get());
    return listed;
}

void Listing::write(const std::string& text) const
{
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size())
        failToWrite(std::generic_category().message(errno));
}

void failToWrite(const std::string& reason)
{
    fail(__FILE__, __LINE__, "Failed to write standard output: " + reason);  // the standard-error line says it
}

std::unique_ptr<Listing> Listing::create(const Settings& settings, std::FILE* out)
{
    switch (settings.form) {
    case Form::json: return jsonListing(settings, out);
    case Form::csv: return csvListing(settings, out);
    case Form::html: return htmlListing(settings, out);
    case Form::text: break;
    }
    return textListing(settings, out);
}
