// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_VISIBLETEXT_H
#define CORVANE_VISIBLETEXT_H

// How text that comes from outside (a registry, an export, a dump, pci.ids,
// devices.lst, a file's name) is shown to people: in the tree, the text and
// CSV that corvane-list prints, the lines on standard error, error.log and
// the boxes. Whatever a file says then stays one line of plain characters
// that can do nothing to a terminal, a window or a spreadsheet: each
// character that would act rather than show is written as a visible escape.
//
// - C0 controls (U+0000 to U+001F; a tab stays where the caller keeps it)
//   and DEL: `\x1b`, two small hexadecimal digits;
// - C1 controls (U+0080 to U+009F, such as U+009B, the one-character CSI, and
//   U+0085, NEL), the line and paragraph separators (U+2028, U+2029), the
//   bidirectional embeddings, overrides and isolates (U+202A to U+202E,
//   U+2066 to U+2069) and the noncharacters (U+FDD0 to U+FDEF, U+FFFE,
//   U+FFFF and the last two of every other plane, which an HTML parser
//   refuses): `\u202e`, four small hexadecimal digits, above U+FFFF
//   `\U0010ffff`, eight;
// - each byte that starts no well-formed UTF-8 character (a file name in
//   another encoding, a damaged text): `\xe9`, so that the name can still be
//   told from others.
//
// Everything else stays as it is: any printable character of any script, and
// the backslash, which Windows' key names are full of. The escapes are for
// reading, not for undoing: `\x1b` may also be four characters of the text
// itself. corvane-list --json gives texts exactly.
#include <algorithm>
#include <string>
#include <string_view>

namespace text {

enum class Tabs { escaped, kept };

// Appends `raw`, shown as above, to `out`.
void appendVisibleText(std::string& out, std::string_view raw, Tabs tabs = Tabs::escaped);

inline std::string visibleText(std::string_view raw, Tabs tabs = Tabs::escaped)
{
    std::string shown;
    appendVisibleText(shown, raw, tabs);
    return shown;
}

// A text of several lines (the program's own notice, naming files), each line
// shown as above and the line feeds between them kept.
inline std::string visibleLines(std::string_view raw)
{
    std::string shown;
    for (std::size_t start = 0; start <= raw.size();) {
        const std::size_t end = std::min(raw.find('\n', start), raw.size());
        if (start)
            shown += '\n';
        appendVisibleText(shown, raw.substr(start, end - start));
        start = end + 1;
    }
    return shown;
}

}

#endif
