// SPDX-License-Identifier: GPL-2.0-or-later
#include "visibleText.h"

#include "text.h"

#include <cstdint>
#include <cstdio>

namespace {

// Code points above ASCII that act rather than show.
bool isActingCodePoint(std::int32_t code)
{
    return (code >= 0x80 && code <= 0x9F) || (code >= 0x2028 && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

// Unicode's noncharacters, which no text should carry (an HTML parser
// refuses them): U+FDD0 to U+FDEF, and the last two of each plane.
bool isNoncharacter(std::int32_t code)
{
    return (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
}

void appendEscape(std::string& out, const char* format, unsigned value)
{
    char escape[16];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

}

void text::appendVisibleText(std::string& out, std::string_view raw, Tabs tabs)
{
    out.reserve(out.size() + raw.size());
    std::size_t at = 0;
    while (at < raw.size()) {
        // Plain printable ASCII, what nearly every text is, goes in whole.
        std::size_t plain = at;
        while (plain < raw.size() && raw[plain] >= 0x20 && raw[plain] < 0x7F)
            ++plain;
        out.append(raw, at, plain - at);
        at = plain;
        if (at == raw.size())
            break;

        const auto byte = static_cast<unsigned char>(raw[at]);
        if (byte < 0x80) {
            if (byte == '\t' && tabs == Tabs::kept)
                out += '\t';
            else
                appendEscape(out, "\\x%02x", byte);
            ++at;
            continue;
        }
        std::size_t length = 0;
        const std::int32_t code = utf8CodePoint(raw, at, length);
        if (code < 0)
            appendEscape(out, "\\x%02x", byte);
        else if (isActingCodePoint(code) || isNoncharacter(code))
            appendEscape(out, code > 0xFFFF ? "\\U%08x" : "\\u%04x", static_cast<unsigned>(code));
        else
            out.append(raw, at, length);
        at += length;
    }
}
