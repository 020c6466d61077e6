// SPDX-License-Identifier: GPL-2.0-or-later
#include "textEncoding.h"

#include "text.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

char* text::putUtf8(char* to, std::uint32_t code)
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
    const std::size_t start = out.size();
    out.resize(start + room(bytes.size()));
    char* const begin = out.data();
    out.resize(static_cast<std::size_t>(decode(bytes, begin + start) - begin));
}

// Text is mostly ASCII: runs of it are copied eight units at a time where
// the processor has SSE2, four elsewhere; the rest goes unit by unit.
char* Utf16Decoder::decode(std::string_view bytes, char* to)
{
    std::size_t i = 0;
    if (haveByte && !bytes.empty()) {
        const auto second = static_cast<unsigned char>(bytes[0]);
        to = unit(bigEndian ? (firstByte << 8 | second) : (second << 8 | firstByte), to);
        haveByte = false;
        i = 1;
    }
    // The byte that is zero in an ASCII character's unit, and the other.
    const std::size_t high = bigEndian ? 0 : 1, low = 1 - high;
    while (i + 1 < bytes.size()) {
        if (!highSurrogate) {
            const std::size_t copied = copyAscii(bytes.substr(i), to);
            to += copied;
            i += 2 * copied;
            if (i + 1 >= bytes.size())
                break;
        }
        const auto lowByte = static_cast<unsigned char>(bytes[i + low]);
        to = unit(static_cast<unsigned char>(bytes[i + high]) << 8 | lowByte, to);
        i += 2;
    }
    if (i < bytes.size()) {
        firstByte = static_cast<unsigned char>(bytes[i]);
        haveByte = true;
    }
    return to;
}

std::size_t Utf16Decoder::copyAscii(std::string_view bytes, char* to) const
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i notAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    for (; i + 8 <= units; i += 8) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
        if (bigEndian)
            block = _mm_or_si128(_mm_slli_epi16(block, 8), _mm_srli_epi16(block, 8));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(block, notAscii), _mm_setzero_si128())) != 0xFFFF)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(block, block));
    }
#endif
    const std::size_t high = bigEndian ? 0 : 1, low = 1 - high;
    for (; i < units && in[2 * i + high] == 0 && in[2 * i + low] < 0x80; ++i)
        to[i] = static_cast<char>(in[2 * i + low]);
    return i;
}

char* Utf16Decoder::unit(std::uint32_t code, char* to)
{
    if (isLowSurrogate(code) && highSurrogate) {
        to = text::putUtf8(to, 0x10000 + ((highSurrogate - 0xD800) << 10) + (code - 0xDC00));
        highSurrogate = 0;
        return to;
    }
    if (highSurrogate)
        to = text::putUtf8(to, 0xFFFD);
    highSurrogate = 0;
    if (isHighSurrogate(code))
        highSurrogate = code;
    else
        to = text::putUtf8(to, isLowSurrogate(code) ? 0xFFFD : code);
    return to;
}

void Utf16Decoder::finish(std::string& out)
{
    char bytes[3];
    out.append(bytes, finish(bytes));
}

char* Utf16Decoder::finish(char* to)
{
    if (highSurrogate)
        to = text::putUtf8(to, 0xFFFD);
    highSurrogate = 0;
    return to;
}

std::string utf16leToUtf8(std::string_view bytes)
{
    std::string out;
    Utf16Decoder decoder(false);
    decoder.decode(bytes, out);
    decoder.finish(out);
    return out;
}
