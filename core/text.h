// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TEXT_H
#define CORVANE_TEXT_H

// Small text helpers that the readers share: hexadecimal digits, ASCII case
// folding (the registry's names), UTF-8 code points, and the pci.ids line kinds
// that more than one reader tells apart.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace text {

// The value of a hexadecimal digit of either case, or -1.
constexpr int hexDigitValue(char c)
{
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// The value of 1 to `maxDigits` hexadecimal digits of either case and
// nothing else (at most 8 digits fit).
inline std::optional<std::uint32_t> hexNumber(std::string_view digits, std::size_t maxDigits)
{
    if (digits.empty() || digits.size() > maxDigits)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// The value of 1 to `maxDigits` decimal digits and nothing else (at most 9
// digits fit).
inline std::optional<std::uint32_t> decimalNumber(std::string_view digits, std::size_t maxDigits)
{
    if (digits.empty() || digits.size() > maxDigits)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

// `value` as `digits` hexadecimal digits (its low ones), appended to `text`:
// capitals as Windows writes IDs, small letters as lspci writes them.
enum class HexCase { capitals, small };
inline void appendHex(std::string& text, std::uint32_t value, int digits, HexCase letters = HexCase::capitals)
{
    const char* const alphabet = letters == HexCase::capitals ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        text += alphabet[(value >> shift) & 0xF];
}

inline std::string hex(std::uint32_t value, int digits, HexCase letters = HexCase::capitals)
{
    std::string text;
    appendHex(text, value, digits, letters);
    return text;
}

// Whether the first `count` characters of `digits` are all hexadecimal digits
// (false when there are fewer).
inline bool hasHexDigits(std::string_view digits, std::size_t count)
{
    if (digits.size() < count)
        return false;
    for (std::size_t i = 0; i < count; ++i)
        if (hexDigitValue(digits[i]) < 0)
            return false;
    return true;
}

// ASCII letters folded to small ones; every other byte stays. This is how
// the registry compares names, whatever the text's encoding.
constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
inline std::string asciiLowered(std::string_view name)
{
    std::string lower(name);
    for (char& c : lower)
        c = asciiLower(c);
    return lower;
}
inline std::string asciiUppered(std::string_view name)
{
    std::string upper(name);
    for (char& c : upper)
        c = asciiUpper(c);
    return upper;
}

// Whether Windows takes a file's name (one part of a path, no separators)
// for a device rather than a file: CON, PRN, AUX, NUL, COM1-9, LPT1-9 (also
// with a superscript 1-3), CONIN$ or CONOUT$, in any case, with or without
// an extension, a colon or blanks after it.
inline bool isDosDeviceName(std::string_view name)
{
    name = name.substr(0, name.find_first_of(".:"));
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    const std::string upper = asciiUppered(name);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (upper == device)
            return true;
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0))
        return false;
    const std::string_view number = std::string_view(upper).substr(3);
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}
// Whether two names are the same, ASCII letters compared without case, and
// whether the first comes before the second in that comparison.
inline bool equalAsciiFolded(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}
inline bool lessAsciiFolded(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(asciiLower(a[i])), y = static_cast<unsigned char>(asciiLower(b[i]));
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}
namespace detail {
// Eight bytes with their ASCII capitals made small, all at once.
inline std::uint64_t asciiLoweredWord(std::uint64_t word)
{
    constexpr std::uint64_t ones = 0x0101010101010101ull, highBits = 0x80 * ones;
    const std::uint64_t low = word & ~highBits;
    const std::uint64_t fromA = low + (0x80 - 'A') * ones, pastZ = low + (0x80 - 'Z' - 1) * ones;
    const std::uint64_t capitals = fromA & ~pastZ & ~word & highBits;
    return word | capitals >> 2;
}
inline std::uint64_t mixed(std::uint64_t hash)
{
    hash *= 0xBF58476D1CE4E5B9ull;
    return hash ^ hash >> 31;
}
}
// A hash of a name with its ASCII letters made small, eight bytes at a
// time: names that differ only in case hash alike, and no folded copy is
// made. For finding names in memory (it depends on the byte order).
inline std::uint64_t foldedHash(std::string_view name)
{
    std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ name.size();
    std::size_t at = 0;
    for (; at + 8 <= name.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, name.data() + at, 8);
        hash = detail::mixed(hash ^ detail::asciiLoweredWord(word));
    }
    if (at < name.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, name.data() + at, name.size() - at);
        hash = detail::mixed(hash ^ detail::asciiLoweredWord(word));
    }
    return detail::mixed(hash);
}
// Whether `text` starts with `lowerPrefix` (written in small letters), ASCII
// letters compared without case.
inline bool startsWithAsciiFolded(std::string_view text, std::string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size())
        return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i)
        if (asciiLower(text[i]) != lowerPrefix[i])
            return false;
    return true;
}

// The code point of the UTF-8 sequence at `at`, and its length in `length`;
// a byte that starts no well-formed sequence (overlong forms, surrogates and
// values above U+10FFFF included) is invalid: -1, length 1.
inline std::int32_t utf8CodePoint(std::string_view text, std::size_t at, std::size_t& length)
{
    length = 1;
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return lead;
    const std::size_t size = lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5                                  ? 4
                                                                                            : 0;
    if (size == 0 || at + size > text.size())
        return -1;
    std::int32_t code = lead & (0x7F >> size);
    for (std::size_t i = 1; i < size; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return -1;
        code = code << 6 | (next & 0x3F);
    }
    const std::int32_t smallest = size == 2 ? 0x80 : size == 3 ? 0x800 : 0x10000;
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
        return -1;
    length = size;
    return code;
}

inline bool isUtf8(std::string_view text)
{
    for (std::size_t at = 0, length = 0; at < text.size(); at += length)
        if (utf8CodePoint(text, at, length) < 0)
            return false;
    return true;
}

// Writes a character's UTF-8 (1 to 4 bytes) at `to`; the byte after it.
char* putUtf8(char* to, std::uint32_t code);

inline void appendUtf8(std::string& out, std::uint32_t code)
{
    char bytes[4];
    out.append(bytes, putUtf8(bytes, code));
}

// The text with each byte that starts no well-formed UTF-8 character replaced by U+FFFD.
inline std::string validUtf8(std::string_view text)
{
    std::string valid;
    valid.reserve(text.size());
    for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
        if (utf8CodePoint(text, at, length) < 0)
            valid += "\xEF\xBF\xBD";
        else
            valid.append(text, at, length);
    }
    return valid;
}

// pci.ids: a class line, "C cc  name".
inline bool isPciIdsClassLine(std::string_view line)
{
    return line.size() >= 2 && line[0] == 'C' && line[1] == ' ';
}

}

#endif
