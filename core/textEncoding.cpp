// SPDX-License-Identifier: GPL-2.0-or-later
#include "textEncoding.h"

#include "text.h"

#include <cstring>

namespace {

// Windows-1252's characters 0x80 to 0x9F.
constexpr char16_t windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isHighSurrogate(std::uint32_t code)
{
    return code >= 0xD800 && code < 0xDC00;
}

bool isLowSurrogate(std::uint32_t code)
{
    return code >= 0xDC00 && code < 0xE000;
}

}

void text::appendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text::appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? windows1252High[byte - 0x80] : byte);
    }
    return out;
}

namespace {

// Writes a character's UTF-8 at `to`; the byte after it.
char* putUtf8(char* to, std::uint32_t code)
{
    if (code < 0x80) {
        *to++ = static_cast<char>(code);
    } else if (code < 0x800) {
        *to++ = static_cast<char>(0xC0 | (code >> 6));
        *to++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *to++ = static_cast<char>(0xE0 | (code >> 12));
        *to++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *to++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *to++ = static_cast<char>(0xF0 | (code >> 18));
        *to++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *to++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *to++ = static_cast<char>(0x80 | (code & 0x3F));
    }
    return to;
}

}

// Exports are mostly ASCII: the text is written straight into room made for
// the most it can take, three bytes a code unit (a pair of surrogates makes
// four of two), and three for a surrogate left waiting by the last piece.
void Utf16Decoder::decode(std::string_view bytes, std::string& out)
{
    const std::size_t start = out.size();
    out.resize(start + 3 * ((bytes.size() + 1) / 2) + 3);
    char* const begin = out.data();
    char* to = begin + start;
    std::size_t i = 0;
    if (haveByte && !bytes.empty()) {
        const auto second = static_cast<unsigned char>(bytes[0]);
        to = unit(bigEndian ? (firstByte << 8 | second) : (second << 8 | firstByte), to);
        haveByte = false;
        i = 1;
    }
    // The byte that is zero in an ASCII character's unit, and the other;
    // the bits of four units that are zero when all four are ASCII, laid
    // out as the bytes are, whatever the machine's byte order.
    const std::size_t high = bigEndian ? 0 : 1, low = 1 - high;
    static constexpr unsigned char notAsciiBits[2][8] = {{0x80, 0xFF, 0x80, 0xFF, 0x80, 0xFF, 0x80, 0xFF},
                                                         {0xFF, 0x80, 0xFF, 0x80, 0xFF, 0x80, 0xFF, 0x80}};
    std::uint64_t notAscii = 0;
    std::memcpy(&notAscii, notAsciiBits[bigEndian ? 1 : 0], sizeof notAscii);
    while (i + 1 < bytes.size()) {
        if (!highSurrogate && i + 8 <= bytes.size()) {
            std::uint64_t four = 0;
            std::memcpy(&four, bytes.data() + i, sizeof four);
            if ((four & notAscii) == 0) {
                for (std::size_t unitStart = i; unitStart < i + 8; unitStart += 2)
                    *to++ = bytes[unitStart + low];
                i += 8;
                continue;
            }
        }
        const auto lowByte = static_cast<unsigned char>(bytes[i + low]);
        if (bytes[i + high] == 0 && lowByte < 0x80 && !highSurrogate)
            *to++ = static_cast<char>(lowByte);
        else
            to = unit(static_cast<unsigned char>(bytes[i + high]) << 8 | lowByte, to);
        i += 2;
    }
    if (i < bytes.size()) {
        firstByte = static_cast<unsigned char>(bytes[i]);
        haveByte = true;
    }
    out.resize(static_cast<std::size_t>(to - begin));
}

char* Utf16Decoder::unit(std::uint32_t code, char* to)
{
    if (isLowSurrogate(code) && highSurrogate) {
        to = putUtf8(to, 0x10000 + ((highSurrogate - 0xD800) << 10) + (code - 0xDC00));
        highSurrogate = 0;
        return to;
    }
    if (highSurrogate)
        to = putUtf8(to, 0xFFFD);
    highSurrogate = 0;
    if (isHighSurrogate(code))
        highSurrogate = code;
    else
        to = putUtf8(to, isLowSurrogate(code) ? 0xFFFD : code);
    return to;
}

void Utf16Decoder::finish(std::string& out)
{
    if (highSurrogate)
        text::appendUtf8(out, 0xFFFD);
    highSurrogate = 0;
}

std::string utf16leToUtf8(std::string_view bytes)
{
    std::string out;
    Utf16Decoder decoder(false);
    decoder.decode(bytes, out);
    decoder.finish(out);
    return out;
}
