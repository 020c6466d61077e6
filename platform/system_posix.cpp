// SPDX-License-Identifier: GPL-2.0-or-later
// POSIX: no console window to hide, terminals take UTF-8 as it is, and an
// installed Corvane keeps its database under the install's state directory.
#include "platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#ifndef CORVANE_INSTALLED_DATABASE
#define CORVANE_INSTALLED_DATABASE "/usr/local/var/lib/corvane/devices.lst"
#endif

namespace platform {

void hideConsole()
{
}

void showUtf8OnConsole()
{
}

std::vector<std::string> arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

std::string installedDatabase()
{
    return CORVANE_INSTALLED_DATABASE;
}

std::string defaultPciIds()
{
    const char* const plain = "/usr/share/misc/pci.ids";
    const char* const compressed = "/usr/share/misc/pci.ids.gz";
    struct stat status;
    return stat(plain, &status) != 0 && stat(compressed, &status) == 0 ? compressed : plain;
}

const char* defaultPciIdsDescription()
{
    return "/usr/share/misc/pci.ids";
}

std::string hostName()
{
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

void binaryStandardOutput()
{
}

std::string fileNameOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of('/');
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

WindowsTarget runningWindows()
{
    return {};
}

std::string pathOfFileUri(std::string uriPath)
{
    return uriPath;
}

}
