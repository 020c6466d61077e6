// SPDX-License-Identifier: GPL-2.0-or-later
#include "infText.h"

#include "keyedHash.h"
#include "text.h"
#include "textEncoding.h"

#include <algorithm>
#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace inf {

namespace {

constexpr char controlZ = '\x1A';

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The characters that end a run of plain text in an entry.
constexpr std::array<bool, 256> specialCharacters()
{
    std::array<bool, 256> special{};
    for (const char c : {'\n', ' ', '\t', '\r', '\v', '\f', ',', '=', ';', '"', '\\', '%'})
        special[static_cast<unsigned char>(c)] = true;
    return special;
}
constexpr std::array<bool, 256> special = specialCharacters();

// The position of `c` in `text` from `from` on, or text.size().
std::size_t findByte(std::string_view text, char c, std::size_t from)
{
    if (from >= text.size())
        return text.size();
    const void* found = std::memchr(text.data() + from, c, text.size() - from);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : text.size();
}

std::size_t firstNonAscii(std::string_view bytes)
{
    std::size_t at = 0;
#ifdef __SSE2__
    for (; at + 16 <= bytes.size(); at += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + at));
        if (_mm_movemask_epi8(block) != 0)
            break;
    }
#endif
    while (at < bytes.size() && static_cast<unsigned char>(bytes[at]) < 0x80)
        ++at;
    return at;
}

std::string_view copyToScratch(std::string_view text, Scratch& scratch, char*& copy)
{
    copy = scratch.reserve(text.size());
    std::memcpy(copy, text.data(), text.size());
    return {copy, text.size()};
}

// The length of UTF-8 text in UTF-16 code units, as Windows counts characters.
std::size_t utf16Length(std::string_view text)
{
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80)
            units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

// Whether the physical line [begin, end) of an entry ends continued: its last
// character outside quotes and before a comment is a backslash.
bool lineContinues(std::string_view text, std::size_t begin, std::size_t end)
{
    bool continued = false;
    for (std::size_t at = begin; at < end; ++at) {
        const char c = text[at];
        if (c == '"') {
            at = findByte(text.substr(0, end), '"', at + 1);
            while (at + 1 < end && text[at + 1] == '"')
                at = findByte(text.substr(0, end), '"', at + 2);
            continued = false;
        } else if (c == ';') {
            return continued;
        } else if (!isBlank(c)) {
            continued = c == '\\';
        }
    }
    return continued;
}

// The name of the section whose [ is at `at`, into `section`; false when its
// line has no closing bracket or the name is too long.
bool readSectionName(std::string_view text, std::size_t at, std::size_t lineEnd, Section& section)
{
    const std::size_t close = findByte(text.substr(0, lineEnd), ']', at + 1);
    if (close == lineEnd)
        return false;
    section.name = text.substr(at + 1, close - at - 1);
    if (utf16Length(section.name) > maxSectionNameLength)
        return false;
    section.nameHash = text::keyedFoldedHash(section.name);
    return true;
}

}

char* Scratch::reserve(std::size_t size)
{
    if (size > capacity || !bytes) {
        bytes.reset(new char[std::max<std::size_t>(size, 1)]);
        capacity = size;
    }
    return bytes.get();
}

std::string_view decodeText(std::string_view bytes, Scratch& scratch)
{
    std::string_view text;
    char* converted = nullptr;  // where the text is when it had to be written
    const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        const std::string_view units = bytes.substr(2);
        converted = scratch.reserve(Utf16Decoder::room(units.size()));
        Utf16Decoder decoder(bytes[0] == '\xFE');
        text = std::string_view(converted, decoder.finish(decoder.decode(units, converted)) - converted);
    } else if (starts("\xEF\xBB\xBF")) {
        text = bytes.substr(3);
        if (firstNonAscii(text) != text.size() && !text::isUtf8(text))
            text = copyToScratch(text::validUtf8(text), scratch, converted);
    } else {
        text = bytes;
        if (firstNonAscii(text) != text.size())
            text = copyToScratch(windows1252ToUtf8(text), scratch, converted);
    }
    text = text.substr(0, findByte(text, controlZ, 0));
    if (findByte(text, '\0', 0) == text.size())
        return text;
    // Windows reads a zero as a blank: inside a field a space, at its ends dropped.
    if (!converted)
        text = copyToScratch(text, scratch, converted);
    std::replace(converted, converted + text.size(), '\0', ' ');
    return text;
}

void cutToLength(std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return;  // a UTF-8 character has at least as many bytes as UTF-16 units
    std::size_t units = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if ((byte & 0xC0) == 0x80)
            continue;
        units += byte >= 0xF0 ? 2 : 1;
        if (units > limit) {
            text.resize(at);
            return;
        }
    }
}

bool findSections(std::string_view text, std::vector<Section>& sections)
{
    sections.clear();
    // The last line that started with '[' (after blanks), and whether it continued.
    std::size_t bracketLine = std::string_view::npos;
    bool bracketLineContinued = false;
    std::size_t firstSection = text.size();  // where its line starts
    for (std::size_t at = findByte(text, '[', 0); at < text.size(); at = findByte(text, '[', at + 1)) {
        std::size_t lineStart = at;
        while (lineStart > 0 && isBlank(text[lineStart - 1]))
            --lineStart;
        if (lineStart > 0 && text[lineStart - 1] != '\n')
            continue;  // inside an entry
        bool continuedInto = false;
        if (lineStart > 0) {
            std::size_t previous = lineStart - 1;
            while (previous > 0 && text[previous - 1] != '\n')
                --previous;
            continuedInto = previous == bracketLine ? bracketLineContinued : lineContinues(text, previous, lineStart - 1);
        }
        const std::size_t lineEnd = findByte(text, '\n', at);
        bracketLine = lineStart;
        bracketLineContinued = continuedInto && lineContinues(text, lineStart, lineEnd);
        if (!continuedInto) {
            Section section;
            if (!readSectionName(text, at, lineEnd, section))
                return false;
            section.begin = std::min(lineEnd + 1, text.size());
            section.end = text.size();
            if (!sections.empty())
                sections.back().end = lineStart;
            else
                firstSection = lineStart;
            sections.push_back(section);
        }
        at = lineEnd;
    }
    // Text before the first section makes no INF, unless the file has a
    // [Strings] section: then Windows passes over it (as it does a comment
    // block of /*++ ... --*/ before [Version]).
    Entry entry;
    return !EntryReader(text, 0, firstSection).next(entry) ||
           std::any_of(sections.begin(), sections.end(),
                       [](const Section& section) { return text::equalAsciiFolded(section.name, "strings"); });
}

bool EntryReader::next(Entry& entry)
{
    while (position < text.size()) {
        const char c = text[position];
        if (isBlank(c) || c == '\n') {
            ++position;
        } else if (c == ';') {
            skipComment();
        } else {
            readEntry(entry);
            return true;
        }
    }
    return false;
}

void EntryReader::skipComment()
{
    position = findByte(text, '\n', position);
}

namespace {

// Fields grow no further than this while read: enough to cut them at
// maxFieldLength characters of any size.
constexpr std::size_t fieldByteLimit = 4 * maxFieldLength;

void appendText(std::string& field, std::string_view more)
{
    if (field.size() < fieldByteLimit)
        field.append(more.substr(0, fieldByteLimit - field.size()));
}

void finishField(std::string& field, std::size_t significant)
{
    field.resize(std::min(significant, field.size()));
    cutToLength(field, maxFieldLength);
}

std::string& startField(std::vector<std::string>& fields, std::size_t index)
{
    if (index == fields.size())
        fields.emplace_back();
    fields[index].clear();
    return fields[index];
}

}

// The field of an entry being read: its text so far, where the text ends
// without the blanks it ends in, whether blanks are still passed over before
// it, and whether an '=' may still end the key.
struct EntryReader::Field {
    std::string* text;
    std::size_t significant = 0;
    bool skippingBlanks = true;
    bool keyPossible = true;

    void finish() { finishField(*text, significant); }
    // The next field is read into `next`: this one finished first, as making
    // room for the next may move it.
    void startIn(std::string& next)
    {
        text = &next;
        significant = 0;
        skippingBlanks = true;
        keyPossible = false;
    }
};

void EntryReader::readEntry(Entry& entry)
{
    entry.hasKey = false;
    entry.key.clear();
    entry.count = 0;
    Field field{&startField(entry.fields, 0)};
    while (position < text.size() && text[position] != '\n') {
        const char c = text[position];
        if (c == ',') {
            ++position;
            field.finish();
            field.startIn(startField(entry.fields, ++entry.count));
        } else if (c == '=' && field.keyPossible) {
            ++position;
            field.finish();
            entry.key.swap(*field.text);
            entry.hasKey = true;
            field.text->clear();
            field.startIn(*field.text);  // the first field, read anew after the key
        } else {
            readPiece(field);
        }
    }
    position = std::min(position + 1, text.size());  // past the line feed
    field.finish();
    ++entry.count;
}

void EntryReader::readPiece(Field& field)
{
    const char c = text[position];
    if (isBlank(c)) {
        if (!field.skippingBlanks)
            appendText(*field.text, c == '\t' ? " " : std::string_view(&c, 1));
        ++position;
    } else if (c == ';') {  // also after an odd percent sign, as Windows reads it (the documentation says otherwise)
        skipComment();
    } else if (c == '"') {
        readQuoted(*field.text);
        field.significant = field.text->size();
        field.skippingBlanks = false;
    } else if (c == '\\') {
        field.skippingBlanks = continues(*field.text, field.significant);
    } else {
        std::size_t end = position + 1;
        while (end < text.size() && !special[static_cast<unsigned char>(text[end])])
            ++end;
        appendText(*field.text, text.substr(position, end - position));
        field.significant = field.text->size();
        field.skippingBlanks = false;
        position = end;
    }
}

void EntryReader::readQuoted(std::string& field)
{
    ++position;
    while (position < text.size()) {
        std::size_t end = position;
        while (end < text.size() && text[end] != '"' && text[end] != '\n' && text[end] != '\t')
            ++end;
        appendText(field, text.substr(position, end - position));
        position = end;
        if (end == text.size() || text[end] == '\n')
            return;  // quotes end with the line
        if (text[end] == '\t') {
            appendText(field, " ");
            ++position;
        } else if (end + 1 < text.size() && text[end + 1] == '"') {
            appendText(field, "\"");
            position += 2;
        } else {
            ++position;
            return;
        }
    }
}

bool EntryReader::continues(std::string& field, std::size_t& significant)
{
    std::size_t after = position + 1;
    while (after < text.size() && (text[after] == '\\' || isBlank(text[after])))
        ++after;
    if (after == text.size() || text[after] == '\n' || text[after] == ';') {
        // Continued (after a comment too): what stood before the backslash
        // goes on with the next line's first non-blank character.
        position = after;
        if (position < text.size() && text[position] == ';')
            skipComment();
        position = std::min(position + 1, text.size());
        field.resize(std::min(significant, field.size()));
        return true;
    }
    for (; position < after; ++position) {
        appendText(field, text[position] == '\t' ? " " : text.substr(position, 1));
        if (text[position] == '\\')
            significant = field.size();
    }
    return false;
}

void StringTable::clear()
{
    arena.clear();
    entries.clear();
    slots.clear();
}

std::string_view StringTable::keyOf(const Item& item) const
{
    return std::string_view(arena).substr(item.keyOffset, item.keyLength);
}

void StringTable::add(const Entry& entry)
{
    if (!entry.hasKey)
        return;
    const std::uint64_t hash = text::keyedFoldedHash(entry.key);
    if (findHashed(hash, entry.key))
        return;
    const std::string_view value = entry.field(0);
    entries.push_back({static_cast<std::uint32_t>(arena.size()), static_cast<std::uint32_t>(entry.key.size()),
                       static_cast<std::uint32_t>(arena.size() + entry.key.size()),
                       static_cast<std::uint32_t>(value.size())});
    arena += entry.key;
    arena += value;
    slots.insert(hash, static_cast<std::uint32_t>(entries.size() - 1));
}

std::optional<std::string_view> StringTable::findHashed(std::uint64_t hash, std::string_view key) const
{
    const auto found = slots.find(hash, [&](std::uint32_t index) { return text::equalAsciiFolded(keyOf(entries[index]), key); });
    if (!found)
        return std::nullopt;
    const Item& item = entries[*found];
    return std::string_view(arena).substr(item.valueOffset, item.valueLength);
}

std::optional<std::string_view> StringTable::find(std::string_view key) const
{
    return findHashed(text::keyedFoldedHash(key), key);
}

void substitute(std::string_view field, const StringTable& strings, std::string& out)
{
    out.clear();
    std::size_t at = 0;
    while (at < field.size() && out.size() <= fieldByteLimit) {
        const std::size_t open = field.find('%', at);
        const std::size_t close = open == std::string_view::npos ? open : field.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(field.substr(at));
            break;
        }
        out.append(field.substr(at, open - at));
        const std::string_view key = field.substr(open + 1, close - open - 1);
        if (key.empty())
            out += '%';
        else if (const auto value = strings.find(key))
            out.append(*value);
        else
            out.append(field.substr(open, close - open + 1));
        at = close + 1;
    }
    cutToLength(out, maxFieldLength);
}

}
