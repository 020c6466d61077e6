// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_KEYEDHASH_H
#define CORVANE_KEYEDHASH_H

// Hashes for the tables that text from a file fills (an INF's strings,
// sections and IDs): SipHash-1-3 under a key drawn at random once per
// process, so that no file can be written whose names all land on one
// slot, as they can for a hash without a secret. The values differ from
// run to run; nothing may be ordered by them where the order shows.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace text {

// Of the bytes as they are.
std::uint64_t keyedHash(std::string_view bytes);
// Of the text with its ASCII letters made small: names that differ only in
// case hash alike, as text::equalAsciiFolded compares them.
std::uint64_t keyedFoldedHash(std::string_view name);

// For the standard library's unordered containers of strings.
struct KeyedHasher {
    std::size_t operator()(std::string_view bytes) const { return static_cast<std::size_t>(keyedHash(bytes)); }
};

// Open addressing for items the caller keeps (numbered from 0), found by
// their keyed hash and an equality test the caller gives.
class HashSlots {
public:
    void clear();
    std::size_t size() const { return used; }

    // The item among those of `hash` that `equal(item)` accepts.
    template <typename Equal>
    std::optional<std::uint32_t> find(std::uint64_t hash, Equal equal) const
    {
        if (slots.empty())
            return std::nullopt;
        const std::size_t mask = slots.size() - 1;
        for (std::size_t slot = hash & mask; slots[slot].item != 0; slot = (slot + 1) & mask)
            if (slots[slot].hash == hash && equal(slots[slot].item - 1))
                return slots[slot].item - 1;
        return std::nullopt;
    }
    // Adds `item`, which must not be there yet.
    void insert(std::uint64_t hash, std::uint32_t item);

private:
    struct Slot {
        std::uint64_t hash;
        std::uint32_t item;  // the item + 1; 0 for an empty slot
    };
    void grow();

    std::vector<Slot> slots;
    std::size_t used = 0;
};

}

#endif
