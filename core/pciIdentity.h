// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_PCIIDENTITY_H
#define CORVANE_PCIIDENTITY_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A PCI function's numbers, each as far as its source records it: libpci
// has them all; a Windows device key's name has all but the class code,
// which only the recorded hardware IDs give.
struct PciIdentity {
    std::optional<std::uint16_t> vendor, device, subsystemVendor, subsystem;
    std::optional<std::uint8_t> revision;
    std::optional<std::uint16_t> classId;               // base class and subclass: 0x0108
    std::optional<std::uint8_t> programmingInterface;   // of the class: 0x02

    // The numbers of a device key named VEN_vvvv&DEV_dddd&SUBSYS_ssssSSSS&REV_rr
    // (SUBSYS: the subsystem, then its vendor), letters of either case; each
    // where its part is there and well formed.
    static PciIdentity ofKeyName(std::string_view name);

    // Takes the class code from Windows IDs that carry one ("...&CC_010802",
    // or "...&CC_0108" without the interface): the longest found.
    void takeClassCode(const std::vector<std::string>& windowsIds);

    bool operator==(const PciIdentity& other) const;
};

// Where a PCI function sits: its domain (PCI segment), bus, device and
// function, as libpci reads them.
struct PciAddress {
    std::uint32_t domain = 0;
    std::uint8_t bus = 0, device = 0, function = 0;

    // As `lspci -D` prints it and sysfs names the function's directory:
    // 0000:00:1f.3.
    std::string text() const;
    bool operator==(const PciAddress& other) const
    {
        return domain == other.domain && bus == other.bus && device == other.device && function == other.function;
    }
};

// An identifier as devices.lst writes it: "0x" and four capital hexadecimal digits.
std::string databaseId(std::uint16_t number);

// The IDs Windows 10 and later give a PCI function, most specific first,
// upper-case hexadecimal (SUBSYS is the subsystem followed by its vendor):
// hardware IDs PCI\VEN_v&DEV_d&SUBSYS_s&REV_r, ...&SUBSYS_s,
// PCI\VEN_v&DEV_d&CC_ccsspp, ...&CC_ccss; compatible IDs PCI\VEN_v&DEV_d&REV_r,
// PCI\VEN_v&DEV_d, PCI\VEN_v&CC_ccsspp, PCI\VEN_v&CC_ccss, PCI\VEN_v,
// PCI\CC_ccsspp, PCI\CC_ccss. An ID whose numbers the identity lacks is
// left out, never guessed.
std::vector<std::string> windowsHardwareIds(const PciIdentity& identity);
std::vector<std::string> windowsCompatibleIds(const PciIdentity& identity);

#endif
