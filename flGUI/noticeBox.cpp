// SPDX-License-Identifier: GPL-2.0-or-later
#include "noticeBox.h"

#include <FL/fl_ask.H>

#include <algorithm>

void showNoticeBox(const std::string& text)
{
    fl_message_title("Corvane");
    fl_message("%s", literalLabel(brokenLines(text)).c_str());
}

std::string brokenLines(std::string_view text, std::size_t length)
{
    std::string broken;
    std::size_t characters = 0, breakAfter = std::string::npos;  // in `broken`
    for (const char c : text) {
        broken += c;
        if (c == '\n') {
            characters = 0;
            breakAfter = std::string::npos;
            continue;
        }
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80)
            continue;  // within a character
        if (++characters <= length) {
            if (c == ' ' || c == '/' || c == '\\')
                breakAfter = broken.size();
            continue;
        }
        // This character starts the next line: after the last break allowed, or right before it.
        const std::size_t at = breakAfter != std::string::npos ? breakAfter : broken.size() - 1;
        broken.insert(at, 1, '\n');
        characters = static_cast<std::size_t>(std::count_if(broken.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                                                             broken.end(), [](char b) { return (b & 0xC0) != 0x80; }));
        breakAfter = std::string::npos;
    }
    return broken;
}

std::string literalLabel(std::string_view text)
{
    std::string label;
    for (const char c : text) {
        label += c;
        if (c == '@')
            label += '@';
    }
    return label;
}
