// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_REGISTRYHIVE_H
#define CORVANE_REGISTRYHIVE_H

#include "files.h"
#include "registry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// A Windows registry hive in the binary form Windows keeps it in on its disk
// ("regf"), such as Windows\System32\config\SYSTEM: a base block of 4096
// bytes, then the hive bins that hold the keys.
namespace registryHive {

constexpr std::size_t baseBlockSize = 4096;

// Whether a file's first bytes carry the signature "regf".
bool hasSignature(std::string_view head);

// What a sound base block says.
struct BaseBlock {
    std::uint64_t hiveSize = 0;  // the base block and the hive bins it announces
    bool cleanlyClosed = true;   // its two sequence numbers agree
};

// Checks the base block at the start of `head` for a file of `fileSize`
// bytes: signature, format version, that it is a hive rather than a
// transaction log, its checksum, and that the hive bins it announces lie
// whole within the file. None, with what is wrong in `problem`, otherwise.
std::optional<BaseBlock> checkBaseBlock(std::string_view head, std::uint64_t fileSize, std::string& problem);

// A hive read: the PCI branch of the control set Windows starts with
// (SYSTEM\Select's "Current", else its "Default", else the first one),
// laid out at pciBranchPath below localMachine as every registry is.
struct Reading {
    std::unique_ptr<Registry> registry;  // null: no PCI branch, or a problem
    std::string problem;                 // why the hive cannot be read; empty when it was
    bool cleanlyClosed = true;           // see BaseBlock
    std::string computerName;            // as the control set records it; empty when it does not
};

}

// Reads the hive open as `file`, whose first bytes `head` the caller has
// read already (the file's position is after them), with libhivex on every
// system: no administrator's rights, nothing loaded into a registry. Never
// writes to it. None in a build without libhivex (cmake/hivex.cmake).
std::optional<registryHive::Reading> readRegistryHive(const platform::OpenedFile& file, std::string_view head);

#endif
