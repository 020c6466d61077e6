// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_BYTESEARCH_H
#define CORVANE_BYTESEARCH_H

#include <algorithm>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif
// glibc's processor features; not with clang, which refuses the C type
// (_Bool) the header's functions are declared with in C++ (glibc 2.36).
#if defined(__GLIBC__) && defined(__x86_64__) && !defined(__clang__) && __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#endif

// Searches through the lists the lookups read: megabytes of text for a few
// short identifiers. Where the processor has SSE2 they test 16 positions at
// a time; the C library's searches slow down on text full of the bytes they
// look for first.

#if defined(__GNUC__) && defined(__x86_64__)
// Whether the processor has AVX2 and the system keeps its registers. The C
// library asked the processor as the program started: the compiler's own
// test asks again, in a constructor that runs before main in every program
// that links it, and a question to the processor is an exit to the
// hypervisor on a virtual machine (microseconds each).
inline bool haveAvx2()
{
#if defined(CPU_FEATURE_ACTIVE)
    return CPU_FEATURE_ACTIVE(AVX2);
#else
    return __builtin_cpu_supports("avx2");
#endif
}

// For processors with AVX2: the first 32 positions from `at` on, in steps of
// 32, where `pair` stands; their bits, or 0 when fewer than 32 + `reach`
// bytes are left. `at` is left at the positions returned, or where the rest
// begins. Kept apart from the comparisons of candidates so that it runs in
// registers.
__attribute__((target("avx2"), noinline)) inline unsigned pairPositions(const char* data, std::size_t size,
                                                                      const char pair[2], std::size_t reach,
                                                                      std::size_t& at)
{
    const __m256i first = _mm256_set1_epi8(pair[0]);
    const __m256i second = _mm256_set1_epi8(pair[1]);
    std::size_t position = at;
    for (; position + reach + 32 <= size; position += 32) {
        const char* block = data + position;
        const unsigned found = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block)), first),
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 1)), second))));
        if (found != 0) {
            at = position;
            return found;
        }
    }
    at = position;
    return 0;
}

// For processors with AVX2: the first position from `at` on where a line
// feed is followed by anything but a tab, or npos when there is none before
// `limit`; `at` is left where the rest begins.
__attribute__((target("avx2"), noinline)) inline std::size_t unindentedStart(const char* data, std::size_t size,
                                                                           std::size_t limit, std::size_t& at)
{
    const __m256i lineFeed = _mm256_set1_epi8('\n');
    const __m256i tab = _mm256_set1_epi8('\t');
    std::size_t position = at;
    for (; position + 33 <= size && position + 1 < limit; position += 32) {
        const char* block = data + position;
        const unsigned ends = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block)), lineFeed)));
        const unsigned tabs = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 1)), tab)));
        if (const unsigned starts = ends & ~tabs)
            return position + static_cast<unsigned>(__builtin_ctz(starts));
    }
    at = position;
    return std::string_view::npos;
}

// The search below, 32 positions at a time. It stops short of the end:
// `from` is left where the rest begins.
inline std::size_t findBytesWide(std::string_view text, std::string_view needle, std::size_t& from)
{
    const std::size_t length = needle.size();
    const char pair[2] = {needle[length - 2], needle[length - 1]};
    // Positions of the pair, length - 2 on from each needle position.
    std::size_t at = from + length - 2;
    while (const unsigned found = pairPositions(text.data(), text.size(), pair, 1, at)) {
        for (unsigned candidates = found; candidates != 0; candidates &= candidates - 1) {
            const std::size_t start = at + static_cast<unsigned>(__builtin_ctz(candidates)) - (length - 2);
            if (std::memcmp(text.data() + start, needle.data(), length - 2) == 0)
                return start;
        }
        at += 32;
    }
    from = at - (length - 2);
    return std::string_view::npos;
}
#endif

// The position of the first `needle` in `text` at or after `from`, or npos.
// The needle's last two bytes are looked for first: identifiers end in their
// rarest digits.
inline std::size_t findBytes(std::string_view text, std::string_view needle, std::size_t from)
{
    if (from > text.size())
        return std::string_view::npos;
    [[maybe_unused]] const std::size_t length = needle.size();  // unused without SSE2
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool wide = haveAvx2();
    if (wide && length >= 2) {
        const std::size_t found = findBytesWide(text, needle, from);
        if (found != std::string_view::npos)
            return found;
    }
#endif
#ifdef __SSE2__
    if (length >= 2) {
        const __m128i beforeLast = _mm_set1_epi8(needle[length - 2]);
        const __m128i last = _mm_set1_epi8(needle[length - 1]);
        for (; from + length + 15 <= text.size(); from += 16) {
            const char* block = text.data() + from;
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + length - 2));
            const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + length - 1));
            unsigned candidates = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(first, beforeLast), _mm_cmpeq_epi8(second, last))));
            for (; candidates != 0; candidates &= candidates - 1) {
                const unsigned offset = static_cast<unsigned>(__builtin_ctz(candidates));
                if (std::memcmp(block + offset, needle.data(), length - 2) == 0)
                    return from + offset;
            }
        }
    }
#endif
    return text.find(needle, from);
}

// The line starting at `start`, without its line end ("\n" or "\r\n").
inline std::string_view lineAt(std::string_view text, std::size_t start)
{
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
        end = text.size();
    else if (end > start && text[end - 1] == '\r')
        --end;
    return text.substr(start, end - start);
}

// The start of the line after the one starting at `start`; the text's size after the last.
inline std::size_t nextLine(std::string_view text, std::size_t start)
{
    const std::size_t end = text.find('\n', start);
    return end == std::string_view::npos ? text.size() : end + 1;
}

#ifdef __SSE2__
// Of the 16 bytes at `block`, a bit for each line feed that is not followed
// by a tab (the 17th byte is read too).
inline unsigned unindentedLineStarts(const char* block)
{
    const __m128i ends =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block)), _mm_set1_epi8('\n'));
    const __m128i tabs =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 1)), _mm_set1_epi8('\t'));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(tabs, ends)));
}
#endif

// The start of the first line at or after `from`, before `limit`, that does
// not begin with a tab; `limit` when there is none.
inline std::size_t nextUnindentedLine(std::string_view text, std::size_t from, std::size_t limit)
{
    limit = std::min(limit, text.size());
    if (from == 0) {
        if (limit > 0 && text[0] != '\t')
            return 0;
        from = 1;
    }
    std::size_t at = from - 1;  // a line feed here or later starts a line at or after `from`
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool wide = haveAvx2();
    if (wide) {
        const std::size_t found = unindentedStart(text.data(), text.size(), limit, at);
        if (found != std::string_view::npos)
            return std::min(limit, found + 1);
    }
#endif
#ifdef __SSE2__
    for (; at + 17 <= text.size() && at + 1 < limit; at += 16) {
        if (const unsigned starts = unindentedLineStarts(text.data() + at))
            return std::min(limit, at + static_cast<unsigned>(__builtin_ctz(starts)) + 1);
    }
#endif
    for (; at + 1 < limit; ++at)
        if (text[at] == '\n' && text[at + 1] != '\t')
            return at + 1;
    return limit;
}

// The start of the last line that starts at or after `limit` and before
// `before` and does not begin with a tab; npos when there is none.
inline std::size_t previousUnindentedLine(std::string_view text, std::size_t before, std::size_t limit)
{
    before = std::min(before, text.size());
    // A line feed at a position in [first, end) starts a line in [limit, before).
    const std::size_t first = limit > 0 ? limit - 1 : 0;
    std::size_t end = before > 0 ? before - 1 : 0;
#ifdef __SSE2__
    while (end >= first + 16) {
        if (const unsigned starts = unindentedLineStarts(text.data() + end - 16))
            return end - 16 + static_cast<unsigned>(31 - __builtin_clz(starts)) + 1;
        end -= 16;
    }
#endif
    while (end > first) {
        --end;
        if (text[end] == '\n' && text[end + 1] != '\t')
            return end + 1;
    }
    return limit == 0 && before > 0 && text[0] != '\t' ? 0 : std::string_view::npos;
}

#endif
