// SPDX-License-Identifier: GPL-2.0-or-later
#include "noticeBox.h"

#include <FL/fl_ask.H>

void showNoticeBox(const std::string& text)
{
    fl_message_title("Corvane");
    fl_message("%s", literalLabel(text).c_str());
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
