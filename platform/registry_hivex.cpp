// SPDX-License-Identifier: GPL-2.0-or-later
// Registry hives read with libhivex (core/registryHive.h): Debian's on Linux,
// the same version built for Windows from its source (cmake/hivex-mingw).
//
// libhivex is handed only what has been checked: it maps the file it is
// given whole and goes by what that file's header says, so it gets a private
// copy of exactly the hive the base block announces (checked first), made
// from the file the file layer opened, bin by bin as far as the bins are
// sound (platform::ScratchFile: memory on Linux, a temporary file on
// Windows). Whatever happens to the user's file meanwhile (it grows, shrinks
// or is replaced by a FIFO) cannot reach it, and the user's file is only ever
// read. From the copy, only the PCI branch of the chosen control set (and
// below each instance the key of its driver's rank) and the control set's
// driver keys are taken into memory, and the hive is closed.
#include "registryHive.h"

#include "registry_tree.h"
#include "text.h"
#include "textEncoding.h"

#include <hivex.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// errno's text for what libhivex and the file layer set, in the C library's
// words on Linux: the same on Windows, whose C library says some otherwise
// and has no words for others.
const char* errorText(int error)
{
    switch (error) {
    case EFAULT: return "Bad address";
    case EINVAL: return "Invalid argument";
    case EILSEQ: return "Invalid or incomplete multibyte or wide character";
    case ELOOP: return "Too many levels of symbolic links";
    case ENOMEM: return "Cannot allocate memory";
    case ENOTSUP: return "Operation not supported";
    case EOVERFLOW: return "Value too large for defined data type";
    case ERANGE: return "Numerical result out of range";
    case ENOENT: return "No such file or directory";
    case EACCES: return "Permission denied";
    case EIO: return "Input/output error";
    default: return std::strerror(error);
    }
}

std::string systemError(const char* what)
{
    return std::string(what) + ": " + errorText(errno);
}

// Reads the file on from where its head ends: the head's bytes first.
class HiveBytes {
public:
    HiveBytes(const platform::OpenedFile& file, std::string_view head) : file(file), head(head) {}

    // Exactly `size` bytes; throws Damaged when the file has fewer now.
    void read(char* into, std::size_t size)
    {
        const std::size_t fromHead = std::min(size, head.size());
        if (fromHead > 0)
            std::memcpy(into, head.data(), fromHead);
        head.remove_prefix(fromHead);
        for (std::size_t done = fromHead; done < size;) {
            const std::size_t count = std::fread(into + done, 1, size - done, file.file.get());
            if (count == 0)
                throw Damaged{std::ferror(file.file.get()) ? systemError("it could not be read")
                                                           : std::string("it was cut short while it was read")};
            done += count;
        }
    }

    // The bytes of a hole in the file where reading stands, at most `most`,
    // passed over: zeros that cost no reading (a file with a hole of
    // gigabytes reads as fast as its data). None where it stands on data or
    // the system cannot tell.
    std::uint64_t passHole(std::uint64_t most)
    {
        if (!head.empty())
            return 0;
        const auto hole = platform::passHole(file.file.get(), most);
        if (!hole)
            throw Damaged{systemError("it could not be read")};
        return *hole;
    }

private:
    const platform::OpenedFile& file;
    std::string_view head;
};

constexpr std::uint32_t binAlignment = 4096;  // hive bins come in multiples of it
constexpr std::size_t binHeaderSize = 32;
constexpr std::size_t copyPieceSize = 1 << 20;

std::uint32_t littleEndian32(const char* bytes)
{
    std::uint32_t number = 0;
    for (std::size_t i = 4; i-- > 0;)
        number = number << 8 | static_cast<unsigned char>(bytes[i]);
    return number;
}

// The private copy, its bytes appended. Pieces of zeros are left as a hole,
// which holds no memory: a file cannot make the copy take more memory than
// it holds data (a bin announced over a hole in it costs none).
class HiveCopy {
public:
    HiveCopy()
    {
        if (!copy.ok())
            fail();
    }

    void appendZeros(std::uint64_t count) { size += count; }

    void append(std::string_view bytes)
    {
        // Each byte the same as the next, the first zero (memcmp is the fast way through).
        const bool zeros = !bytes.empty() && bytes[0] == '\0' &&
                           std::memcmp(bytes.data(), bytes.data() + 1, bytes.size() - 1) == 0;
        if (!zeros && !copy.writeAt(size, bytes))
            fail();
        size += bytes.size();
    }

    // The copy whole, its holes at the end included.
    const platform::ScratchFile& finish()
    {
        if (!copy.resize(size))
            fail();
        return copy;
    }

private:
    [[noreturn]] void fail() const { throw Damaged{"no copy of it could be made: " + copy.reason()}; }

    platform::ScratchFile copy;
    std::uint64_t size = 0;
};

// The hive the base block announces, `size` bytes, copied bin by bin: each
// must start with "hbin" and have a size that keeps it within the hive, or
// the hive is damaged and the copy stops there (a header announcing 2 GiB of
// bins over a file with a hole stops at the hole's first bytes).
void copyHive(const platform::OpenedFile& file, std::string_view head, std::uint64_t size, HiveCopy& copy)
{
    HiveBytes bytes(file, head);
    std::vector<char> buffer(registryHive::baseBlockSize);
    bytes.read(buffer.data(), buffer.size());
    copy.append(std::string_view(buffer.data(), buffer.size()));
    for (std::uint64_t at = registryHive::baseBlockSize; at < size;) {
        char header[binHeaderSize];
        bytes.read(header, sizeof header);
        const std::uint32_t binSize = littleEndian32(header + 8);
        if (std::string_view(header, 4) != "hbin")
            throw Damaged{"it is damaged: its header announces " + std::to_string(size) +
                          " bytes, but no hive bin starts at byte " + std::to_string(at)};
        if (binSize < binAlignment || binSize % binAlignment != 0 || binSize > size - at)
            throw Damaged{"it is damaged: the hive bin at byte " + std::to_string(at) + " says it is " +
                          std::to_string(binSize) + " bytes long"};
        copy.append(std::string_view(header, sizeof header));
        for (std::size_t left = binSize - sizeof header; left > 0;) {
            // Only a bin larger than a piece may hide a hole worth passing over.
            if (const std::uint64_t hole = left > copyPieceSize ? bytes.passHole(left) : 0) {
                copy.appendZeros(hole);
                left -= static_cast<std::size_t>(hole);
                continue;
            }
            buffer.resize(std::min(left, copyPieceSize));
            bytes.read(buffer.data(), buffer.size());
            copy.append(std::string_view(buffer.data(), buffer.size()));
            left -= buffer.size();
        }
        at += binSize;
    }
}

// Copies the keys below one key of the hive into the tree, `depth` levels
// deep, with their values. A sound hive holds each key, value and value's
// data once; what is met twice, or more data than the hive's size, is
// damage (it would make the copy grow without end).
class BranchCopier {
public:
    // Which of a key's values are copied: all, or those the scan reads.
    enum class Values { all, instances, driverKeys };

    BranchCopier(hive_h* hive, std::uint64_t hiveSize) : hive(hive), budget(hiveSize) {}

    void copy(hive_node_h from, KeyTreeRegistry::Node& to, int depth, Values wanted = Values::all)
    {
        copyValues(from, to, wanted == Values::instances ? Values::all : wanted);
        if (depth == 0) {
            if (wanted == Values::instances)
                copyDriverRank(from, to);
            return;
        }
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
            copy(*child, to.addSubKey(std::string(text)), depth - 1, wanted);
        }
    }

private:
    void charge(std::uint64_t bytes)
    {
        if (bytes > budget)
            throw Damaged{"it holds more than its size"};
        budget -= bytes;
    }

    // The key of an instance's device properties that holds its driver's rank, with its value.
    void copyDriverRank(hive_node_h instance, KeyTreeRegistry::Node& to)
    {
        hive_node_h node = instance;
        KeyTreeRegistry::Node* copied = &to;
        for (const std::string_view name : splitRegistryPath(driverRankKey)) {
            const std::string text(name);
            if (!(node = subKey(node, text.c_str())))
                return;
            charge(text.size());
            copied = &copied->addSubKey(text);
        }
        if (seenKeys.insert(node).second)
            copyValues(node, *copied, Values::all);
    }

    static bool isScanned(Values wanted, const char* name)
    {
        const auto named = [name](const char* read) { return text::equalAsciiFolded(name, read); };
        if (wanted == Values::instances)
            return std::any_of(std::begin(instanceValue::all), std::end(instanceValue::all), named);
        if (wanted == Values::driverKeys)
            return std::any_of(std::begin(driverKeyValue::all), std::end(driverKeyValue::all), named);
        return true;
    }

    hive_node_h subKey(hive_node_h node, const char* name);

    void copyValues(hive_node_h from, KeyTreeRegistry::Node& to, Values wanted)
    {
        const Malloced<hive_value_h> values(hivex_node_values(hive, from));
        if (!values)
            throw Damaged{systemError("a key's values cannot be read")};
        for (const hive_value_h* value = values.get(); *value; ++value) {
            if (!seenValues.insert(*value).second)
                throw Damaged{"a value is listed twice"};
            const Malloced<char> name(hivex_value_key(hive, *value));
            if (name && !isScanned(wanted, name.get()))
                continue;
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

hive_node_h BranchCopier::subKey(hive_node_h node, const char* name)
{
    return childOf(hive, node, name);
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
    return name.size() == 13 && text::startsWithAsciiFolded(name, "controlset") &&
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
    HiveCopy copy;
    copyHive(file, head, block.hiveSize, copy);
    const HivePointer hive(hivex_open(copy.finish().path().c_str(), 0));
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
        // Devices and their instances, and of what is below an instance its
        // driver's rank; the driver keys ({class}\NNNN): the scan reads no more.
        BranchCopier copier(hive.get(), block.hiveSize);
        copier.copy(branch, registry->addKey(pciBranchPath), 2, BranchCopier::Values::instances);
        if (const hive_node_h classes = keyAt(hive.get(), controlSet, {"Control", "Class"}))
            copier.copy(classes, registry->addKey(controlClassPath), 2, BranchCopier::Values::driverKeys);
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
