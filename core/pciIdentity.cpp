// SPDX-License-Identifier: GPL-2.0-or-later
#include "pciIdentity.h"

#include "text.h"

#include <initializer_list>

using text::hex;

namespace {

// The number of a part "PREFIXhhhh" of `digits` hexadecimal digits, any case.
std::optional<std::uint32_t> hexPart(std::string_view part, std::string_view lowerPrefix, std::size_t digits)
{
    if (part.size() != lowerPrefix.size() + digits || !text::startsWithAsciiFolded(part, lowerPrefix))
        return std::nullopt;
    return text::hexNumber(part.substr(lowerPrefix.size()), digits);
}

// Calls `take` with each part of a name cut at `separators`.
template <typename Take>
void forEachPart(std::string_view name, const char* separators, Take take)
{
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find_first_of(separators, start), name.size());
        take(name.substr(start, end - start));
        start = end + 1;
    }
}

}

PciIdentity PciIdentity::ofKeyName(std::string_view name)
{
    PciIdentity ids;
    forEachPart(name, "&", [&ids](std::string_view part) {
        if (const auto vendor = hexPart(part, "ven_", 4))
            ids.vendor = static_cast<std::uint16_t>(*vendor);
        else if (const auto device = hexPart(part, "dev_", 4))
            ids.device = static_cast<std::uint16_t>(*device);
        else if (const auto subsystem = hexPart(part, "subsys_", 8)) {
            ids.subsystem = static_cast<std::uint16_t>(*subsystem >> 16);
            ids.subsystemVendor = static_cast<std::uint16_t>(*subsystem & 0xFFFF);
        } else if (const auto revision = hexPart(part, "rev_", 2))
            ids.revision = static_cast<std::uint8_t>(*revision);
    });
    return ids;
}

void PciIdentity::takeClassCode(const std::vector<std::string>& windowsIds)
{
    for (const std::string& id : windowsIds)
        forEachPart(id, "&\\", [this](std::string_view part) {
            if (const auto code = hexPart(part, "cc_", 6)) {
                classId = static_cast<std::uint16_t>(*code >> 8);
                programmingInterface = static_cast<std::uint8_t>(*code & 0xFF);
            } else if (const auto id = hexPart(part, "cc_", 4); id && !classId) {
                classId = static_cast<std::uint16_t>(*id);
            }
        });
}

std::string PciAddress::text() const
{
    using text::HexCase;
    std::string address;
    address.reserve(12);
    text::appendHex(address, domain, domain > 0xFFFF ? 8 : 4, HexCase::small);
    address += ':';
    text::appendHex(address, bus, 2, HexCase::small);
    address += ':';
    text::appendHex(address, device, 2, HexCase::small);
    address += '.';
    text::appendHex(address, function, 1, HexCase::small);
    return address;
}

std::string databaseId(std::uint16_t number)
{
    return "0x" + hex(number, 4);
}

bool PciIdentity::operator==(const PciIdentity& other) const
{
    return vendor == other.vendor && device == other.device && subsystemVendor == other.subsystemVendor &&
           subsystem == other.subsystem && revision == other.revision && classId == other.classId &&
           programmingInterface == other.programmingInterface;
}

namespace {

// The parts the IDs are made of, each empty when a number is missing.
struct IdParts {
    explicit IdParts(const PciIdentity& ids)
    {
        if (ids.vendor)
            vendor = "PCI\\VEN_" + hex(*ids.vendor, 4);
        if (ids.vendor && ids.device)
            device = vendor + "&DEV_" + hex(*ids.device, 4);
        if (ids.subsystem && ids.subsystemVendor)
            subsystem = "&SUBSYS_" + hex(*ids.subsystem, 4) + hex(*ids.subsystemVendor, 4);
        if (ids.revision)
            revision = "&REV_" + hex(*ids.revision, 2);
        if (ids.classId)
            classOnly = "CC_" + hex(*ids.classId, 4);
        if (ids.classId && ids.programmingInterface)
            classWithInterface = classOnly + hex(*ids.programmingInterface, 2);
    }
    std::string vendor, device, subsystem, revision, classOnly, classWithInterface;
};

// Appends the parts joined, each ID made in one allocation, when none of
// them is missing.
void add(std::vector<std::string>& ids, std::initializer_list<std::string_view> parts)
{
    std::size_t size = 0;
    for (const std::string_view part : parts) {
        if (part.empty())
            return;
        size += part.size();
    }
    std::string& id = ids.emplace_back();
    id.reserve(size);
    for (const std::string_view part : parts)
        id.append(part);
}

}

std::vector<std::string> windowsHardwareIds(const PciIdentity& identity)
{
    const IdParts parts(identity);
    std::vector<std::string> ids;
    ids.reserve(4);
    add(ids, {parts.device, parts.subsystem, parts.revision});
    add(ids, {parts.device, parts.subsystem});
    add(ids, {parts.device, "&", parts.classWithInterface});
    add(ids, {parts.device, "&", parts.classOnly});
    return ids;
}

std::vector<std::string> windowsCompatibleIds(const PciIdentity& identity)
{
    const IdParts parts(identity);
    std::vector<std::string> ids;
    ids.reserve(7);
    add(ids, {parts.device, parts.revision});
    add(ids, {parts.device});
    add(ids, {parts.vendor, "&", parts.classWithInterface});
    add(ids, {parts.vendor, "&", parts.classOnly});
    add(ids, {parts.vendor});
    add(ids, {"PCI\\", parts.classWithInterface});
    add(ids, {"PCI\\", parts.classOnly});
    return ids;
}
