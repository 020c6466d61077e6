// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_NOTICEBOX_H
#define CORVANE_NOTICEBOX_H

#include <string>
#include <string_view>

// The toolkit's notice box, titled with the program's name, for what the
// user is told while the window goes on (a file's skipped lines, a hive not
// closed cleanly); a failure has the "Oops!" box. Returns once dismissed.
void showNoticeBox(const std::string& text);

// FLTK labels take '@' as the start of a symbol's name: the text with each
// '@' doubled, which a label draws as one.
std::string literalLabel(std::string_view text);

#endif
