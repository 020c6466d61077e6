// SPDX-License-Identifier: GPL-2.0-or-later
// The HTML report: texts from a file shown as text, never as markup; the
// devices that need attention first; sections and their contents; the
// proposed file name and the date.
#include "htmlReport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Devices = std::vector<std::unique_ptr<DeviceRecord>>;

std::unique_ptr<DeviceRecord> device(const std::string& description, DriverState state, bool inDatabase)
{
    auto record = std::make_unique<DeviceRecord>("VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01", "0");
    record->description = description;
    record->driverState = state;
    record->driver = "netkvm";
    record->inDatabase = inDatabase;
    record->entry.text2 = "pci.ids 2023.04.10";  // the list the database line was made from
    record->recordedHardwareIds = {"PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01"};
    return record;
}

// SOURCE_DATE_EPOCH set to `value`, or unset for null.
void setDateEpoch(const char* value)
{
#ifdef _WIN32
    _putenv_s("SOURCE_DATE_EPOCH", value ? value : "");
#else
    if (value)
        setenv("SOURCE_DATE_EPOCH", value, 1);
    else
        unsetenv("SOURCE_DATE_EPOCH");
#endif
}

const ReportSettings settings{"devices.lst", "2026-12-08 17:49 UTC", false};

TEST(HtmlReport, ShowsHostileTextsAsText)
{
    Devices devices;
    devices.push_back(device("<script>alert(1)</script>\xE2\x80\xAE" "evil\x1b[2J\"'", DriverState::none, false));
    devices.back()->location = "<img src=x onerror=alert(2)>";
    devices.back()->entry.text1 = "</td></tr></table><b>";
    devices.back()->inDatabase = true;
    const std::string html =
        htmlReport(settings, {"<b>PC</b>&amp;", "C:\\exports\\a<b&c>.reg\xE2\x81\xA7", &devices});
    for (const char* markup : {"<script", "<img", "<b>", "</table><", "\xE2\x80\xAE", "\xE2\x81\xA7", "\x1b"})
        EXPECT_EQ(html.find(markup), std::string::npos) << markup;
    for (const char* shown : {"&lt;script&gt;alert(1)&lt;/script&gt;\\u202eevil\\x1b[2J&quot;&#39;",
                              "&lt;img src=x onerror=alert(2)&gt;", "&lt;b&gt;PC&lt;/b&gt;&amp;amp;",
                              "a&lt;b&amp;c&gt;.reg\\u2067", "&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;b&gt;"})
        EXPECT_NE(html.find(shown), std::string::npos) << shown;
}

TEST(HtmlReport, ListsTheDevicesThatNeedAttentionFirstAndCountsThem)
{
    Devices devices;
    devices.push_back(device("Fine one", DriverState::bound, true));
    devices.push_back(device("Driverless", DriverState::none, true));
    devices.push_back(device("Fine two", DriverState::bound, true));
    devices.push_back(device("Unknown and off", DriverState::disabled, false));
    const std::string html = htmlReport(settings, {"pc", "", &devices});
    const auto at = [&html](const char* text) { return html.find(text); };
    EXPECT_LT(at(">Driverless<"), at(">Unknown and off<"));
    EXPECT_LT(at(">Unknown and off<"), at(">Fine one<"));
    EXPECT_LT(at(">Fine one<"), at(">Fine two<"));
    EXPECT_NE(at("<strong>4</strong> devices"), std::string::npos);
    EXPECT_NE(at("<strong>2</strong> need attention"), std::string::npos);
    EXPECT_NE(at("Disabled, not in the database</td>"), std::string::npos);
    EXPECT_NE(at("<use href=\"#mark-disabled-unknown\"/>"), std::string::npos);
    EXPECT_NE(at("This computer, as its system records it"), std::string::npos);
    EXPECT_NE(at("<dd>devices.lst (pci.ids 2023.04.10)</dd>"), std::string::npos);

    const std::string attention = htmlReport({"devices.lst", "now", true}, {"pc", "", &devices});
    EXPECT_EQ(attention.find("Fine one"), std::string::npos);
    EXPECT_NE(attention.find("<strong>4</strong> devices"), std::string::npos);  // the summary counts all
}

// The section of better drivers: where installed drivers and a folder are
// both known, a row for each device that would get one, linked to its
// outline where the report lists it; with --updates, those devices alone.
TEST(HtmlReport, BetterDriversHaveASectionWhereThereIsSomethingToCompare)
{
    const DriverFit newer{"NetKVM/netkvm.inf", "drivers", "Red Hat VirtIO Ethernet Adapter", "Red Hat, Inc.", "Net",
                          "2026-07-22", "100.101.26000.27200", "PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01",
                          0x00FF0000, true};
    Devices devices;
    for (const char* version : {"100.94.0.0", "100.102.0.0"}) {
        devices.push_back(device(std::string("Installed ") + version, DriverState::bound, true));
        devices.back()->driverKeysRecorded = true;
        devices.back()->installedDriver = InstalledDriver{"Red Hat VirtIO Ethernet Adapter", "Red Hat, Inc.",
                                                          "2025-01-01", version, "oem3.inf", "kvmnet6.ndi",
                                                          "PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01"};
    }
    devices[1]->installedDriver->date = "2027-01-01";
    devices.push_back(device("Never installed", DriverState::none, true));
    const auto section = [&devices](const ReportSettings& chosen) {
        const std::string html = htmlReport(chosen, {"pc", "", &devices});
        const std::size_t start = html.find("<h3>Better drivers in the folder</h3>");
        return start == std::string::npos ? std::string() : html.substr(start, html.find("<h3>Devices") - start);
    };
    EXPECT_EQ(section(settings), "") << "no folder looked in";
    for (auto& record : devices)
        record->fits = std::vector<DriverFit>{newer};
    const std::string all = section(settings);
    EXPECT_NE(all.find("<p>1 of 3 devices would get a better driver from the folder; 1 has the best there is.</p>"),
              std::string::npos) << all;
    EXPECT_NE(all.find("<a href=\"#machine-1-device-1\">Installed 100.94.0.0</a></td><td>100.94.0.0, 2025-01-01</td>"
                       "<td>Red Hat VirtIO Ethernet Adapter<br>100.101.26000.27200, 2026-07-22 (newer than installed)"),
              std::string::npos) << all;
    EXPECT_EQ(all.find("Installed 100.102.0.0"), std::string::npos);
    // The attention view leaves the device out of the report: its row is no link.
    EXPECT_NE(section({"devices.lst", "", true}).find("<tr><td>Installed 100.94.0.0</td>"), std::string::npos);
    const std::string updates = htmlReport({"devices.lst", "", false, std::nullopt, true}, {"pc", "", &devices});
    EXPECT_EQ(updates.find("Never installed"), std::string::npos);
    EXPECT_NE(updates.find("Only the devices that would get a better driver are listed."), std::string::npos);
}

TEST(HtmlReport, SeveralSourcesHaveContentsAndAFailedOneSaysWhy)
{
    Devices devices;
    devices.push_back(device("A device", DriverState::bound, true));
    const std::string html = reportStart(std::vector<std::string>{"one.reg", "two&.reg"}) +
                             machineSection(settings, 0, {"ONE", "one.reg", &devices}) +
                             failedSection(1, "two&.reg", "Failed to open two&.reg <gone>") + reportEnd();
    EXPECT_NE(html.find("<a href=\"#machine-1\">one.reg</a>"), std::string::npos);
    EXPECT_NE(html.find("<a href=\"#machine-2\">two&amp;.reg</a>"), std::string::npos);
    EXPECT_NE(html.find("<section class=\"machine\" id=\"machine-2\">\n<h2>two&amp;.reg</h2>"), std::string::npos);
    EXPECT_NE(html.find("Failed to open two&amp;.reg &lt;gone&gt;"), std::string::npos);
    EXPECT_NE(html.find("href=\"#machine-1-device-1\""), std::string::npos);
    EXPECT_NE(html.find("id=\"machine-1-device-1\""), std::string::npos);
}

// What the report was made with, said at its top: where drivers were looked
// for, how many INF files that was, for which Windows, and the file's notice;
// the best driver that fits is a column of the table.
TEST(HtmlReport, SaysItsContextAndEachDevicesBestDriver)
{
    Devices devices;
    devices.push_back(device("Fits", DriverState::none, true));
    devices.back()->fits = std::vector<DriverFit>{{"NetKVM/netkvm.inf", "/mnt/d", "Red Hat VirtIO Ethernet Adapter",
                                                   "Red Hat, Inc.", "Net", "2026-07-22", "100.101.104.28600",
                                                   "PCI\\VEN_1AF4&DEV_1041", 0x00ff0000, true}};
    devices.push_back(device("Fits not", DriverState::bound, true));
    devices.back()->fits.emplace();
    const ReportSettings withDrivers{"devices.lst", "now", false,
                                     ReportDrivers{{"/mnt/d", "/mnt/<e>"}, 1, "Windows 10.0 build 26100 (amd64)"}};
    const std::string html =
        htmlReport(withDrivers, {"pc", "SYSTEM", &devices, "SYSTEM was not closed cleanly\nthe devices may be older"});
    for (const char* said : {"<dt>Drivers looked for in</dt><dd>/mnt/d, /mnt/&lt;e&gt; (1 INF file)</dd>",
                             "<dt>Drivers chosen for</dt><dd>Windows 10.0 build 26100 (amd64)</dd>",
                             "<dt>Notice</dt><dd>SYSTEM was not closed cleanly<br>the devices may be older</dd>",
                             "<th scope=\"col\">Best driver that fits</th>",
                             "<td>Red Hat VirtIO Ethernet Adapter, 100.101.104.28600, 2026-07-22, signed</td>",
                             "<td><span class=\"note\">None fits</span></td>"})
        EXPECT_NE(html.find(said), std::string::npos) << said;
    // Without a folder, none of it.
    const std::string plain = htmlReport(settings, {"pc", "", &devices});
    for (const char* unsaid : {"Drivers looked for in", "Best driver that fits", "<dt>Notice</dt>"})
        EXPECT_EQ(plain.find(unsaid), std::string::npos) << unsaid;
}

std::string repeated(const std::string& text, std::size_t times)
{
    std::string result;
    for (std::size_t i = 0; i < times; ++i)
        result += text;
    return result;
}

TEST(HtmlReport, ProposesAFileNameAfterTheMachine)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"DESKTOP-1234", "corvane-DESKTOP-1234.html"},
        {"a/b\\c:d*e?f\"g<h>i|j k", "corvane-a_b_c_d_e_f_g_h_i_j_k.html"},
        {"..hidden.", "corvane-hidden.html"},
        {"tab\there\x7f", "corvane-tab_here.html"},
        {"Пк", "corvane-Пк.html"},
        {"", "corvane-report.html"},
        {"...", "corvane-report.html"},
        // Cut to the 255 bytes a file system takes, at a character's start.
        {std::string(254, 'x') + ".reg", "corvane-" + std::string(242, 'x') + ".html"},
        {"x" + repeated("\xD0\x9F", 200), "corvane-x" + repeated("\xD0\x9F", 120) + ".html"},
        {std::string(241, 'x') + "..y", "corvane-" + std::string(241, 'x') + ".html"},
    };
    for (const auto& [machine, file] : cases) {
        EXPECT_EQ(reportFileName(machine), file) << machine;
        EXPECT_LE(reportFileName(machine).size(), maxFileNameBytes);
    }
}

TEST(HtmlReport, ShowsNoncharactersAsEscapes)
{
    Devices devices;
    devices.push_back(device("a\xEF\xBF\xBE b\xEF\xB7\x90 c\xF4\x8F\xBF\xBF", DriverState::bound, true));
    const std::string html = htmlReport({"devices.lst", "now", false}, {"m\xEF\xBF\xBF", "", &devices});
    EXPECT_EQ(html.find("\xEF\xBF\xBE"), std::string::npos);
    EXPECT_NE(html.find("a\\ufffe b\\ufdd0 c\\U0010ffff"), std::string::npos);
    EXPECT_NE(html.find("<title>Corvane report: m\\uffff</title>"), std::string::npos);
}

TEST(HtmlReport, DatesInUtcOrAsSourceDateEpochSays)
{
    setDateEpoch(nullptr);
    EXPECT_EQ(reportDate(1765216140), "2025-12-08 17:49 UTC");
    setDateEpoch("0");
    EXPECT_EQ(reportDate(1765216140), "1970-01-01 00:00 UTC");
    setDateEpoch("soon");
    EXPECT_EQ(reportDate(1765216140), "2025-12-08 17:49 UTC");
    setDateEpoch(nullptr);
}

}
