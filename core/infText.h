// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_INFTEXT_H
#define CORVANE_INFTEXT_H

// The syntax of Windows INF files, as Windows' own parser reads them: the
// encodings, sections, entries of comma-separated fields with quotes,
// comments and continued lines, and %strkey% substitution. What the entries
// mean is infFile.h's.
#include "keyedHash.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace inf {

// A field holds at most 4,095 characters (UTF-16 code units, as Windows
// counts them; 4,096 with the terminating zero), before substitution and
// after it; what is longer is cut there.
constexpr std::size_t maxFieldLength = 4095;
// A section name longer than this makes the file no INF, as for Windows.
constexpr std::size_t maxSectionNameLength = 255;

// Bytes that grow without being written first: the text of one file after
// another, without clearing what the last one left.
class Scratch {
public:
    char* reserve(std::size_t size);

private:
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
};

// An INF file's bytes as UTF-8 text: UTF-16 (little- or big-endian) or UTF-8
// with a byte-order mark, else Windows-1252 (Windows reads such a file in
// its ANSI code page: a US-English Windows' one). Invalid UTF-8 becomes
// U+FFFD. The text ends at the first Ctrl-Z, as files of DOS did; a zero
// character is a space, as Windows reads it. The view is into `bytes` when
// they need no conversion, else into `scratch`.
std::string_view decodeText(std::string_view bytes, Scratch& scratch);

struct Section {
    std::string_view name;   // between the brackets, as written
    std::uint64_t nameHash;  // text::keyedFoldedHash(name)
    std::size_t begin;       // its entries: from the line after its [name] line
    std::size_t end;         // to the next [name] line or the end
};

// The sections of `text` in their order; sections of the same name are
// listed each. False when Windows would take the file for no INF: a line
// starting with '[' without the closing bracket, a name of more than 255
// characters, or an entry before the first section in a file without a
// [Strings] section (with one, Windows passes over such text). A '['
// starting a line that a backslash continues is no section.
bool findSections(std::string_view text, std::vector<Section>& sections);

// One entry: `key = field, field, ...` or `field, field, ...`. Quotes are
// taken away (a doubled one stands for itself), blanks around fields
// dropped (those in quotes kept), tabs made spaces, comments and line
// continuations applied. A semicolon outside quotes starts a comment, also
// within a %strkey% token, as Windows reads it. Fields are not substituted yet.
class Entry {
public:
    bool hasKey = false;
    std::string key;

    std::size_t fieldCount() const { return count; }
    // The field, or an empty one past the last.
    std::string_view field(std::size_t index) const
    {
        return index < count ? std::string_view(fields[index]) : std::string_view();
    }

private:
    friend class EntryReader;
    std::vector<std::string> fields;  // kept between entries: only the first `count` are this one's
    std::size_t count = 0;
};

// The entries of a section's lines in turn.
class EntryReader {
public:
    EntryReader(std::string_view text, std::size_t begin, std::size_t end) : text(text.substr(0, end)), position(begin)
    {
    }
    // False after the last.
    bool next(Entry& entry);

private:
    struct Field;  // the field being read
    void readEntry(Entry& entry);
    // From `position`, within a field: blanks, a comment, quoted text, a
    // backslash or a run of plain text.
    void readPiece(Field& field);
    void readQuoted(std::string& field);
    // At a backslash: true when it continues the line (the position is then
    // on the next line), false when it is text (appended to `field`).
    bool continues(std::string& field, std::size_t& significant);
    void skipComment();

    std::string_view text;
    std::size_t position;
};

// The strings of the [Strings] section in use, looked up by key without
// regard to case. The first of keys written twice counts.
class StringTable {
public:
    void clear();
    void add(const Entry& entry);
    std::optional<std::string_view> find(std::string_view key) const;
    bool empty() const { return entries.empty(); }

private:
    struct Item {
        std::uint32_t keyOffset, keyLength, valueOffset, valueLength;  // in `arena`: one file's text at most
    };
    std::string_view keyOf(const Item& item) const;
    std::optional<std::string_view> findHashed(std::uint64_t hash, std::string_view key) const;

    std::string arena;
    std::vector<Item> entries;
    text::HashSlots slots;  // by text::keyedFoldedHash of the key
};

// `field` with each %strkey% replaced by its string (once: what a string
// holds is not substituted again), %% by a percent sign; a key without a
// string stays as written, percent signs and all. Cut to maxFieldLength.
void substitute(std::string_view field, const StringTable& strings, std::string& out);

// `text` cut to at most `limit` UTF-16 code units, at a character's end.
void cutToLength(std::string& text, std::size_t limit);

}

#endif
