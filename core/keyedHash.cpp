// SPDX-License-Identifier: GPL-2.0-or-later
#include "keyedHash.h"

#include "text.h"

#include <chrono>
#include <algorithm>
#include <cstring>
#include <random>
#include <utility>

namespace {

struct SipKey {
    std::uint64_t first, second;
};

SipKey drawKey()
{
    try {
        std::random_device device;
        const auto draw = [&] { return std::uint64_t(device()) << 32 | device(); };
        return {draw(), draw()};
    } catch (const std::exception&) {
        // No source of entropy: the clock and where the stack is still differ from run to run.
        const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        int local = 0;
        return {now * 0x9E3779B97F4A7C15ull, reinterpret_cast<std::uintptr_t>(&local) ^ now};
    }
}

const SipKey& secret()
{
    static const SipKey key = drawKey();
    return key;
}

constexpr std::uint64_t rotated(std::uint64_t value, int bits)
{
    return value << bits | value >> (64 - bits);
}

// SipHash-1-3 (as in Rust's and Python's hash tables): one round a word, three at the end.
class SipHash {
public:
    explicit SipHash(const SipKey& key)
        : v0(key.first ^ 0x736F6D6570736575ull), v1(key.second ^ 0x646F72616E646F6Dull),
          v2(key.first ^ 0x6C7967656E657261ull), v3(key.second ^ 0x7465646279746573ull)
    {
    }
    void add(std::uint64_t word)
    {
        v3 ^= word;
        round();
        v0 ^= word;
    }
    std::uint64_t finish()
    {
        v2 ^= 0xFF;
        round();
        round();
        round();
        return v0 ^ v1 ^ v2 ^ v3;
    }

private:
    void round()
    {
        v0 += v1;
        v1 = rotated(v1, 13) ^ v0;
        v0 = rotated(v0, 32);
        v2 += v3;
        v3 = rotated(v3, 16) ^ v2;
        v0 += v3;
        v3 = rotated(v3, 21) ^ v0;
        v2 += v1;
        v1 = rotated(v1, 17) ^ v2;
        v2 = rotated(v2, 32);
    }

    std::uint64_t v0, v1, v2, v3;
};

// Eight bytes at a time in the machine's order (the values never leave the
// process), the last word with the length in its top byte.
template <bool folded>
std::uint64_t hashOf(std::string_view bytes)
{
    const auto fold = [](std::uint64_t word) { return folded ? text::detail::asciiLoweredWord(word) : word; };
    SipHash hash(secret());
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + at, 8);
        hash.add(fold(word));
    }
    std::uint64_t last = 0;
    if (at < bytes.size())  // an empty view may have no data at all
        std::memcpy(&last, bytes.data() + at, bytes.size() - at);
    hash.add(fold(last) | std::uint64_t(bytes.size() & 0xFF) << 56);
    return hash.finish();
}

}

namespace text {

std::uint64_t keyedHash(std::string_view bytes)
{
    return hashOf<false>(bytes);
}

std::uint64_t keyedFoldedHash(std::string_view name)
{
    return hashOf<true>(name);
}

void HashSlots::clear()
{
    // A table grown by one large file is given back rather than cleared slot by slot for each small one after it.
    if (slots.size() > 64 && used * 8 < slots.size())
        slots = {};
    else
        std::fill(slots.begin(), slots.end(), Slot{0, 0});
    used = 0;
}

void HashSlots::grow()
{
    const std::size_t size = std::max<std::size_t>(64, slots.size() * 2);
    const std::vector<Slot> old = std::exchange(slots, std::vector<Slot>(size, Slot{0, 0}));
    const std::size_t mask = slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.item == 0)
            continue;
        std::size_t at = slot.hash & mask;
        while (slots[at].item != 0)
            at = (at + 1) & mask;
        slots[at] = slot;
    }
}

void HashSlots::insert(std::uint64_t hash, std::uint32_t item)
{
    if ((used + 1) * 2 > slots.size())
        grow();
    const std::size_t mask = slots.size() - 1;
    std::size_t at = hash & mask;
    while (slots[at].item != 0)
        at = (at + 1) & mask;
    slots[at] = {hash, item + 1};
    ++used;
}

}
