// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_NOTICEBOX_H
#define CORVANE_NOTICEBOX_H

#include <cstddef>
#include <string>
#include <string_view>

// The toolkit's notice box, titled with the program's name, for what the
// user is told while the window goes on (a file's skipped lines, a hive not
// closed cleanly); a failure has the "Oops!" box. Lines longer than
// noticeLineLength characters are broken (the box is as wide as its longest
// line, and a path may be longer than the screen is wide). Returns once dismissed.
void showNoticeBox(const std::string& text);

constexpr std::size_t noticeLineLength = 80;
// `text` with each line longer than `length` characters broken: after its
// last blank or path separator within that length, else at that length.
std::string brokenLines(std::string_view text, std::size_t length = noticeLineLength);

// FLTK labels take '@' as the start of a symbol's name: the text with each
// '@' doubled, which a label draws as one.
std::string literalLabel(std::string_view text);

#endif
