// SPDX-License-Identifier: GPL-2.0-or-later
#include "registry_tree.h"

#include "text.h"

#include <algorithm>
#include <cstring>

std::vector<std::string_view> splitRegistryPath(std::string_view path)
{
    std::vector<std::string_view> names;
    names.reserve(static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\')) + 1);
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// Sub-keys are taken out onto a chain through the keys themselves: the
// destructor of each then finds no sub-key, however deep the tree, and the
// chain needs no memory of its own.
KeyTreeRegistry::Node::~Node()
{
    std::unique_ptr<Node> pending;
    const auto takeSubKeys = [&pending](Node& node) {
        for (auto& child : node.subKeys) {
            child->nextToDestroy = std::move(pending);
            pending = std::move(child);
        }
        node.subKeys.clear();
    };
    takeSubKeys(*this);
    while (pending) {
        std::unique_ptr<Node> node = std::move(pending);
        pending = std::move(node->nextToDestroy);
        takeSubKeys(*node);
    }
}

KeyTreeRegistry::Node* KeyTreeRegistry::Node::subKey(std::string_view keyName) const
{
    if (subKeyByFoldedName.empty()) {
        for (const auto& key : subKeys)
            if (text::equalAsciiFolded(key->name, keyName))
                return key.get();
        return nullptr;
    }
    return subKeyByFoldedName.find(keyName, [](const Node* node) -> const std::string& { return node->name; })
        .value_or(nullptr);
}

KeyTreeRegistry::Node& KeyTreeRegistry::Node::addSubKey(const std::string& keyName)
{
    if (Node* existing = subKey(keyName))
        return *existing;
    subKeys.push_back(std::make_unique<Node>());
    subKeys.back()->name = keyName;
    if (!subKeyByFoldedName.empty())
        subKeyByFoldedName.add(keyName, subKeys.back().get());
    else if (subKeys.size() > indexedFrom)
        for (const auto& key : subKeys)
            subKeyByFoldedName.add(key->name, key.get());
    return *subKeys.back();
}

void KeyTreeRegistry::Node::removeSubKey(std::string_view keyName)
{
    Node* key = subKey(keyName);
    if (!key)
        return;
    subKeyByFoldedName.remove(keyName, key);
    subKeys.erase(std::find_if(subKeys.begin(), subKeys.end(),
                               [key](const std::unique_ptr<Node>& node) { return node.get() == key; }));
}

KeyTreeRegistry::Node::Values::iterator KeyTreeRegistry::Node::findValue(std::string_view valueName)
{
    if (valueByFoldedName.empty())
        return std::find_if(values.begin(), values.end(),
                            [valueName](const Value& value) { return text::equalAsciiFolded(value.name, valueName); });
    return valueByFoldedName.find(valueName, [](Values::iterator value) -> const std::string& { return value->name; })
        .value_or(values.end());
}

const KeyTreeRegistry::Node::Value* KeyTreeRegistry::Node::value(std::string_view valueName) const
{
    const auto found = const_cast<Node*>(this)->findValue(valueName);
    return found == values.end() ? nullptr : &*found;
}

void KeyTreeRegistry::Node::setValue(const std::string& valueName, std::string data, std::uint32_t type)
{
    auto found = findValue(valueName);
    if (found == values.end()) {
        found = values.insert(values.end(), Value{valueName, type, std::string()});
        if (!valueByFoldedName.empty())
            valueByFoldedName.add(valueName, found);
        else if (values.size() > indexedFrom)
            for (auto value = values.begin(); value != values.end(); ++value)
                valueByFoldedName.add(value->name, value);
    }
    found->type = type;
    found->data = std::move(data);
}

void KeyTreeRegistry::Node::removeValue(const std::string& valueName)
{
    const auto found = findValue(valueName);
    if (found == values.end())
        return;
    valueByFoldedName.remove(valueName, found);
    values.erase(found);
}

void KeyTreeRegistry::Node::clear()
{
    subKeyByFoldedName.clear();
    subKeys.clear();  // each goes without recursion, as in the destructor
    valueByFoldedName.clear();
    values.clear();
}

void KeyTreeRegistry::Node::setString(const std::string& valueName, const std::string& text)
{
    setValue(valueName, text + '\0', registryType::string);
}

void KeyTreeRegistry::Node::setDword(const std::string& valueName, std::uint32_t number)
{
    setValue(valueName,
             std::string{static_cast<char>(number), static_cast<char>(number >> 8), static_cast<char>(number >> 16),
                         static_cast<char>(number >> 24)},
             registryType::dword);
}

KeyTreeRegistry::Node& KeyTreeRegistry::addKey(const std::string& path)
{
    Node* node = &localMachineNode;
    for (const std::string_view name : splitRegistryPath(path))
        node = &node->addSubKey(std::string(name));
    return *node;
}

void KeyTreeRegistry::removeKey(const std::string& path)
{
    const std::vector<std::string_view> names = splitRegistryPath(path);
    if (names.empty())
        return;
    Node* parent = &localMachineNode;
    for (std::size_t i = 0; parent && i + 1 < names.size(); ++i)
        parent = parent->subKey(names[i]);
    if (parent)
        parent->removeSubKey(names.back());
}

KeyTreeRegistry::Node* KeyTreeRegistry::nodeOf(Key key)
{
    if (key == localMachine)
        return &localMachineNode;
    auto open = openKeys.find(key);
    return open == openKeys.end() ? nullptr : open->second;
}

long KeyTreeRegistry::openKey(Key parent, const char* subKey, Key* result)
{
    if (!result)
        return registryError::invalidParameter;
    Node* node = nodeOf(parent);
    if (!node)
        return registryError::invalidHandle;
    const std::string_view path = subKey ? subKey : "";
    const auto down = [&node](std::string_view name) { return (node = node->subKey(name)) != nullptr; };
    if (path.find('\\') == std::string_view::npos) {  // one name, as the scan opens keys: no list of names
        if (!path.empty() && !down(path))
            return registryError::fileNotFound;
    } else {
        for (const std::string_view name : splitRegistryPath(path))
            if (!down(name))
                return registryError::fileNotFound;
    }
    *result = nextHandle;
    openKeys[nextHandle] = node;
    nextHandle += 4;  // like real handles: never 0, never reused
    return registryError::success;
}

long KeyTreeRegistry::enumKey(Key key, std::uint32_t index, char* name, std::uint32_t nameSize)
{
    Node* node = nodeOf(key);
    if (!node)
        return registryError::invalidHandle;
    if (index >= node->subKeys.size())
        return registryError::noMoreItems;
    const std::string& keyName = node->subKeys[index]->name;
    if (!name || keyName.size() + 1 > nameSize)
        return registryError::moreData;
    std::memcpy(name, keyName.c_str(), keyName.size() + 1);
    return registryError::success;
}

long KeyTreeRegistry::queryValue(Key key, const char* valueName, std::uint32_t* type,
                                 unsigned char* data, std::uint32_t* dataSize)
{
    Node* node = nodeOf(key);
    if (!node)
        return registryError::invalidHandle;
    const Node::Value* found = node->value(valueName ? valueName : "");
    if (!found)
        return registryError::fileNotFound;
    if (type)
        *type = found->type;
    const std::string& bytes = found->data;
    if (!dataSize)
        return data ? registryError::invalidParameter : registryError::success;
    const std::uint32_t available = *dataSize;
    *dataSize = static_cast<std::uint32_t>(bytes.size());
    if (!data)
        return registryError::success;
    if (bytes.size() > available)
        return registryError::moreData;
    std::memcpy(data, bytes.data(), bytes.size());
    return registryError::success;
}

long KeyTreeRegistry::closeKey(Key key)
{
    if (key == localMachine)
        return registryError::success;
    return openKeys.erase(key) ? registryError::success : registryError::invalidHandle;
}
