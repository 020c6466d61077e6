// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_UPDATER_INSTALLEDCOPY_H
#define CORVANE_UPDATER_INSTALLEDCOPY_H

#include <string>

// Corvane reads the devices.lst of its working directory before the
// installed copy. When `written` is a devices.lst beside which Corvane
// would read it instead of `installedCopy`, and that copy exists: the line
// that says so, and that the system's updates leave this one as it is.
// Empty otherwise (no installed copy, `written` that copy itself, or a file
// of another name).
std::string installedCopyNote(const std::string& written, const std::string& installedCopy);

#endif
