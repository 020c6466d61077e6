// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_PLATFORM_H
#define CORVANE_PLATFORM_H

// What the programs need of the operating system besides the registry, its
// files and its windows. One implementation file per platform, chosen by the
// build: system_posix.cpp, system_win32.cpp.
#include "windowsTarget.h"

#include <string>
#include <vector>

namespace platform {

// Hides the console window the process was started with, if it has one.
void hideConsole();

// Where standard output is a console, it shows the program's UTF-8 text
// until the process ends (Windows consoles have a code page of their own).
void showUtf8OnConsole();

// The program's command-line arguments after its name, as UTF-8 (Windows
// hands them over in its own UTF-16, whatever the ANSI code page holds).
std::vector<std::string> arguments(int argc, char** argv);

// The database an installed Corvane reads when the working directory has
// none, which `corvane-update --system` writes; empty where programs are not
// installed so (Windows: they are portable, their database beside them).
std::string installedDatabase();

// The PCI ID list corvane-update reads by default (plain, or the compressed
// one when only that exists), and how its help names it.
std::string defaultPciIds();
const char* defaultPciIdsDescription();

// This machine's name on the network, as `hostname` prints it; empty when
// it cannot be had.
std::string hostName();

// Standard output takes the program's bytes as they are: no line ends made
// CR LF on the way (Windows), for output that must be the same everywhere.
void binaryStandardOutput();

// The last part of a path, without its directories.
std::string fileNameOf(const std::string& path);

// The Windows this program runs on, for matching drivers to its own
// devices: its version, build, product type and suite mask (RtlGetVersion,
// which no compatibility shim alters) and its processor's own architecture
// (an x64 program on Arm64 Windows says arm64). Elsewhere the default target.
WindowsTarget runningWindows();

// The path of a file: URI, percent-escapes already decoded ("/home/a/b.reg",
// "/C:/a/b.reg"), as this system writes paths.
std::string pathOfFileUri(std::string uriPath);

}

#endif
