// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICEFILE_H
#define CORVANE_DEVICEFILE_H

#include "deviceSource.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The PCI devices another machine recorded in a file, told apart by their
// content: a Windows registry export (.reg), a Windows registry hive (the
// SYSTEM file of a Windows disk) or an lspci dump (lspci -x, -xxx, -xxxx).
// An export and a hive are read by the scan of a Windows machine's PCI branch:
// an export's records are made as it is read, a device at a time, a hive
// comes as a registry; a dump comes as the devices libpci read from it.
struct DeviceFile {
    std::unique_ptr<DeviceSource> source;
    std::size_t skippedLines = 0;  // malformed lines of a registry export, left out
    bool uncleanHive = false;      // a hive Windows did not close cleanly: maybe not its last state
    std::string machineName;       // the computer's name, where the file records it (a hive); empty otherwise
};

// Raises flException, its message naming the file, when the file cannot be
// read, is none of the kinds, is damaged, holds no PCI branch, or is a kind
// this build does not read (Windows: dumps; a build without libhivex: hives).
DeviceFile readDeviceFile(const std::string& path);

// Whether `head`, a file's first bytes, starts like an lspci dump: a
// device's address line ("00:1f.3 ..." or "0000:00:1f.3 ...") and, soon
// after it, the first line of its bytes ("00: 86 80 ...").
bool looksLikeLspciDump(std::string_view head);

// What the user is told of skipped lines: "3 malformed lines of FILE were skipped."
std::string skippedLinesNotice(const std::string& path, std::size_t count);

// What the user is told once, after `file` was read from `path`: its
// skipped lines, or that the hive may be older than the machine's last
// state. Empty when there is nothing to tell.
std::string noticeOf(const std::string& path, const DeviceFile& file);

#endif
