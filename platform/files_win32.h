// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_FILES_WIN32_H
#define CORVANE_FILES_WIN32_H

// What the Windows file backends share (files_win32.cpp).
#include <string>

namespace platform {

// Whether Windows would open a device for `path` rather than a file: its
// last part a DOS device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$,
// CONOUT$) in any case, with or without an extension or a colon after it,
// in whatever directory, or a path in the device namespace (\\.\). Such a
// name is refused before anything is opened: opening some does something.
bool isDosDeviceName(const std::string& path);

// The system's text for an error code of GetLastError(), without its full stop.
std::string systemMessage(unsigned long code);

}

#endif
