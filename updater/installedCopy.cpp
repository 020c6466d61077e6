// SPDX-License-Identifier: GPL-2.0-or-later
#include "installedCopy.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string installedCopyNote(const std::string& written, const std::string& installedCopy)
{
    std::error_code error;
    if (installedCopy.empty() || !fs::exists(installedCopy, error) || fs::path(written).filename() != "devices.lst")
        return std::string();
    const fs::path folder = fs::absolute(fs::path(written), error).lexically_normal().parent_path();
    if (error)
        return std::string();
    // The same file or folder by another name (a link, "..") is the installed copy's.
    const bool installedOne = fs::equivalent(written, installedCopy, error) ||
                              fs::equivalent(folder, fs::path(installedCopy).parent_path(), error);
    if (installedOne || error)
        return std::string();
    return "Corvane started in " + folder.string() + " will read this copy, not " +
           installedCopy + ", and dpkg will not update it";
}
