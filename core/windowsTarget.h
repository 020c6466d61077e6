// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_WINDOWSTARGET_H
#define CORVANE_WINDOWSTARGET_H

// The Windows a folder of drivers is matched for: which models sections of an
// INF file apply depends on the processor architecture and the version and
// build of Windows, as the decorations of [Manufacturer] say
// (NTamd64.10.0...16299).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class WindowsArchitecture { x86, amd64, arm64 };

struct WindowsTarget {
    WindowsArchitecture architecture = WindowsArchitecture::amd64;
    // Windows 11 version 24H2 by default.
    std::uint32_t major = 10;
    std::uint32_t minor = 0;
    std::uint32_t build = 26100;
    // What decorations' product type and suite mask are matched against: a
    // workstation (VER_NT_WORKSTATION), whose suite mask client editions of
    // Windows report as VER_SUITE_SINGLEUSERTS.
    std::uint32_t productType = 1;
    std::uint32_t suiteMask = 0x100;
};

// The architecture as INF decorations name it: "x86", "amd64", "arm64".
const char* architectureName(WindowsArchitecture architecture);

// Reads a target as an option gives it, without regard to case:
//   ARCH            an architecture: x86, amd64 (or x64), arm64
//   VERSION         MAJOR.MINOR or MAJOR.MINOR.BUILD, e.g. 10.0.19045 (Windows 10 22H2),
//                   6.1.7601 (Windows 7 SP1); a build left out is 0
//   ARCH:VERSION    both, e.g. amd64:10.0.22631, x86:10.0.19045
// What is left out is the default's: amd64, 10.0.26100. Nothing when the text
// is none of these, with the reason in `error`.
std::optional<WindowsTarget> parseWindowsTarget(std::string_view text, std::string& error);

// "Windows 10.0 build 26100 (amd64)": what a listing says it matched for.
std::string describeWindowsTarget(const WindowsTarget& target);

#endif
