// SPDX-License-Identifier: GPL-2.0-or-later
// The syntax of INF files: entries with quotes, comments and continued
// lines, sections, encodings and %strkey% substitution.
#include "infText.h"
#include "text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct EntryCase {
    std::string text;
    const char* key;  // null: no key
    std::vector<std::string> fields;
};

class Entries : public testing::TestWithParam<EntryCase> {};

TEST_P(Entries, AreSplitAsWindowsSplitsThem)
{
    const EntryCase& c = GetParam();
    inf::Scratch scratch;
    const std::string_view text = inf::decodeText(c.text, scratch);
    inf::EntryReader reader(text, 0, text.size());
    inf::Entry entry;
    ASSERT_TRUE(reader.next(entry));
    EXPECT_EQ(entry.hasKey, c.key != nullptr);
    if (c.key) {
        EXPECT_EQ(entry.key, c.key);
    }
    std::vector<std::string> fields;
    for (std::size_t index = 0; index < entry.fieldCount(); ++index)
        fields.emplace_back(entry.field(index));
    EXPECT_EQ(fields, c.fields);
    EXPECT_FALSE(reader.next(entry)) << "one entry only";
}

INSTANTIATE_TEST_SUITE_P(InfText, Entries, testing::Values(
    EntryCase{"a = b", "a", {"b"}},
    EntryCase{"\n  ; a = b\r\n\t\r\nc = d\n;e\n", "c", {"d"}},
    EntryCase{"  a=b,  c d ,e  \r\n", "a", {"b", "c d", "e"}},
    EntryCase{"a =", "a", {""}},
    EntryCase{"file.sys,,,2", nullptr, {"file.sys", "", "", "2"}},
    EntryCase{"a = \" b \"", "a", {" b "}},
    EntryCase{"a = x \"y \"\"z\"\" \" w", "a", {"x y \"z\"  w"}},
    EntryCase{"a = \"\"\"q\"\"\"", "a", {"\"q\""}},
    EntryCase{"a = \"open, to the end", "a", {"open, to the end"}},
    EntryCase{"\"k=v\" = 1", "k=v", {"1"}},
    EntryCase{"a = b = c", "a", {"b = c"}},
    EntryCase{"a = b ; c, d", "a", {"b"}},
    EntryCase{"a = \"b;c\"", "a", {"b;c"}},
    // A semicolon starts a comment in a %strkey% token too, as Windows reads
    // it (the documentation says otherwise).
    EntryCase{"abc=%bar;bla%", "abc", {"%bar"}},
    EntryCase{"a = %x;y% z ; c", "a", {"%x"}},
    EntryCase{"a = 50% ; c", "a", {"50%"}},
    EntryCase{"a\tb = c\td", "a b", {"c d"}},
    EntryCase{"a = x\\y, \\\\server", "a", {"x\\y", "\\\\server"}},
    // Continued lines: the next line's blanks dropped, and those before the backslash.
    EntryCase{"a = b \\\n   c, d", "a", {"bc", "d"}},
    EntryCase{"a = b\\ ; a note\n c", "a", {"bc"}},
    EntryCase{"CopyFiles = \"SomeDirectory\\\"\\\n,SomeFile", "CopyFiles", {"SomeDirectory\\", "SomeFile"}},
    EntryCase{"CopyFiles = SomeDirectory\\\\\n,SomeFile", "CopyFiles", {"SomeDirectory", "SomeFile"}},
    EntryCase{"a = \\\n\\\nb", "a", {"b"}},
    EntryCase{"a = b\\ c", "a", {"b\\ c"}},
    EntryCase{"a = \"b \"\\\nc", "a", {"b c"}},
    EntryCase{"a = b\\\n; the rest", "a", {"b"}},
    EntryCase{"a = b\\", "a", {"b"}},
    // A zero is a blank, as Windows reads it: a space within, dropped at the ends.
    EntryCase{"abcd=ef\0gh"s, "abcd", {"ef gh"}},
    EntryCase{"bar=aaa\0bbb \0"s, "bar", {"aaa bbb"}},
    EntryCase{"\0a\0=\0b\0, \"\0c\0\""s, "a", {"b", " c "}},
    // The text ends at a Ctrl-Z.
    EntryCase{"ab=c\x1a" "d", "ab", {"c"}},
    // After a comma an '=' is text; more fields than an entry had room for.
    EntryCase{"a, b = c", nullptr, {"a", "b = c"}},
    EntryCase{"k = \"1\",2 ,3\t,4,5,6,7,8,9,10,11,12,13,14,15,16,17", "k",
              {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17"}}));

// One reader's entries in turn: each has its own key and fields, none of the last one's.
TEST(InfText, EntriesOneAfterAnotherKeepNothingOfTheLast)
{
    const std::string text = "a = 1,2,3,4,5,6,7,8,9\nb\n\"c\"=,x\n = y\n";
    inf::EntryReader reader(text, 0, text.size());
    inf::Entry entry;
    std::vector<std::string> said;
    while (reader.next(entry)) {
        std::string line = entry.hasKey ? entry.key + "=" : "";
        for (std::size_t index = 0; index < entry.fieldCount(); ++index)
            line += (index ? "," : "") + std::string(entry.field(index));
        said.push_back(line);
    }
    EXPECT_EQ(said, (std::vector<std::string>{"a=1,2,3,4,5,6,7,8,9", "b", "c=,x", "=y"}));
}

TEST(InfText, FieldsAreCutAtWindowsLimit)
{
    // 4,095 characters of two UTF-16 units (U+1F600) each: cut at a character's end.
    std::string wide;
    for (int i = 0; i < 3000; ++i)
        wide += "\xF0\x9F\x98\x80";
    const std::string text = "a = " + std::string(5000, 'x') + ", " + wide;
    inf::EntryReader reader(text, 0, text.size());
    inf::Entry entry;
    ASSERT_TRUE(reader.next(entry));
    EXPECT_EQ(entry.field(0), std::string(inf::maxFieldLength, 'x'));
    EXPECT_EQ(entry.field(1).size(), inf::maxFieldLength / 2 * 4);
}

struct SectionCase {
    std::string text;
    bool valid;
    std::vector<std::string> names;  // and each one's first entry key, after a colon
};

class Sections : public testing::TestWithParam<SectionCase> {};

TEST_P(Sections, AreFoundAsWindowsFindsThem)
{
    const SectionCase& c = GetParam();
    std::vector<inf::Section> sections;
    ASSERT_EQ(inf::findSections(c.text, sections), c.valid);
    if (!c.valid)
        return;
    std::vector<std::string> names;
    for (const inf::Section& section : sections) {
        inf::EntryReader reader(c.text, section.begin, section.end);
        inf::Entry entry;
        names.push_back(std::string(section.name) + ":" + (reader.next(entry) ? entry.key : ""));
        EXPECT_EQ(section.nameHash, text::keyedFoldedHash(section.name));
    }
    EXPECT_EQ(names, c.names);
}

const std::string longName(inf::maxSectionNameLength, 'n');

INSTANTIATE_TEST_SUITE_P(InfText, Sections, testing::Values(
    SectionCase{"; a comment\n\n[Version]\na=1\n[b] ; note\n  [c]\nc=1\n[Version]\nv=2", true,
                {"Version:a", "b:", "c:c", "Version:v"}},
    SectionCase{"[a]\nx = 1, \\\n[b]\n[c]x\ny=2", true, {"a:x", "c:y"}},
    // A continued line continues into a line of brackets, which then may continue itself.
    SectionCase{"[a]\nx = \\\n[b] \\\n[c]\ny=1", true, {"a:x"}},
    SectionCase{"[a]\nx = \"q\\\n[b]\n", true, {"a:x", "b:"}},
    SectionCase{"[a]\nx = y ; \\\n[b]\n", true, {"a:x", "b:"}},
    SectionCase{"[a]\nx = [y]\n", true, {"a:x"}},
    SectionCase{"", true, {}},
    SectionCase{"a = b\n[Version]\n", false, {}},
    // Text before the first section: passed over when the file has a
    // [Strings] section, as Windows does, else no INF.
    SectionCase{"garbage1\ngarbage2\n[abc]\n[Version]\n", false, {}},
    SectionCase{";comment\ngarbage1\n[Version]\n[abc]\n", false, {}},
    SectionCase{"garbage1\ngarbage2\n[Strings]\n[Version]\n", true, {"Strings:", "Version:"}},
    SectionCase{" \t\ngarbage1\n[Version]\nv=1\n[strings]\n", true, {"Version:v", "strings:"}},
    SectionCase{"/*++\n\nCopyright (c) Microsoft Corporation\n\nModule Name:\n    Sensor.inf\n--*/\n\n"
                "[Version]\nSignature=\"$Windows NT$\"\n[Strings]\nA=b\n",
                true, {"Version:Signature", "Strings:A"}},
    SectionCase{"[Version]\n[Strings\n", false, {}},
    SectionCase{"[" + longName + "]\n", true, {longName + ":"}},
    SectionCase{"[" + longName + "n]\n", false, {}}));

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::string text;
};

std::string utf16(const std::u16string& text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

class Decoding : public testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, GivesUtf8)
{
    inf::Scratch scratch;
    EXPECT_EQ(inf::decodeText(GetParam().bytes, scratch), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(InfText, Decoding, testing::Values(
    DecodeCase{"Ascii", "[Version]\r\n", "[Version]\r\n"},
    DecodeCase{"Windows1252", "Caf\xE9 \x80", "Caf\xC3\xA9 \xE2\x82\xAC"},
    DecodeCase{"Utf8", "\xEF\xBB\xBF" "Caf\xC3\xA9", "Caf\xC3\xA9"},
    DecodeCase{"Utf8Invalid", "\xEF\xBB\xBF" "a\xFF", "a\xEF\xBF\xBD"},
    DecodeCase{"Utf16le", utf16(u"[Version] Caf\u00E9 \u20AC \U0001F600 long ascii text", false),
               "[Version] Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 long ascii text"},
    DecodeCase{"Utf16be", utf16(u"[Version] Caf\u00E9 long ascii text", true), "[Version] Caf\xC3\xA9 long ascii text"},
    DecodeCase{"LoneSurrogate", utf16(u"a\xD800" "b", false), "a\xEF\xBF\xBD" "b"},
    DecodeCase{"OddByte", utf16(u"ab", false) + "x", "ab"},
    DecodeCase{"ControlZEnds", "a = b\r\n\x1A[c]\r\n", "a = b\r\n"}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

struct SubstitutionCase {
    const char* field;
    const char* result;
};

class Substitution : public testing::TestWithParam<SubstitutionCase> {};

TEST_P(Substitution, ReplacesStringKeysOnce)
{
    const std::string text = "Vendor = \"Red Hat, Inc.\"\nself = %self%\nloop = %self%\npercent = \"100%%\"\n"
                             "vendor = later definitions do not count\n";
    inf::StringTable strings;
    inf::EntryReader reader(text, 0, text.size());
    inf::Entry entry;
    while (reader.next(entry))
        strings.add(entry);
    std::string out;
    inf::substitute(GetParam().field, strings, out);
    EXPECT_EQ(out, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(InfText, Substitution, testing::Values(
    SubstitutionCase{"%VENDOR%", "Red Hat, Inc."},
    SubstitutionCase{"by %vendor%, %Vendor%!", "by Red Hat, Inc., Red Hat, Inc.!"},
    SubstitutionCase{"%%SystemRoot%%\\x", "%SystemRoot%\\x"},
    SubstitutionCase{"%self%", "%self%"},
    SubstitutionCase{"%loop%", "%self%"},
    SubstitutionCase{"%percent%", "100%%"},
    SubstitutionCase{"%unknown% %13%", "%unknown% %13%"},
    SubstitutionCase{"50% off", "50% off"},
    SubstitutionCase{"", ""}));

TEST(InfText, SubstitutionIsCutAtWindowsLimit)
{
    const std::string text = "long = " + std::string(4000, 'x');
    inf::StringTable strings;
    inf::EntryReader reader(text, 0, text.size());
    inf::Entry entry;
    ASSERT_TRUE(reader.next(entry));
    strings.add(entry);
    std::string out;
    inf::substitute("%long%%long%%long%", strings, out);
    EXPECT_EQ(out, std::string(inf::maxFieldLength, 'x'));
}

}
