// SPDX-License-Identifier: GPL-2.0-or-later
// Linux: registry hives read with libhivex (core/registryHive.h).
//
// libhivex is handed only what has been checked: it maps the file it is
// given whole and goes by what that file's header says, so it gets a private
// copy of exactly the hive the base block announces (checked first), made
// from the file the file layer opened. Whatever happens to the user's file
// meanwhile (it grows, shrinks or is replaced by a FIFO) cannot reach it,
// and the user's file is only ever read. From the copy, only the PCI branch
// of the chosen control set is taken into memory, and the hive is closed.
#include "registryHive.h"

#include "registry_tree.h"
#include "textEncoding.h"

#include <hivex.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

struct HiveCloser {
    void operator()(hive_h* hive) const { hivex_close(hive); }
};
using HivePointer = std::unique_ptr<hive_h, HiveCloser>;

struct Freer {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T>
using Malloced = std::unique_ptr<T, Freer>;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&&) = delete;
    int get() const { return fd; }

private:
    int fd;
};

// A value's type as the hive records it (any number, not only those
// hive_type names: never read as that enumeration) and its size.
bool valueType(hive_h* hive, hive_value_h value, std::uint32_t& type, std::size_t& size)
{
    static_assert(sizeof(hive_type) == sizeof type, "libhivex stores the type's 32 bits");
    hive_type stored{};
    if (hivex_value_type(hive, value, &stored, &size) != 0)
        return false;
    std::memcpy(&type, &stored, sizeof type);
    return true;
}

// What stops a reading: the hive's fault, said in `problem`.
struct Damaged {
    std::string problem;
};

std::string systemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The first `size` bytes of the file (`head` of them read already) in a
// file of memory of their own; throws Damaged when the file has fewer now.
Descriptor copyOfHive(const platform::OpenedFile& file, std::string_view head, std::uint64_t size)
{
    Descriptor copy(memfd_create("corvane-hive", MFD_CLOEXEC));
    if (copy.get() < 0)
        throw Damaged{systemError("no copy of it could be made")};
    head = head.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), size)));
    if (!writeAll(copy.get(), head))
        throw Damaged{systemError("no copy of it could be made")};
    std::uint64_t left = size - head.size();
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(left, 1 << 20)));
    while (left > 0) {
        const std::size_t count =
            std::fread(buffer.data(), 1, static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())),
                       file.file.get());
        if (count == 0)
            throw Damaged{std::ferror(file.file.get()) ? systemError("it could not be read")
                                                       : std::string("it was cut short while it was read")};
        if (!writeAll(copy.get(), std::string_view(buffer.data(), count)))
            throw Damaged{systemError("no copy of it could be made")};
        left -= count;
    }
    return copy;
}

// Copies the keys below one key of the hive into the tree, `depth` levels
// deep, with their values. A sound hive holds each key, value and value's
// data once; what is met twice, or more data than the hive's size, is
// damage (it would make the copy grow without end).
class BranchCopier {
public:
    BranchCopier(hive_h* hive, std::uint64_t hiveSize) : hive(hive), budget(hiveSize) {}

    void copy(hive_node_h from, KeyTreeRegistry::Node& to, int depth)
    {
        copyValues(from, to);
        if (depth == 0)
            return;
        const Malloced<hive_node_h> children(hivex_node_children(hive, from));
        if (!children)
            throw Damaged{systemError("a key's sub-keys cannot be read")};
        for (const hive_node_h* child = children.get(); *child; ++child) {
            if (!seenKeys.insert(*child).second)
                throw Damaged{"a key is listed twice"};
            const Malloced<char> name(hivex_node_name(hive, *child));
            if (!name)
                throw Damaged{systemError("a key's name cannot be read")};
            // Names the registry cannot hold are no device's: left out.
            const std::string_view text(name.get());
            if (text.empty() || text.size() > 255 || text.find('\\') != std::string_view::npos)
                continue;
            charge(text.size());
            copy(*child, to.addSubKey(std::string(text)), depth - 1);
        }
    }

private:
    void charge(std::uint64_t bytes)
    {
        if (bytes > budget)
            throw Damaged{"it holds more than its size"};
        budget -= bytes;
    }

    void copyValues(hive_node_h from, KeyTreeRegistry::Node& to)
    {
        const Malloced<hive_value_h> values(hivex_node_values(hive, from));
        if (!values)
            throw Damaged{systemError("a key's values cannot be read")};
        for (const hive_value_h* value = values.get(); *value; ++value) {
            if (!seenValues.insert(*value).second)
                throw Damaged{"a value is listed twice"};
            const Malloced<char> name(hivex_value_key(hive, *value));
            std::uint32_t type = 0;
            std::size_t size = 0;
            // The size libhivex reads is charged before it reads it.
            if (!name || !valueType(hive, *value, type, size))
                throw Damaged{systemError("a value cannot be read")};
            charge(std::strlen(name.get()) + std::uint64_t{size});
            hive_type ignored{};
            std::size_t length = 0;
            const Malloced<char> data(hivex_value_value(hive, *value, &ignored, &length));
            if (!data || length > size)
                throw Damaged{systemError("a value's data cannot be read")};
            std::string bytes(data.get(), length);
            if (registryType::isText(type))
                bytes = utf16leToUtf8(bytes);  // Windows keeps text as UTF-16
            to.setValue(name.get(), std::move(bytes), type);
        }
    }

    hive_h* hive;
    std::uint64_t budget;
    std::unordered_set<hive_node_h> seenKeys;
    std::unordered_set<hive_value_h> seenValues;
};

// The sub-key of that name, or 0 when there is none.
hive_node_h childOf(hive_h* hive, hive_node_h node, const char* name)
{
    errno = 0;
    const hive_node_h child = hivex_node_get_child(hive, node, name);
    if (!child && errno != 0)
        throw Damaged{systemError("a key's sub-keys cannot be read")};
    return child;
}

// A REG_DWORD of SYSTEM\Select, when it is one.
std::optional<std::uint32_t> selectNumber(hive_h* hive, hive_node_h select, const char* name)
{
    const hive_value_h value = select ? hivex_node_get_value(hive, select, name) : 0;
    std::uint32_t type = 0;
    std::size_t size = 0;
    if (!value || !valueType(hive, value, type, size) || type != registryType::dword || size != 4)
        return std::nullopt;
    return static_cast<std::uint32_t>(hivex_value_dword(hive, value));
}

bool isNumberedControlSet(std::string_view name)
{
    return name.size() == 13 && strncasecmp(name.data(), "ControlSet", 10) == 0 &&
           std::all_of(name.begin() + 10, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The control sets to look in, in the order Windows would choose them.
std::vector<std::string> controlSetsToTry(hive_h* hive, hive_node_h root)
{
    std::vector<std::string> names;
    const hive_node_h select = childOf(hive, root, "Select");
    for (const char* chosen : {"Current", "Default"}) {
        if (const auto number = selectNumber(hive, select, chosen)) {
            char name[32];
            std::snprintf(name, sizeof name, "ControlSet%03u", static_cast<unsigned>(*number));
            names.push_back(name);
        }
    }
    std::vector<std::string> numbered;
    const Malloced<hive_node_h> children(hivex_node_children(hive, root));
    if (!children)
        throw Damaged{systemError("the root key's sub-keys cannot be read")};
    for (const hive_node_h* child = children.get(); *child; ++child) {
        const Malloced<char> name(hivex_node_name(hive, *child));
        if (name && isNumberedControlSet(name.get()))
            numbered.emplace_back(name.get());
    }
    std::sort(numbered.begin(), numbered.end());
    names.insert(names.end(), numbered.begin(), numbered.end());
    return names;
}

// The key at a path of names below `node`; 0 when there is none.
hive_node_h keyAt(hive_h* hive, hive_node_h node, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        node = node ? childOf(hive, node, name) : 0;
    return node;
}

// The first control set that has a PCI branch, and its branch; 0s when none has.
std::pair<hive_node_h, hive_node_h> pciBranchOf(hive_h* hive, hive_node_h root)
{
    for (const std::string& name : controlSetsToTry(hive, root)) {
        const hive_node_h controlSet = childOf(hive, root, name.c_str());
        if (const hive_node_h branch = keyAt(hive, controlSet, {"Enum", "PCI"}))
            return {controlSet, branch};
    }
    return {0, 0};
}

// The computer's name, as the control set records it for the next start;
// empty when it records none.
std::string computerName(hive_h* hive, hive_node_h controlSet)
{
    const hive_node_h key = keyAt(hive, controlSet, {"Control", "ComputerName", "ComputerName"});
    const hive_value_h value = key ? hivex_node_get_value(hive, key, "ComputerName") : 0;
    std::uint32_t type = 0;
    std::size_t size = 0;
    if (!value || !valueType(hive, value, type, size) || !registryType::isText(type) || size > 1024)
        return std::string();
    hive_type ignored{};
    std::size_t length = 0;
    const Malloced<char> data(hivex_value_value(hive, value, &ignored, &length));
    if (!data || length > size)
        return std::string();
    const std::string text = utf16leToUtf8(std::string(data.get(), length));
    return text.substr(0, text.find('\0'));
}

registryHive::Reading readChecked(const platform::OpenedFile& file, std::string_view head,
                                  const registryHive::BaseBlock& block)
{
    const Descriptor copy = copyOfHive(file, head, block.hiveSize);
    const std::string copyPath = "/proc/self/fd/" + std::to_string(copy.get());
    const HivePointer hive(hivex_open(copyPath.c_str(), 0));
    if (!hive)
        throw Damaged{systemError("libhivex cannot open it")};
    const hive_node_h root = hivex_root(hive.get());
    if (!root)
        throw Damaged{systemError("its root key cannot be read")};

    registryHive::Reading reading;
    reading.cleanlyClosed = block.cleanlyClosed;
    if (const auto [controlSet, branch] = pciBranchOf(hive.get(), root); branch) {
        reading.computerName = computerName(hive.get(), controlSet);
        auto registry = std::make_unique<KeyTreeRegistry>();
        // Devices and their instances: the scan reads no deeper.
        BranchCopier(hive.get(), block.hiveSize).copy(branch, registry->addKey(pciBranchPath), 2);
        reading.registry = std::move(registry);
    }
    return reading;
}

}

std::optional<registryHive::Reading> readRegistryHive(const platform::OpenedFile& file, std::string_view head)
{
    registryHive::Reading reading;
    const auto block = registryHive::checkBaseBlock(head, file.size, reading.problem);
    if (!block)
        return reading;
    try {
        return readChecked(file, head, *block);
    } catch (const Damaged& damaged) {
        reading.problem = damaged.problem;
        return reading;
    }
}
