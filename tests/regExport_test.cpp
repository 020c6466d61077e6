// SPDX-License-Identifier: GPL-2.0-or-later
// The .reg reader: hand-made exports of what Wine's `reg export` does not
// write (REGEDIT4 in Windows-1252, deletions, comments, parent keys, broken
// and truncated files), each read whole and in small pieces.
#include "AllocationHooks.h"
#include "pciScan.h"
#include "regExport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace {

using Encoding = RegExportReader::Encoding;
const std::string pci = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\";
const std::string device = pci + "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\3&11583659&0&C8]\n";

// UTF-8 text as a file: UTF-16LE (with or without its byte-order mark),
// Windows-1252 (for the few characters the cases use) or UTF-8 with a mark.
std::string encoded(const std::string& text, Encoding encoding, bool mark = true)
{
    std::string out;
    if (encoding == Encoding::utf8)
        out = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k)
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (encoding == Encoding::utf8) {
            out += text.substr(i, length);
        } else if (encoding == Encoding::ansi) {
            out += static_cast<char>(code == 0x20AC ? 0x80 : code);  // € and Latin-1 are all the cases use
        } else {
            auto unit = [&out](std::uint32_t u) { out += static_cast<char>(u & 0xFF); out += static_cast<char>(u >> 8); };
            if (code >= 0x10000) {
                unit(0xD800 + ((code - 0x10000) >> 10));
                unit(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                unit(code);
            }
        }
        i += length;
    }
    return encoding == Encoding::utf16le && mark ? "\xFF\xFE" + out : out;
}

std::string withHeader(const std::string& body, Encoding encoding)
{
    std::string text = (encoding == Encoding::ansi ? "REGEDIT4\n\n" : "Windows Registry Editor Version 5.00\n\n") + body;
    std::string crlf;
    for (const char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// The kept branch below the PCI key, one line per key and value; text values
// as text, others as hex bytes; the type after the name unless it is REG_SZ.
void describe(KeyTreeRegistry::Node& node, const std::string& path, std::string& out)
{
    for (const auto& [name, type, data] : node.values) {
        const bool text = !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1;
        out += path + ":" + name + (type == registryType::string ? "" : "(" + std::to_string(type) + ")") + "=";
        if (text) {
            out += data.substr(0, data.size() - 1);
        } else {
            for (const char c : data) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%02x.", static_cast<unsigned char>(c));
                out += hex;
            }
        }
        out += "\n";
    }
    for (const auto& key : node.subKeys)
        describe(*key, path + "\\" + key->name, out);
}

struct Reading {
    std::string tree;  // "none" when no export, "no branch" when it has no PCI key
    std::size_t skipped = 0;
};

Reading read(const std::string& file, std::size_t piece,
             RegExportReader::Keep keep = RegExportReader::Keep::everyValue)
{
    Reading reading;
    const auto encoding = RegExportReader::recognise(file);
    if (!encoding) {
        reading.tree = "none";
        return reading;
    }
    RegExportReader reader(*encoding, keep);
    for (std::size_t at = 0; at < file.size(); at += piece)
        reader.read(std::string_view(file).substr(at, piece));
    reader.finish();
    reading.skipped = reader.skippedLines();
    if (!reader.hasPciBranch()) {
        reading.tree = "no branch";
        return reading;
    }
    auto registry = reader.takeRegistry();
    describe(registry->addKey(pciBranchPath), "", reading.tree);
    if (reading.tree.empty())
        reading.tree = "empty";
    return reading;
}

struct Case {
    const char* what;
    Encoding encoding;
    std::string body;
    std::string tree;
    std::size_t skipped;
};

const std::string inst = "\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\3&11583659&0&C8:";

// "\\a" `levels` times: a path that many keys deeper.
std::string deepPath(std::size_t levels)
{
    std::string path;
    path.reserve(2 * levels);
    for (std::size_t i = 0; i < levels; ++i)
        path += "\\a";
    return path;
}

class Reader : public testing::TestWithParam<Case> {};

TEST_P(Reader, KeepsThePciBranchWhateverThePieces)
{
    const Case& c = GetParam();
    const std::string file = encoded(withHeader(c.body, c.encoding), c.encoding);
    const std::size_t small = file.size() > 65536 ? 4099 : 1;  // byte by byte, but for the long line
    for (const std::size_t piece : {file.size() + 1, small, std::size_t{7}}) {
        const Reading reading = read(file, piece);
        EXPECT_EQ(reading.tree, c.tree) << "in pieces of " << piece;
        EXPECT_EQ(reading.skipped, c.skipped) << "in pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(RegExport, Reader, testing::Values(
    Case{"strings and their escapes", Encoding::utf16le,
         device + "\"Class\"=\"Net\"\n\"Mfg\"=\"Intel® \\\"Ω\\\" C:\\\\ 𝄞\"\n@=\"default\"\n\"Odd\"=\"a\\qb\"\n",
         inst + "Class=Net\n" + inst + "Mfg=Intel® \"Ω\" C:\\ 𝄞\n" + inst + "=default\n" + inst + "Odd=a\\qb\n", 0},
    Case{"dword, hex and hex(N), continued", Encoding::utf16le,
         device + "\"D\"=dword:0000010a\n\"B\"=hex:01,ff,\\\n  02\n\"E\"=hex(2):25,00,41,00,a9,00,00,00\n"
                  "\"M\"=hex(7):61,00,00,00,62,00,00,00,\\\n    00,00\n\"Q\"=hex(b):01,00,00,00,00,00,00,00\n\"N\"=hex:\n",
         inst + "D(4)=0a.01.00.00.\n" + inst + "B(3)=01.ff.02.\n" + inst + "E(2)=%A©\n" + inst +
             "M(7)=61.00.62.00.00.\n" + inst + "Q(11)=01.00.00.00.00.00.00.00.\n" + inst + "N(3)=\n", 0},
    Case{"REGEDIT4 in Windows-1252, its hex(2) too", Encoding::ansi,
         device + "\"Mfg\"=\"Café €\"\n\"E\"=hex(2):43,61,66,e9,00\n",
         inst + "Mfg=Café €\n" + inst + "E(2)=Café\n", 0},
    Case{"UTF-8 with its mark", Encoding::utf8, device + "\"Mfg\"=\"Café €\"\n", inst + "Mfg=Café €\n", 0},
    Case{"comments and blank lines", Encoding::utf16le,
         "; a comment [HKEY_LOCAL_MACHINE]\n" + device + "  ; \"Class\"=\"no\"\n\n\"Class\"=\"Net\"\n# another\n",
         inst + "Class=Net\n", 0},
    Case{"deletions of keys and values", Encoding::utf16le,
         device + "\"Class\"=\"Net\"\n\"Mfg\"=\"Intel\"\n\"Mfg\"=-\n" + pci + "VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06\\1]\n\"Class\"=\"x\"\n"
             "[-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06]\n\"Class\"=\"ignored\"\n",
         inst + "Class=Net\n", 0},
    Case{"a device deleted and made again", Encoding::utf16le,
         device + "\"Class\"=\"Net\"\n[-" + pci.substr(1) + "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00]\n" +
             device + "\"Mfg\"=\"Intel\"\n",
         inst + "Mfg=Intel\n", 0},
    Case{"a deletion above the branch", Encoding::utf16le,
         device + "\"Class\"=\"Net\"\n[-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum]\n", "no branch", 0},
    Case{"a parent key's export: only the branch is kept", Encoding::utf16le,
         "[HKEY_LOCAL_MACHINE\\SYSTEM]\n\"x\"=bogus line outside\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\e1000e]\n"
         "\"Blob\"=hex:01,02,\\\n  03,04\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\x]\n\"ImagePath\"=\"e1000e.sys\"\n"
         "[hkey_local_machine\\system\\currentcontrolset\\enum\\pci]\n" + device + "\"Class\"=\"Net\"\n" +
         "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCIIDE\\y]\n\"Class\"=\"no\"\n",
         inst + "Class=Net\n", 0},
    Case{"control sets: the one Select names", Encoding::utf16le,
         "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Enum\\PCI\\VEN_1]\n\"A\"=\"one\"\n"
         "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Enum\\PCI\\VEN_2]\n\"A\"=\"two\"\n"
         "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n\"Current\"=dword:00000002\n",
         "\\VEN_2:A=two\n", 0},
    // A SYSTEM hive of another machine loaded (reg load HKLM\CUSTOMER ...) and exported.
    Case{"a hive loaded under another key: the control set its own Select names", Encoding::utf16le,
         "[HKEY_LOCAL_MACHINE\\CUSTOMER\\ControlSet001\\Enum\\PCI\\VEN_1\\1]\n\"A\"=\"one\"\n"
         "[HKEY_LOCAL_MACHINE\\CUSTOMER\\ControlSet002\\Enum\\PCI\\VEN_2\\1]\n\"A\"=\"two\"\n"
         "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n\"Current\"=dword:00000001\n"
         "[HKEY_LOCAL_MACHINE\\CUSTOMER\\Select]\n\"Current\"=dword:00000002\n",
         "\\VEN_2\\1:A=two\n", 0},
    Case{"under HKEY_USERS, Select's Default where its Current has no branch", Encoding::utf16le,
         "[HKEY_USERS\\X\\ControlSet001\\Enum\\PCI\\VEN_1\\1]\n\"A\"=\"one\"\n"
         "[hku\\x\\controlset003\\enum\\pci\\VEN_3\\1]\n\"A\"=\"three\"\n"
         "[HKEY_USERS\\X\\Select]\n\"Current\"=dword:00000002\n\"Default\"=dword:00000003\n",
         "\\VEN_3\\1:A=three\n", 0},
    Case{"one control set of a loaded hive", Encoding::utf16le,
         "[HKEY_LOCAL_MACHINE\\CUSTOMER\\ControlSet001]\n[HKEY_LOCAL_MACHINE\\CUSTOMER\\ControlSet001\\Enum]\n"
         "[HKEY_LOCAL_MACHINE\\CUSTOMER\\ControlSet001\\Enum\\PCI\\VEN_1\\1]\n\"A\"=\"one\"\n",
         "\\VEN_1\\1:A=one\n", 0},
    Case{"the machine's own SYSTEM before a hive loaded beside it", Encoding::utf16le,
         "[HKEY_LOCAL_MACHINE\\A\\ControlSet001\\Enum\\PCI\\VEN_A\\1]\n\"A\"=\"a\"\n" + device +
             "\"Class\"=\"Net\"\n[HKEY_LOCAL_MACHINE\\B\\ControlSet001\\Enum\\PCI\\VEN_B\\1]\n\"A\"=\"b\"\n",
         inst + "Class=Net\n", 0},
    Case{"of two loaded hives the first named", Encoding::utf16le,
         "[HKEY_LOCAL_MACHINE\\B\\ControlSet001\\Enum\\PCI\\VEN_B\\1]\n\"A\"=\"b\"\n"
         "[HKEY_LOCAL_MACHINE\\A\\ControlSet001\\Enum\\PCI\\VEN_A\\1]\n\"A\"=\"a\"\n",
         "\\VEN_B\\1:A=b\n", 0},
    Case{"a loaded hive deleted, its Select with it", Encoding::utf16le,
         "[HKEY_LOCAL_MACHINE\\B\\ControlSet001\\Enum\\PCI\\VEN_B\\1]\n\"A\"=\"b\"\n"
         "[HKEY_LOCAL_MACHINE\\A\\ControlSet001\\Enum\\PCI\\VEN_A\\1]\n\"A\"=\"a\"\n"
         "[HKEY_LOCAL_MACHINE\\A\\ControlSet002\\Enum\\PCI\\VEN_A2\\1]\n\"A\"=\"a2\"\n"
         "[HKEY_LOCAL_MACHINE\\A\\Select]\n\"Current\"=dword:2\n[-HKEY_LOCAL_MACHINE\\B]\n"
         "[-HKEY_LOCAL_MACHINE\\A\\Select]\n",
         "\\VEN_A\\1:A=a\n", 0},
    Case{"malformed lines are skipped and counted, inside the branch only", Encoding::utf16le,
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\x]\nrubbish\n" + device + "\"Class\"=\"Net\"\nrubbish\n\"A\"=\"open\n\"B\"=dword:123456789\n"
         "\"C\"=hex:1g\n\"D\"=str(2):\"x\"\n\"E\"\n\"F\"=\"x\" y\n[HKEY_LOCAL_MACHINE\\SYSTEM\n\"Mfg\"=\"after a broken key line: lost\"\n",
         inst + "Class=Net\n", 8},
    Case{"a truncated file: the value cut off is skipped", Encoding::utf16le,
         device + "\"Class\"=\"Net\"\n\"Mfg\"=hex(2):41,00,\\", inst + "Class=Net\n", 1},
    Case{"a line too long to keep", Encoding::utf16le,
         device + "\"Class\"=\"Net\"\n\"Big\"=\"" + std::string(RegExportReader::maxLineBytes, 'x') + "\"\n",
         inst + "Class=Net\n", 1},
    // The registry's limit: 512 names, the hive's included (the device key is the 7th).
    Case{"a key 512 levels deep is passed over, one deeper is skipped with its values", Encoding::utf16le,
         device + "\"Class\"=\"Net\"\n" + device.substr(0, device.size() - 2) + deepPath(505) + "]\n" +
             device.substr(0, device.size() - 2) + deepPath(506) + "]\n\"Lost\"=\"x\"\n",
         inst + "Class=Net\n", 1},
    Case{"keys below an instance are passed over with their values", Encoding::utf16le,
         device.substr(0, device.size() - 2) + "\\Device Parameters]\n\"Lost\"=\"x\"\n" + device +
             "\"Class\"=\"Net\"\n",
         inst + "Class=Net\n", 0},
    Case{"values set again, in another case, deleted and set anew keep their order", Encoding::ansi,
         device + "\"A\"=\"1\"\n\"B\"=\"2\"\n\"C\"=\"3\"\n\"a\"=\"4\"\n\"b\"=-\n\"B\"=\"5\"\n\"c\"=-\n\"x\"=-\n",
         inst + "A=4\n" + inst + "B=5\n", 0}));

// The scan's records, a line each: the fields read from the registry.
std::string describe(const DeviceRecords& records)
{
    std::string out;
    for (const auto& record : records) {
        out += record->keyName + "|" + record->deviceClass + "|" + record->manufacturer + "|" + record->description +
               "|" + std::to_string(static_cast<int>(record->driverState)) + "|" + record->driver + "|" +
               record->location + "|";
        for (const auto* ids : {&record->recordedHardwareIds, &record->recordedCompatibleIds})
            for (const std::string& id : *ids)
                out += id + ",";
        out += record->driverKeysRecorded ? "|keys" : "|";
        if (const auto& installed = record->installedDriver)
            out += "|" + installed->description + "," + installed->version + "," + installed->date;
        if (record->driverRank)
            out += "|rank " + std::to_string(*record->driverRank);
        out += "\n";
    }
    return out;
}

// The records and skipped lines of a file read as `keep` says: Keep::records
// makes them as it reads (none when it asks for the whole branch), the
// others hold the branch for the scan.
std::optional<Reading> recordsOf(const std::string& file, std::size_t piece, RegExportReader::Keep keep)
{
    RegExportReader reader(*RegExportReader::recognise(file), keep);
    for (std::size_t at = 0; at < file.size(); at += piece)
        reader.read(std::string_view(file).substr(at, piece));
    reader.finish();
    if (reader.needsWholeBranch())
        return std::nullopt;
    Reading reading;
    reading.skipped = reader.skippedLines();
    if (!reader.hasPciBranch())
        reading.tree = "no branch";
    else if (keep == RegExportReader::Keep::records)
        reading.tree = describe(reader.takeRecords());
    else
        reading.tree = describe(readPciBranch(*reader.takeRegistry()));
    return reading;
}

struct DevicesCase {
    const char* what;
    std::string body;
    bool wholeBranch;  // the file cannot be read a device at a time
    const char* holds = "";  // what the records hold, the installed drivers in particular
};

class Devices : public testing::TestWithParam<DevicesCase> {};

TEST_P(Devices, AreRecordedAsTheScanOfTheWholeBranchRecordsThem)
{
    const DevicesCase& c = GetParam();
    const std::string file = encoded(withHeader(c.body, Encoding::utf16le), Encoding::utf16le);
    const auto whole = recordsOf(file, file.size(), RegExportReader::Keep::scannedValues);
    ASSERT_TRUE(whole);
    EXPECT_NE(whole->tree.find(c.holds), std::string::npos) << whole->tree;
    for (const std::size_t piece : {file.size() + 1, std::size_t{1}, std::size_t{7}}) {
        const auto streamed = recordsOf(file, piece, RegExportReader::Keep::records);
        ASSERT_EQ(!streamed, c.wholeBranch) << "in pieces of " << piece;
        if (streamed) {
            EXPECT_EQ(streamed->tree, whole->tree) << "in pieces of " << piece;
            EXPECT_EQ(streamed->skipped, whole->skipped) << "in pieces of " << piece;
        }
    }
}

const std::string cs1 = "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Enum\\PCI\\";
const std::string cs2 = "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Enum\\PCI\\";
const std::string venA = "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", venB = "VEN_10EC&DEV_8168&SUBSYS_01231028&REV_06";
const std::string venC = "VEN_1AF4&DEV_1000&SUBSYS_00011AF4&REV_00";
const std::string values = "\"Class\"=\"Net\"\n\"Mfg\"=\"@oem1.inf,%m%;Intel\"\n\"Service\"=\"e1000e\"\n"
                           "\"LocationInformation\"=\"@pci.sys,#1;PCI bus %1, device %2;(3,4)\"\n"
                           "\"HardwareID\"=hex(7):50,00,43,00,49,00,00,00,41,00,00,00,00,00\n\"ConfigFlags\"=dword:1\n";

const std::string classes = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\";
const std::string driverKey = "\"DriverDesc\"=\"Intel NIC\"\n\"DriverVersion\"=\"12.1\"\n\"DriverDate\"=\"3-4-2021\"\n"
                              "\"InfPath\"=\"oem2.inf\"\n\"Other\"=\"not kept\"\n";

INSTANTIATE_TEST_SUITE_P(RegExport, Devices, testing::Values(
    DevicesCase{"devices one after another, in the chosen control set and another", pci + venA + "]\n" + pci + venA +
        "\\1]\n" + values + pci + venB + "\\1]\n\"DeviceDesc\"=\"x;Realtek\"\n" + cs1 + venA + "\\1]\n\"Class\"=\"old\"\n" +
        pci + venC + "\\1]\n\"Driver\"=\"{x}\\\\0001\"\n", false},
    DevicesCase{"control sets in turn, Select naming the second", cs1 + venA + "\\1]\n" + values + cs2 + venB +
        "\\1]\n" + values + cs1 + venC + "\\1]\n\"Class\"=\"c\"\n" + cs2 + venC + "\\2]\n\"Class\"=\"d\"\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n\"Current\"=dword:00000002\n", false},
    DevicesCase{"a device's keys in another case, deeper keys, other keys and bad lines between", pci + venA +
        "\\2]\n\"Class\"=\"second instance, first listed\"\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\X]\n"
        "\"a\"=\"b\"\nrubbish\n" + pci + "ven_8086&dev_10d3&subsys_a01f8086&rev_00\\1]\n" + values + "\"B\"=dword:x\n" + pci +
        venA + "\\1\\Device Parameters]\n\"Class\"=\"below\"\n" + pci + venB + "\\1]\n" + values, false},
    DevicesCase{"short device keys and one without an instance, left out", pci + "VEN_1\\1]\n" + values + pci + venA +
        "]\n\"Class\"=\"x\"\n" + pci + venB + "\\1]\n" + values, false},
    DevicesCase{"the same devices in two hives in turn, the second's Select naming its second control set",
        cs1 + venA + "\\1]\n" + values + "[HKEY_USERS\\C\\ControlSet001\\Enum\\PCI\\" + venA + "\\1]\n" +
        values + "[HKEY_USERS\\C\\ControlSet002\\Enum\\PCI\\" + venB + "\\1]\n" + values + cs1 + venB + "\\1]\n" +
        values + "[HKEY_USERS\\C\\Select]\n\"Current\"=dword:00000002\n", false},
    DevicesCase{"a device's keys again after another's", pci + venA + "\\1]\n" + values + pci + venB + "\\1]\n" +
        values + pci + venA + "\\1]\n\"Service\"=\"later\"\n", true},
    DevicesCase{"driver keys before the devices, and a device's rank", classes + "{c}\\0001]\n" + driverKey + pci + venA +
        "\\1]\n\"Driver\"=\"{c}\\\\0001\"\n" + pci + venA + "\\1\\Properties\\{a8b865dd-2e3d-4094-ad97-e593a70c75d6}\\000E]\n"
        "@=hex(ffff0007):01,20,ff,00\n" + pci + venB + "\\1]\n\"Driver\"=\"{c}\\\\0002\"\n", false,
        "|keys|Intel NIC,12.1,2021-03-04|rank 16719873\nVEN_10EC&DEV_8168&SUBSYS_01231028&REV_06|||unknown value|2||||keys\n"},
    DevicesCase{"driver keys after the devices", pci + venA + "\\1]\n\"Driver\"=\"{c}\\\\0001\"\n" + classes +
        "{c}\\0001]\n" + driverKey, false, "|keys|Intel NIC,12.1,2021-03-04\n"},
    DevicesCase{"a driver key deleted", classes + "{c}\\0001]\n" + driverKey + "[-HKEY_LOCAL_MACHINE\\SYSTEM\\"
        "CurrentControlSet\\Control\\Class\\{c}\\0001]\n" + pci + venA + "\\1]\n\"Driver\"=\"{c}\\\\0001\"\n", true,
        "|keys\n"},
    DevicesCase{"a key deleted", pci + venA + "\\1]\n" + values + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\x]\n" + pci + venB +
        "\\1]\n" + values, true}));

// What the programs keep of a file: the values the scan reads, of instance
// keys; the lines of the others are checked all the same.
TEST(RegExport, KeepsTheScannedValuesAlone)
{
    const std::string body = pci + "VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00]\n\"Class\"=\"device key\"\n" + device +
                             "\"class\"=\"Net\"\n\"ContainerID\"=\"{x}\"\n\"Capabilities\"=dword:12345678x\n"
                             "\"LocationInformation\"=\"PCI bus 1\"\n\"Service\"=-\n";
    const Reading reading = read(encoded(withHeader(body, Encoding::utf16le), Encoding::utf16le), 5,
                                 RegExportReader::Keep::scannedValues);
    EXPECT_EQ(reading.tree, inst + "class=Net\n" + inst + "LocationInformation=PCI bus 1\n");
    EXPECT_EQ(reading.skipped, 1u);
}

// A key line of 300,000 levels (600 KB) once took the tree's destructor
// that many frames deep and crashed on the default stack.
TEST(RegExport, AKeyOfAnyDepthIsSkippedWithoutRecursion)
{
    const std::string file = withHeader(device.substr(0, device.size() - 2) + deepPath(300000) + "]\n\"Class\"=\"x\"\n",
                                        Encoding::ansi);
    const Reading reading = read(file, file.size());
    EXPECT_EQ(reading.tree, "no branch");
    EXPECT_EQ(reading.skipped, 1u);
}

// Keys 500 levels below an instance were kept a node a level: 4 MB of such
// lines took 437 MB, 8 MB ran out of memory. The scan reads nothing below
// an instance, so nothing is kept there: such lines cost no memory however many.
TEST(RegExport, KeysBelowAnInstanceKeepNothing)
{
    const auto allocationsKeptReading = [](int deepKeys) {
        std::string file = withHeader(device + "\"Class\"=\"Net\"\n", Encoding::ansi);
        for (int i = 0; i < deepKeys; ++i)
            file += device.substr(0, device.size() - 2) + "\\" + std::to_string(i) + deepPath(499) +
                    "]\r\n\"Value\"=\"x\"\r\n";
        const long before = liveAllocations;
        std::unique_ptr<KeyTreeRegistry> registry;
        {
            RegExportReader reader(Encoding::ansi);
            reader.read(file);
            reader.finish();
            registry = reader.takeRegistry();
        }
        Registry::Key instance = 0;
        char name[256];
        EXPECT_EQ(registry->openKey(Registry::localMachine, (pciBranchPath + inst.substr(0, inst.size() - 1)).c_str(),
                                    &instance), registryError::success);
        EXPECT_EQ(registry->enumKey(instance, 0, name, sizeof name), registryError::noMoreItems);
        registry->closeKey(instance);
        return liveAllocations - before;
    };
    EXPECT_EQ(allocationsKeptReading(2000), allocationsKeptReading(1));
}

// What ends a tree may be that memory ran out: its destructor then runs
// while std::bad_alloc unwinds, and one that allocates ends the program.
TEST(KeyTreeRegistry, IsDestroyedWithoutAllocating)
{
    auto registry = std::make_unique<KeyTreeRegistry>();
    registry->addKey(std::string(pciBranchPath) + deepPath(10000));
    for (int i = 0; i < 100; ++i)
        registry->addKey(std::string(pciBranchPath) + "\\key " + std::to_string(i)).setString("Value", "text");
    const long before = allocationCount;
    registry.reset();
    EXPECT_EQ(allocationCount, before);
}

// Beyond a few, keys and values are found through an index of their
// folded names: in any case, and gone from it once removed.
TEST(KeyTreeRegistry, KeysAndValuesOfManyAreFoundInAnyCase)
{
    KeyTreeRegistry registry;
    KeyTreeRegistry::Node& branch = registry.addKey(pciBranchPath);
    for (int i = 0; i < 40; ++i) {
        branch.addSubKey("Key" + std::to_string(i));
        branch.setString("Value" + std::to_string(i), std::to_string(i));
    }
    EXPECT_EQ(&branch.addSubKey("KEY7"), branch.subKey("key7"));
    EXPECT_EQ(branch.subKeys.size(), 40u);
    ASSERT_NE(branch.value("VALUE39"), nullptr);
    EXPECT_EQ(branch.value("VALUE39")->data, std::string("39", 3));
    branch.removeSubKey("KEY7");
    branch.removeValue("value8");
    EXPECT_EQ(branch.subKey("Key7"), nullptr);
    EXPECT_EQ(branch.value("Value8"), nullptr);
    branch.setString("VALUE8", "again");
    EXPECT_EQ(branch.values.back().name, "VALUE8");
    EXPECT_EQ(branch.value("value8")->data, std::string("again", 6));
    EXPECT_NE(branch.subKey("kEy39"), nullptr);
}

TEST(KeyTreeRegistry, TreesOfAnyDepthAreRemovedAndDestroyedWithoutRecursion)
{
    const std::string path = std::string(pciBranchPath) + deepPath(300000);
    {
        KeyTreeRegistry registry;
        registry.addKey(path + "\\b");
        registry.removeKey(path.substr(0, 200000));
        EXPECT_NE(registry.addKey(pciBranchPath).subKey("a"), nullptr);
        registry.addKey(path);
    }  // destroyed here
    KeyTreeRegistry registry;
    registry.addKey(path).setString("Class", "deep");
    registry.removeKey(pciBranchPath);
    Registry::Key key = 0;
    EXPECT_EQ(registry.openKey(Registry::localMachine, pciBranchPath, &key), registryError::fileNotFound);
}

struct HeadCase {
    std::string head;
    std::optional<Encoding> encoding;
};

class Recognise : public testing::TestWithParam<HeadCase> {};

TEST_P(Recognise, TellsAnExportByItsFirstLine)
{
    EXPECT_EQ(RegExportReader::recognise(GetParam().head), GetParam().encoding);
}

INSTANTIATE_TEST_SUITE_P(RegExport, Recognise, testing::Values(
    HeadCase{encoded("Windows Registry Editor Version 5.00\r\n", Encoding::utf16le), Encoding::utf16le},
    HeadCase{encoded("Windows Registry Editor Version 5.00\r\n", Encoding::utf16le, false), Encoding::utf16le},
    HeadCase{encoded("Windows Registry Editor Version 5.00\n", Encoding::utf8), Encoding::utf8},
    HeadCase{"Windows Registry Editor Version 5.00\r\n", Encoding::utf8},
    HeadCase{"REGEDIT4\r\n", Encoding::ansi},
    HeadCase{"REGEDIT4", Encoding::ansi},
    HeadCase{"REGEDIT5\r\n", std::nullopt},
    HeadCase{"00:00.0 Host bridge: Intel Corporation\n00: 86 80\n", std::nullopt},
    HeadCase{encoded("Windows Registry Editor Version 5.0", Encoding::utf16le), std::nullopt},
    HeadCase{"", std::nullopt}));

}
