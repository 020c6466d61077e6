// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TEXT_WIN32_H
#define CORVANE_TEXT_WIN32_H

// The Windows backends' text: the system's ANSI code page and UTF-16 against
// the program's own UTF-8 (system_win32.cpp).
#include <string>
#include <string_view>

namespace platform {

// Text in the system's ANSI code page, as the registry's and the system's
// ANSI functions give it, as UTF-8. ASCII stays byte for byte, zero bytes included.
std::string ansiToUtf8(std::string_view text);

// UTF-8 as the system's own UTF-16, and back.
std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(const wchar_t* wide);

}

#endif
