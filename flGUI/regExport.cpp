#include "regExport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr std::string_view version5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view version4Header = "REGEDIT4";

// Windows-1252's characters 0x80 to 0x9F; the five it leaves undefined stand
// for the control characters of the same number, as Windows converts them.
constexpr char16_t windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, std::uint32_t code)
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

std::string windows1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? windows1252High[byte - 0x80] : byte);
    }
    return out;
}

bool isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size() || (length == 2 && lead < 0xC2))
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// UTF-16 code units to UTF-8; a surrogate without its partner becomes U+FFFD.
class Utf16Decoder {
public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian(bigEndian) {}

    void decode(std::string_view bytes, std::string& out)
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
    void unit(std::uint32_t code, std::string& out)
    {
        if (code >= 0xDC00 && code < 0xE000 && highSurrogate) {
            appendUtf8(out, 0x10000 + ((highSurrogate - 0xD800) << 10) + (code - 0xDC00));
            highSurrogate = 0;
            return;
        }
        finish(out);
        if (code >= 0xD800 && code < 0xDC00)
            highSurrogate = code;
        else
            appendUtf8(out, code >= 0xDC00 && code < 0xE000 ? 0xFFFD : code);
    }
    // A high surrogate left alone; a lone last byte is dropped.
    void finish(std::string& out)
    {
        if (highSurrogate)
            appendUtf8(out, 0xFFFD);
        highSurrogate = 0;
    }

private:
    bool bigEndian;
    bool haveByte = false;
    std::uint32_t firstByte = 0;
    std::uint32_t highSurrogate = 0;
};

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

char foldedChar(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithFolded(std::string_view text, std::string_view lowerPrefix)
{
    return text.size() >= lowerPrefix.size() && foldedRegistryName(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = foldedChar(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A quoted text at the start of `text` with the escapes regedit writes
// (\\ and \") and those Wine's adds (\n, \r, \0); another backslash stands
// for itself. Moves `text` past the closing quote; false when there is none.
bool takeQuoted(std::string_view& text, std::string& out)
{
    if (text.empty() || text[0] != '"')
        return false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return true;
        }
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case '\\': case '"': out += next; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '0': out += '\0'; break;
        default: out += '\\'; out += next; break;
        }
    }
    return false;
}

// "aa,bb , c" and the like; empty is no bytes. A trailing comma is allowed
// (what precedes a continuation).
bool parseHexBytes(std::string_view text, std::string& out)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(',', start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = text.size();
        const std::string_view item = trimmed(text.substr(start, end - start));
        if (item.empty() && !(last && start > 0))
            return false;
        if (!item.empty()) {
            if (item.size() > 2 || hexDigit(item[0]) < 0 || (item.size() == 2 && hexDigit(item[1]) < 0))
                return false;
            out += static_cast<char>(item.size() == 1 ? hexDigit(item[0]) : hexDigit(item[0]) * 16 + hexDigit(item[1]));
        }
        start = end + 1;
    }
    return true;
}

bool parseHexNumber(std::string_view text, std::size_t maxDigits, std::uint32_t& value)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    value = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

bool isControlSet(std::string_view name)
{
    if (foldedRegistryName(name) == "currentcontrolset")
        return true;
    if (!startsWithFolded(name, "controlset") || name.size() != 13)
        return false;
    for (const char c : name.substr(10))
        if (c < '0' || c > '9')
            return false;
    return true;
}

}

struct RegExportReader::State {
    explicit State(Encoding encoding) : utf16(encoding == Encoding::utf16be) {}

    Utf16Decoder utf16;
    std::string decoded;        // the piece being split into lines
    std::string current;        // the physical line so far
    bool discarding = false;    // the rest of the physical line is not wanted
    bool overlong = false;      // ... because it is too long
    std::string logical;        // a value line continued on the next line
    std::size_t lineNumber = 0;
    bool version5 = true;       // hex(2) and hex(7) data are UTF-16 (REGEDIT4: ANSI)

    enum class Section { outside, branch, select };
    Section section = Section::outside;
    KeyTreeRegistry::Node* key = nullptr;  // in the branch
    // The PCI branch of each control set, by its folded name.
    std::map<std::string, std::unique_ptr<KeyTreeRegistry>> branches;
    std::optional<std::uint32_t> selectCurrent;  // SYSTEM\Select's "Current"
    bool finished = false;

    bool wantsValues() const { return section != Section::outside; }
    const KeyTreeRegistry* chosen() const
    {
        auto found = branches.find("currentcontrolset");
        if (found == branches.end() && selectCurrent) {
            char name[32];
            std::snprintf(name, sizeof name, "controlset%03u", static_cast<unsigned>(*selectCurrent));
            found = branches.find(name);
        }
        if (found == branches.end())
            found = branches.begin();
        return found == branches.end() ? nullptr : found->second.get();
    }
};

std::optional<RegExportReader::Encoding> RegExportReader::recognise(std::string_view head)
{
    // The header line, in the encoding the first bytes show.
    std::optional<Encoding> encoding;
    std::string text;
    if (startsWith(head, "\xFF\xFE") || (head.size() >= 2 && head[0] != '\0' && head[1] == '\0')) {
        encoding = Encoding::utf16le;
    } else if (startsWith(head, "\xFE\xFF") || (head.size() >= 2 && head[0] == '\0' && head[1] != '\0')) {
        encoding = Encoding::utf16be;
    }
    if (encoding) {
        Utf16Decoder decoder(*encoding == Encoding::utf16be);
        decoder.decode(head.substr(0, 4 * version5Header.size()), text);
        if (startsWith(text, "\xEF\xBB\xBF"))
            text.erase(0, 3);
    } else {
        const bool bom = startsWith(head, "\xEF\xBB\xBF");
        text = std::string(head.substr(bom ? 3 : 0, 2 * version5Header.size()));
        encoding = bom ? Encoding::utf8 : Encoding::ansi;
    }
    const std::string_view first = std::string_view(text).substr(0, text.find('\n'));
    const std::string_view header = trimmed(first);
    if (header == version5Header)
        return *encoding == Encoding::ansi ? Encoding::utf8 : *encoding;  // 8-bit 5.00: an editor's UTF-8
    if (header == version4Header)
        return encoding;
    return std::nullopt;
}

RegExportReader::RegExportReader(Encoding encoding) : encoding(encoding), state(std::make_unique<State>(encoding))
{
}

RegExportReader::~RegExportReader() = default;

void RegExportReader::read(std::string_view bytes)
{
    if (encoding == Encoding::utf16le || encoding == Encoding::utf16be) {
        state->decoded.clear();
        state->utf16.decode(bytes, state->decoded);
        decode(state->decoded);
    } else {
        decode(bytes);  // 8-bit lines are converted one by one, those that are kept
    }
}

void RegExportReader::decode(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            takeLineBytes(text.substr(start), false);
            return;
        }
        takeLineBytes(text.substr(start, end - start), true);
        start = end + 1;
    }
}

void RegExportReader::takeLineBytes(std::string_view bytes, bool lineEnds)
{
    State& s = *state;
    if (!s.discarding) {
        if (s.current.size() + bytes.size() > maxLineBytes) {
            s.overlong = s.discarding = true;
            s.current.clear();
        } else {
            s.current.append(bytes);
            // Outside the branch only key lines matter: the rest of a line
            // that is none is not kept.
            const std::size_t first = s.current.find_first_not_of(" \t");
            if (!s.wantsValues() && s.logical.empty() && s.lineNumber > 0 && first != std::string::npos &&
                s.current[first] != '[') {
                s.discarding = true;
                s.current.clear();
            }
        }
    }
    if (!lineEnds)
        return;
    if (s.overlong) {
        if (s.wantsValues() || !s.logical.empty())
            ++skipped;
        s.logical.clear();
    } else if (!s.discarding) {
        line(s.current);
    }
    ++s.lineNumber;
    s.current.clear();
    s.discarding = s.overlong = false;
}

void RegExportReader::line(std::string_view raw)
{
    State& s = *state;
    if (s.lineNumber == 0) {  // the header, recognised already
        s.version5 = raw.find(version4Header) == std::string_view::npos;
        return;
    }
    std::string converted;
    if (encoding == Encoding::ansi)
        raw = converted = windows1252ToUtf8(raw);
    else if (encoding == Encoding::utf8 && !isUtf8(raw))
        raw = converted = windows1252ToUtf8(raw);
    const std::string_view text = trimmed(raw);

    if (!s.logical.empty()) {  // the next part of a continued value
        const bool continues = !text.empty() && text.back() == '\\';
        if (s.logical.size() + text.size() > maxLineBytes) {
            ++skipped;
            s.logical.clear();
            return;
        }
        s.logical.append(text.substr(0, text.size() - (continues ? 1 : 0)));
        if (!continues) {
            const std::string whole = std::move(s.logical);
            s.logical.clear();
            valueLine(whole);
        }
        return;
    }
    if (text.empty() || text[0] == ';' || text[0] == '#')
        return;
    if (text[0] == '[') {
        keyLine(text);
        return;
    }
    if (!s.wantsValues())
        return;
    if (text.back() == '\\' && (text[0] == '"' || text[0] == '@')) {
        s.logical.assign(text.substr(0, text.size() - 1));  // never empty: it starts with " or @
        return;
    }
    valueLine(text);
}

void RegExportReader::keyLine(std::string_view text)
{
    State& s = *state;
    s.section = State::Section::outside;
    s.key = nullptr;
    const std::size_t close = text.rfind(']');
    if (close == std::string_view::npos) {
        ++skipped;
        return;
    }
    std::string_view path = text.substr(1, close - 1);
    const bool deletion = !path.empty() && path[0] == '-';
    if (deletion)
        path.remove_prefix(1);
    const std::vector<std::string_view> names = splitRegistryPath(path);
    // Key names hold no zero and, as the registry's ANSI functions give them, 255 bytes at most.
    if (names.empty() || path.find('\0') != std::string_view::npos ||
        std::any_of(names.begin(), names.end(), [](std::string_view name) { return name.size() > 255; })) {
        ++skipped;
        return;
    }
    const std::string root = foldedRegistryName(names[0]);
    if (root != "hkey_local_machine" && root != "hklm")
        return;

    // Where the path stands against SYSTEM\<control set>\Enum\PCI.
    static const char* const branchNames[] = {"system", nullptr, "enum", "pci"};
    std::size_t matched = 0;  // names of the branch's path the key's path follows
    while (matched < 4 && matched + 1 < names.size()) {
        const std::string_view name = names[matched + 1];
        if (matched == 1 ? !isControlSet(name) : foldedRegistryName(name) != branchNames[matched])
            break;
        ++matched;
    }
    const bool isSelect = names.size() == 3 && matched == 1 && foldedRegistryName(names[2]) == "select";
    const std::string controlSet = matched >= 2 ? foldedRegistryName(names[2]) : std::string();

    if (deletion) {
        if (isSelect) {
            s.selectCurrent.reset();
        } else if (matched + 1 == names.size() && matched < 4) {  // a key above the branch
            if (matched >= 2)
                s.branches.erase(controlSet);
            else
                s.branches.clear();
        } else if (matched == 4) {
            const auto branch = s.branches.find(controlSet);
            if (branch != s.branches.end()) {
                std::string below;
                for (std::size_t i = 5; i < names.size(); ++i)
                    below += std::string("\\") + std::string(names[i]);
                if (below.empty())
                    s.branches.erase(branch);
                else
                    branch->second->removeKey(pciBranchPath + below);
            }
        }
        return;
    }
    if (isSelect) {
        s.section = State::Section::select;
        return;
    }
    if (matched < 4)
        return;
    auto& branch = s.branches[controlSet];
    if (!branch)
        branch = std::make_unique<KeyTreeRegistry>();
    KeyTreeRegistry::Node* node = &branch->addKey(pciBranchPath);
    for (std::size_t i = 5; i < names.size(); ++i)
        node = &node->addSubKey(std::string(names[i]));
    s.section = State::Section::branch;
    s.key = node;
}

void RegExportReader::valueLine(std::string_view text)
{
    State& s = *state;
    std::string name;
    if (!text.empty() && text[0] == '@') {
        text.remove_prefix(1);
    } else if (!takeQuoted(text, name)) {
        ++skipped;
        return;
    }
    text = trimmed(text);
    if (text.empty() || text[0] != '=') {
        ++skipped;
        return;
    }
    text = trimmed(text.substr(1));

    std::optional<std::string> data;  // none: the value is deleted
    std::uint32_t type = 1;
    if (text == "-") {
        // a deletion
    } else if (!text.empty() && text[0] == '"') {
        std::string value;
        if (!takeQuoted(text, value) || !trimmed(text).empty()) {
            ++skipped;
            return;
        }
        data = value + '\0';
    } else if (startsWithFolded(text, "dword:")) {
        std::uint32_t number = 0;
        if (!parseHexNumber(trimmed(text.substr(6)), 8, number)) {
            ++skipped;
            return;
        }
        data = std::string{static_cast<char>(number), static_cast<char>(number >> 8),
                           static_cast<char>(number >> 16), static_cast<char>(number >> 24)};
        type = 4;
    } else if (startsWithFolded(text, "hex")) {
        text.remove_prefix(3);
        type = 3;
        if (!text.empty() && text[0] == '(') {
            const std::size_t close = text.find(')');
            if (close == std::string_view::npos || !parseHexNumber(text.substr(1, close - 1), 8, type)) {
                ++skipped;
                return;
            }
            text.remove_prefix(close + 1);
        }
        std::string bytes;
        if (text.empty() || text[0] != ':' || !parseHexBytes(text.substr(1), bytes)) {
            ++skipped;
            return;
        }
        // Text types hold the file's text: UTF-16 in a 5.00 export, ANSI in REGEDIT4.
        if (type == 1 || type == 2 || type == 7) {
            std::string utf8;
            if (s.version5) {
                Utf16Decoder decoder(false);
                decoder.decode(bytes, utf8);
                decoder.finish(utf8);
            } else {
                utf8 = windows1252ToUtf8(bytes);
            }
            bytes = std::move(utf8);
        }
        data = std::move(bytes);
    } else {
        ++skipped;
        return;
    }

    if (s.section == State::Section::select) {
        if (foldedRegistryName(name) == "current") {
            if (data && type == 4) {
                std::uint32_t number = 0;
                for (int i = 3; i >= 0; --i)
                    number = number << 8 | static_cast<unsigned char>((*data)[static_cast<std::size_t>(i)]);
                s.selectCurrent = number;
            } else
                s.selectCurrent.reset();
        }
        return;
    }
    if (!s.key)
        return;
    if (data)
        s.key->setValue(name, std::move(*data));
    else
        s.key->removeValue(name);
}

void RegExportReader::finish()
{
    State& s = *state;
    if (s.finished)
        return;
    s.finished = true;
    if (encoding == Encoding::utf16le || encoding == Encoding::utf16be) {
        s.decoded.clear();
        s.utf16.finish(s.decoded);
        decode(s.decoded);
    }
    if (!s.current.empty() || s.discarding)
        takeLineBytes({}, true);
    if (!s.logical.empty()) {  // the file ends inside a value
        ++skipped;
        s.logical.clear();
    }
}

bool RegExportReader::hasPciBranch() const
{
    return state->chosen() != nullptr;
}

std::unique_ptr<KeyTreeRegistry> RegExportReader::takeRegistry()
{
    const KeyTreeRegistry* chosen = state->chosen();
    for (auto& [name, branch] : state->branches)
        if (branch.get() == chosen)
            return std::move(branch);
    return nullptr;
}
