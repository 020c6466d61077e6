// SPDX-License-Identifier: GPL-2.0-or-later
#include "textEncoding.h"

#include "text.h"

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

void Utf16Decoder::decode(std::string_view bytes, std::string& out)
{
    for (const char c : bytes) {
        if (!haveByte) {
            firstByte = static_cast<unsigned char>(c);
            haveByte = true;
            continue;
        }
        haveByte = false;
        const auto second = static_cast<unsigned char>(c);
        unit(bigEndian ? (firstByte << 8 | second) : (second << 8 | firstByte), out);
    }
}

void Utf16Decoder::unit(std::uint32_t code, std::string& out)
{
    if (isLowSurrogate(code) && highSurrogate) {
        text::appendUtf8(out, 0x10000 + ((highSurrogate - 0xD800) << 10) + (code - 0xDC00));
        highSurrogate = 0;
        return;
    }
    finish(out);
    if (isHighSurrogate(code))
        highSurrogate = code;
    else
        text::appendUtf8(out, isLowSurrogate(code) ? 0xFFFD : code);
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
