// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_REGISTRY_TREE_H
#define CORVANE_REGISTRY_TREE_H

#include "registry.h"
#include "text.h"

#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// A registry held in memory: a tree of keys below localMachine, each with
// named values of any type and bytes. Sub-keys enumerate in the order they were added,
// values keep the order they were first set in; names compare without regard
// to ASCII letter case, as in the registry. Keys and values of a key that has
// many are found through their folded names, so a key of many values fills
// in linear time, and a tree of any depth is destroyed without recursion and
// without allocating (what ends it may be that memory ran out).
class KeyTreeRegistry : public Registry {
public:
    // Things of a key by a hash of their folded names: null until a key has
    // many, so that the many keys that have a few hold a pointer, not a table.
    template <typename Target>
    class FoldedIndex {
    public:
        bool empty() const { return !entries; }
        void add(std::string_view name, Target target);
        // The one `nameOf` names `name`, or none.
        template <typename NameOf>
        std::optional<Target> find(std::string_view name, NameOf nameOf) const;
        void remove(std::string_view name, Target target);
        void clear() { entries.reset(); }

    private:
        std::unique_ptr<std::unordered_multimap<std::uint64_t, Target>> entries;
    };

    struct Node {
        struct Value {
            std::string name;
            std::uint32_t type;
            std::string data;
        };
        using Values = std::list<Value>;

        Node() = default;
        ~Node();
        Node(const Node&) = delete;
        Node& operator=(const Node&) = delete;

        std::string name;
        std::vector<std::unique_ptr<Node>> subKeys;
        // Keys and values by a hash of their folded names, kept once a key
        // has more than `indexedFrom` of them: a few are found faster by
        // looking at each.
        static constexpr std::size_t indexedFrom = 16;
        FoldedIndex<Node*> subKeyByFoldedName;
        Values values;
        FoldedIndex<Values::iterator> valueByFoldedName;

        Node* subKey(std::string_view keyName) const;
        Node& addSubKey(const std::string& keyName);  // the existing one if there is one
        void removeSubKey(std::string_view keyName);
        // A value, or null.
        const Value* value(std::string_view valueName) const;
        void setValue(const std::string& valueName, std::string data, std::uint32_t type = registryType::binary);
        void removeValue(const std::string& valueName);
        // Takes every sub-key and value out; no key below may be open.
        void clear();
        // A REG_SZ as the registry keeps it: the text and its terminating zero.
        void setString(const std::string& valueName, const std::string& text);
        // A REG_DWORD: four bytes, the lowest first.
        void setDword(const std::string& valueName, std::uint32_t number);

    private:
        Values::iterator findValue(std::string_view valueName);

        // While a tree is destroyed: the next key of those still to go.
        std::unique_ptr<Node> nextToDestroy;
    };

    // The key at a backslash-separated path below localMachine, made with
    // every key on the way when missing.
    Node& addKey(const std::string& path);
    // Takes the key at a path below localMachine out, with all below it;
    // no key of it may be open.
    void removeKey(const std::string& path);

    long openKey(Key parent, const char* subKey, Key* result) override;
    long enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize) override;
    long queryValue(Key key, const char* valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* dataSize) override;
    long closeKey(Key key) override;

    std::size_t openHandleCount() const { return openKeys.size(); }

protected:
    // The key behind an open handle (or localMachine), or null.
    Node* nodeOf(Key key);

private:
    Node localMachineNode;
    std::map<Key, Node*> openKeys;
    Key nextHandle = 0x1000;
};

template <typename Target>
void KeyTreeRegistry::FoldedIndex<Target>::add(std::string_view name, Target target)
{
    if (!entries)
        entries = std::make_unique<std::unordered_multimap<std::uint64_t, Target>>();
    entries->emplace(text::foldedHash(name), target);
}

template <typename Target>
template <typename NameOf>
std::optional<Target> KeyTreeRegistry::FoldedIndex<Target>::find(std::string_view name, NameOf nameOf) const
{
    if (!entries)
        return std::nullopt;
    const auto [first, last] = entries->equal_range(text::foldedHash(name));
    for (auto entry = first; entry != last; ++entry)
        if (text::equalAsciiFolded(nameOf(entry->second), name))
            return entry->second;
    return std::nullopt;
}

template <typename Target>
void KeyTreeRegistry::FoldedIndex<Target>::remove(std::string_view name, Target target)
{
    if (!entries)
        return;
    const auto [first, last] = entries->equal_range(text::foldedHash(name));
    for (auto entry = first; entry != last; ++entry)
        if (entry->second == target) {
            entries->erase(entry);
            return;
        }
}

// The key names of a backslash-separated path; empty ones (doubled or outer
// backslashes) drop out.
std::vector<std::string_view> splitRegistryPath(std::string_view path);

#endif
