// SPDX-License-Identifier: GPL-2.0-or-later
#include "htmlReport.h"

#include "deviceOutline.h"
#include "deviceVerdict.h"
#include "installedDriver.h"
#include "markPictures.h"
#include "version.h"
#include "visibleText.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace {

// System fonts, sizes in rem and em so that any zoom keeps the proportions;
// light and dark by the reader's preference, light on paper; on paper each
// machine starts a page and no row or device is cut in two.
const char* const styles = R"(:root{color-scheme:light dark;--bg:#fff;--fg:#1c1c21;--muted:#5d5d69;--line:#d7d7de;--head:#f1f1f4;--attention:#fff5d6;--link:#1a5fb4}
@media (prefers-color-scheme:dark){:root{--bg:#19191c;--fg:#e6e6ea;--muted:#a3a3ae;--line:#3b3b44;--head:#25252b;--attention:#3b3219;--link:#8cb6f0}}
@media print{:root{color-scheme:light;--bg:#fff;--fg:#000;--muted:#444;--line:#bbb;--head:#eee;--attention:#fff3cc;--link:#000}}
html{font:100%/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Noto Sans",Ubuntu,Cantarell,"Helvetica Neue",Arial,sans-serif;background:var(--bg);color:var(--fg)}
body{margin:0 auto;padding:1.5rem;max-width:75rem}
h1{font-size:1.6rem;margin:0 0 1rem}
h2{font-size:1.35rem;margin:0 0 .5rem;overflow-wrap:anywhere}
h3{font-size:1.15rem;margin:1.5rem 0 .5rem}
h4{font-size:1rem;margin:0 0 .25rem;overflow-wrap:anywhere}
a{color:var(--link)}
section.machine{margin:0 0 3rem}
nav ol{padding-left:1.5rem}
.facts{display:grid;grid-template-columns:max-content 1fr;gap:.15rem 1rem;margin:0 0 1rem}
.facts dt{color:var(--muted)}
.facts dd{margin:0;overflow-wrap:anywhere}
.summary{margin:0 0 1rem;padding:0;list-style:none;display:flex;flex-wrap:wrap;gap:.5rem}
.summary li{border:1px solid var(--line);border-radius:.4rem;padding:.2rem .6rem}
.wide{overflow-x:auto}
table{border-collapse:collapse;width:100%;font-size:.9rem}
th,td{text-align:left;vertical-align:top;padding:.35em .5em;border-bottom:1px solid var(--line);overflow-wrap:break-word}
td.id{overflow-wrap:anywhere;min-width:15em}
td:first-child{min-width:8em}
thead th{background:var(--head)}
tr.attention td{background:var(--attention)}
.id{font-family:ui-monospace,"Cascadia Mono","SF Mono",Menlo,Consolas,"DejaVu Sans Mono",monospace;font-size:.9em}
svg.mark{width:1.1em;height:1.1em;vertical-align:-.2em;margin-right:.3em}
article.device{border-top:1px solid var(--line);padding:.6rem 0}
article.device dl{margin:0;padding-left:1.5rem;display:grid;grid-template-columns:repeat(auto-fill,minmax(17rem,1fr));gap:0 1.5rem}
article.device dl .fits{grid-column:1/-1}
article.device dt{font-weight:600;margin-top:.3rem}
article.device dd{margin:0 0 0 1.5rem;min-height:1.45em;overflow-wrap:anywhere}
article.device dd.detail{margin-left:3rem;color:var(--muted);font-size:.9em}
.error{border-left:.3rem solid #c01c28;padding:.3rem .8rem}
.note,footer{color:var(--muted)}
@media print{
html{font-size:8.5pt;line-height:1.3}
body{padding:0;max-width:none}
article.device{padding:.3rem 0}
article.device dt{margin-top:.1rem}
article.device dd{min-height:1.3em}
h3{margin:1rem 0 .3rem}
section.machine+section.machine{break-before:page}
nav{break-after:page}
tr,article.device dd{break-inside:avoid}
article.device dt,article.device h4{break-after:avoid}
article.device dl{grid-template-columns:1fr 1fr 2.4fr}
article.device dl .fits{grid-column:auto}
thead{display:table-header-group}
h2,h3,h4{break-after:avoid}
.wide{overflow:visible}
}
)";

const char* markId(DeviceMark mark)
{
    switch (mark) {
    case DeviceMark::problem: return "mark-problem";
    case DeviceMark::disabled: return "mark-disabled";
    case DeviceMark::notInDatabase: return "mark-unknown";
    case DeviceMark::problemNotInDatabase: return "mark-problem-unknown";
    case DeviceMark::disabledNotInDatabase: return "mark-disabled-unknown";
    case DeviceMark::none: break;
    }
    return "";
}

// Each picture once, as a symbol the marks refer to.
std::string markSymbols()
{
    std::string svg = "<svg class=\"symbols\" width=\"0\" height=\"0\" style=\"position:absolute\" aria-hidden=\"true\">\n";
    for (const DeviceMark mark : picturedMarks)
        svg += std::string("<symbol id=\"") + markId(mark) + "\" viewBox=\"0 0 16 16\">" + markSvgShapes(mark) +
               "</symbol>\n";
    return svg + "</svg>\n";
}

std::string markImage(DeviceMark mark)
{
    if (mark == DeviceMark::none)
        return std::string();
    const std::string says = markDescription(mark);
    return "<svg class=\"mark\" viewBox=\"0 0 16 16\" role=\"img\" aria-label=\"" + says + "\"><title>" + says +
           "</title><use href=\"#" + markId(mark) + "\"/></svg>";
}

// A text from outside as a line shows it, then escaped.
std::string shown(std::string_view raw)
{
    return htmlEscaped(text::visibleText(raw.substr(0, raw.find('\0'))));
}

std::string sourceText(const std::string& file)
{
    return file.empty() ? std::string("This computer, as its system records it") : shown(file);
}

// "No driver, not in the database".
std::string capitalizedReasons(const std::vector<AttentionReason>& reasons)
{
    std::string text = reasonsText(reasons);
    if (!text.empty())
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string count(std::size_t number, const char* one, const char* many)
{
    return "<strong>" + std::to_string(number) + "</strong> " + (number == 1 ? one : many);
}

// How many devices there are, how many need attention, and why.
std::string summary(const std::vector<std::unique_ptr<DeviceRecord>>& devices)
{
    std::array<std::size_t, 4> byReason{};
    std::size_t attention = 0;
    for (const auto& device : devices) {
        const auto reasons = device->attentionReasons();
        attention += reasons.empty() ? 0 : 1;
        for (const AttentionReason reason : reasons)
            ++byReason[static_cast<std::size_t>(reason)];
    }
    std::string html = "<ul class=\"summary\">\n<li>" + count(devices.size(), "device", "devices") + "</li>\n<li>" +
                       count(attention, "needs attention", "need attention") + "</li>\n";
    for (std::size_t reason = 0; reason < byReason.size(); ++reason)
        if (byReason[reason])
            html += "<li>" + capitalizedReasons({static_cast<AttentionReason>(reason)}) + ": <strong>" +
                    std::to_string(byReason[reason]) + "</strong></li>\n";
    return html + "</ul>\n";
}

// The database read, and what its lines that matched say they were made
// from ("devices.lst (pci.ids 2023.04.10)").
std::string databaseText(const std::string& database, const std::vector<std::unique_ptr<DeviceRecord>>& devices)
{
    std::vector<std::string> sources;
    for (const auto& device : devices) {
        if (!device->inDatabase)
            continue;
        const std::string source = shown(device->entry.text2);
        if (!source.empty() && std::find(sources.begin(), sources.end(), source) == sources.end())
            sources.push_back(source);
    }
    std::string text = shown(database);
    for (std::size_t i = 0; i < sources.size(); ++i)
        text += (i ? ", " : " (") + sources[i] + (i + 1 == sources.size() ? ")" : "");
    return text;
}

// Where the devices come from, when, the database, the drivers' folders
// and their Windows, and what the file's reading noticed.
std::string facts(const ReportSettings& settings, const ReportMachine& machine)
{
    std::string html = "<dl class=\"facts\">\n<dt>Devices of</dt><dd>" + sourceText(machine.source) +
                       "</dd>\n<dt>Report made</dt><dd>" + htmlEscaped(settings.made) + "</dd>\n<dt>Database</dt><dd>" +
                       databaseText(settings.database, *machine.devices) + "</dd>\n";
    if (settings.drivers) {
        std::string folders;
        for (const std::string& folder : settings.drivers->folders)
            folders += (folders.empty() ? "" : ", ") + shown(folder);
        const std::size_t count = settings.drivers->infFiles;
        html += "<dt>Drivers looked for in</dt><dd>" + folders + " (" + std::to_string(count) +
                (count == 1 ? " INF file" : " INF files") + ")</dd>\n<dt>Drivers chosen for</dt><dd>" +
                shown(settings.drivers->target) + "</dd>\n";
    }
    if (!machine.notice.empty()) {
        html += "<dt>Notice</dt><dd>";
        for (std::size_t start = 0; start <= machine.notice.size();) {  // a line each
            const std::size_t end = std::min(machine.notice.find('\n', start), machine.notice.size());
            html += (start ? "<br>" : "") + shown(std::string_view(machine.notice).substr(start, end - start));
            start = end + 1;
        }
        html += "</dd>\n";
    }
    return html + "</dl>\n";
}

std::string deviceAnchor(std::size_t machine, std::size_t device)
{
    return "machine-" + std::to_string(machine + 1) + "-device-" + std::to_string(device + 1);
}

std::string databaseName(const DeviceRecord& device)
{
    if (!device.inDatabase)
        return "<span class=\"note\">Not in the database</span>";
    std::string vendor = shown(device.entry.text1), name = shown(device.entry.text3);
    return vendor + (vendor.empty() || name.empty() ? "" : " ") + name;
}

// The best driver that fits, as its line leads: "Red Hat VirtIO Ethernet
// Adapter, 100.101.104.28600, 2026-07-22, signed".
std::string bestFitText(const DeviceRecord& device)
{
    if (!device.fits || device.fits->empty())
        return "<span class=\"note\">None fits</span>";
    return shown(fitSummary(device.fits->front()));
}

// A row of the devices' table: why it needs attention, its name (and place),
// its database line, its driver, the best driver that fits where a folder
// was looked in, its first hardware ID.
std::string tableRow(const DeviceRecord& device, const std::string& anchor, bool fits)
{
    const auto reasons = device.attentionReasons();
    const auto driver = driverLine(device);
    const auto hardwareIds = device.hardwareIds();
    std::vector<std::string> cells = {
        markImage(markOf(device)) + capitalizedReasons(reasons),
        "<a href=\"#" + anchor + "\">" + htmlEscaped(deviceLineText(device)) + "</a>" +
            (device.location.empty() ? "" : "<br><span class=\"note\">" + shown(device.location) + "</span>"),
        databaseName(device),
        driver ? shown(*driver) : std::string("<span class=\"note\">Not recorded</span>")};
    if (fits)
        cells.push_back(bestFitText(device));
    std::string row = reasons.empty() ? "<tr>" : "<tr class=\"attention\">";
    for (const std::string& cell : cells)
        row += "<td>" + cell + "</td>";
    return row + "<td class=\"id\">" + (hardwareIds.empty() ? std::string() : shown(hardwareIds.front())) + "</td></tr>\n";
}

// The device's outline: its label, its groups as terms, their lines below
// them (a fit's details below the fit), each group in a block of its own that
// the page sets side by side where it has the room.
std::string outlineArticle(const DeviceRecord& device, const std::string& anchor)
{
    std::string html = "<article class=\"device\" id=\"" + anchor + "\">\n";
    bool inList = false, inGroup = false, inDetail = false;
    for (const OutlineLine& line : outlineOf(device)) {
        const std::string text = htmlEscaped(line.text);  // shown as visibleText.h says already
        if (line.depth == 0) {
            html += "<h4>" + markImage(line.mark) + text + "</h4>\n";
            continue;
        }
        if (!inList)
            html += "<dl>\n";
        inList = true;
        if (line.depth == 1) {
            html += std::string(inGroup ? "</div>\n" : "") + (line.text == "Drivers that fit" ? "<div class=\"fits\">" : "<div>") +
                    "<dt>" + text + "</dt>\n";
            inGroup = true;
        } else if (line.depth > 2 && inDetail) {  // a fit's details, on one line
            html.insert(html.size() - std::strlen("</dd>\n"), " \u00b7 " + text);
        } else {
            html += (line.depth > 2 ? "<dd class=\"detail\">" : "<dd>") + text + "</dd>\n";
        }
        inDetail = line.depth > 2;
    }
    return html + (inGroup ? "</div>\n" : "") + (inList ? "</dl>\n" : "") + "</article>\n";
}

// "100.100.0.0, 2024-01-10", either alone; empty for neither.
std::string versionDate(const std::string& version, const std::string& date)
{
    return shown(version) + (version.empty() || date.empty() ? "" : ", ") + shown(date);
}

// Where drivers were looked for and installed ones are known: the devices
// that would get a better driver, the installed version beside the better
// one, and what the comparison comes to.
std::string updatesPart(const std::vector<std::unique_ptr<DeviceRecord>>& devices, std::size_t machine,
                        const std::vector<std::size_t>& listed)
{
    const bool anyCompared = std::any_of(devices.begin(), devices.end(),
                                         [](const auto& device) { return compareWithInstalled(*device).has_value(); });
    const std::string notice = installedDriversNotice(devices);
    const bool looked = std::any_of(devices.begin(), devices.end(), [](const auto& device) { return device->fits; });
    if (!looked || (!anyCompared && notice.empty()))  // nothing to compare: no folder, or a source without installed drivers
        return std::string();
    std::string html = "<h3>Better drivers in the folder</h3>\n";
    if (!notice.empty())
        return html + "<p class=\"note\">" + htmlEscaped(notice) + "</p>\n";
    std::string rows;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const DeviceRecord& device = *devices[i];
        const auto compared = compareWithInstalled(device);
        if (!compared || !compared->betterFit)
            continue;
        const InstalledDriver& installed = *device.installedDriver;
        const DriverFit& better = (*device.fits)[*compared->betterFit];
        // Linked to the device's outline where the report holds it.
        const std::string name = htmlEscaped(deviceLineText(device));
        const bool inReport = std::find(listed.begin(), listed.end(), i) != listed.end();
        rows += "<tr><td>" + (inReport ? "<a href=\"#" + deviceAnchor(machine, i) + "\">" + name + "</a>" : name) +
                "</td><td>" + versionDate(installed.version, installed.date) + "</td><td>" + shown(better.model) +
                "<br>" + versionDate(better.driverVersion, better.driverDate) + " (" +
                fitStandingWords(fitStanding(device, compared, *compared->betterFit)) + ")</td><td class=\"id\">" +
                shown(better.inf) + "</td></tr>\n";
    }
    html += "<p>" + htmlEscaped(updatesVerdictOf(devices)) + ".</p>\n";
    if (rows.empty())
        return html;
    return html + "<div class=\"wide\">\n<table>\n<thead><tr><th scope=\"col\">Device</th><th scope=\"col\">Installed"
                  "</th><th scope=\"col\">Better</th><th scope=\"col\">INF</th></tr></thead>\n<tbody>\n" +
           rows + "</tbody>\n</table>\n</div>\n";
}

std::string sectionStart(std::size_t index, const std::string& heading)
{
    return "<section class=\"machine\" id=\"machine-" + std::to_string(index + 1) + "\">\n<h2>" + heading + "</h2>\n";
}

}

std::string htmlEscaped(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

namespace {

std::string documentStart(const std::string& title)
{
    // The policy forbids what the report never needs: nothing is fetched or run, whatever a text held.
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<meta name=\"generator\" content=\"Corvane " CORVANE_VERSION "\">\n<title>" +
           title + "</title>\n<style>\n" + styles + "</style>\n</head>\n<body>\n" + markSymbols() + "<main>\n";
}

}

std::string reportStart(std::string_view machineName)
{
    return documentStart("Corvane report: " + shown(machineName)) + "<h1>Corvane report</h1>\n";
}

std::string reportStart(const std::vector<std::string>& sources)
{
    std::string html = documentStart("Corvane report: " + std::to_string(sources.size()) + " machines");
    html += "<h1>Corvane report: " + std::to_string(sources.size()) + " machines</h1>\n<nav aria-label=\"Machines\">\n<ol>\n";
    for (std::size_t i = 0; i < sources.size(); ++i)
        html += "<li><a href=\"#machine-" + std::to_string(i + 1) + "\">" + sourceText(sources[i]) + "</a></li>\n";
    return html + "</ol>\n</nav>\n";
}

std::string machineSection(const ReportSettings& settings, std::size_t index, const ReportMachine& machine)
{
    const auto& devices = *machine.devices;
    std::string html = sectionStart(index, shown(machine.name)) + facts(settings, machine) + summary(devices);

    // Those that need attention first, each group in the order read.
    std::vector<std::size_t> listed;
    for (const bool attention : {true, false})
        for (std::size_t i = 0; i < devices.size(); ++i)
            if (devices[i]->needsAttention() == attention && (attention || !settings.attentionOnly) &&
                (!settings.updatesOnly || hasBetterDriver(*devices[i])))
                listed.push_back(i);
    html += updatesPart(devices, index, listed);
    if (settings.attentionOnly)
        html += "<p class=\"note\">Only the devices that need attention are listed.</p>\n";
    if (settings.updatesOnly)
        html += "<p class=\"note\">Only the devices that would get a better driver are listed.</p>\n";
    if (listed.empty())
        return html + "<p>" + (devices.empty()                 ? "No PCI devices are recorded."
                               : settings.updatesOnly ? "No device would get a better driver."
                                                      : "No device needs attention.") +
               "</p>\n</section>\n";

    const bool fits = settings.drivers.has_value();
    html += "<h3>Devices</h3>\n<div class=\"wide\">\n<table>\n<thead><tr><th scope=\"col\">Attention</th>"
            "<th scope=\"col\">Device</th><th scope=\"col\">Database</th><th scope=\"col\">Driver</th>" +
            std::string(fits ? "<th scope=\"col\">Best driver that fits</th>" : "") +
            "<th scope=\"col\">Hardware ID</th></tr></thead>\n<tbody>\n";
    for (const std::size_t i : listed)
        html += tableRow(*devices[i], deviceAnchor(index, i), fits);
    html += "</tbody>\n</table>\n</div>\n<h3>Each device</h3>\n";
    for (const std::size_t i : listed)
        html += outlineArticle(*devices[i], deviceAnchor(index, i));
    return html + "</section>\n";
}

std::string failedSection(std::size_t index, const std::string& source, const std::string& problem)
{
    return sectionStart(index, shown(source)) + "<p class=\"error\">Its devices could not be read: " +
           shown(problem) + "</p>\n</section>\n";
}

std::string reportEnd()
{
    return "</main>\n<footer><p>Made by Corvane " CORVANE_VERSION ".</p></footer>\n</body>\n</html>\n";
}

std::string htmlReport(const ReportSettings& settings, const ReportMachine& machine)
{
    return reportStart(machine.name) + machineSection(settings, 0, machine) + reportEnd();
}

std::string reportDate(std::time_t now)
{
    // Reproducible output: a fixed date for builds and tests that ask for one.
    if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH"); fixed && *fixed) {
        char* end = nullptr;
        const long long seconds = std::strtoll(fixed, &end, 10);
        if (*end == '\0' && seconds >= 0)
            now = static_cast<std::time_t>(seconds);
    }
    const std::tm* utc = std::gmtime(&now);
    char text[32] = "";
    if (!utc || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", utc))
        return "unknown";
    return text;
}

std::string reportFileName(std::string_view machineName)
{
    const std::string prefix = "corvane-", suffix = ".html";
    std::string name;
    for (const char c : machineName) {
        const auto byte = static_cast<unsigned char>(c);
        const bool refused = byte < 0x20 || byte == 0x7F || std::strchr(" <>:\"/\\|?*", c);
        name += refused ? '_' : c;
    }
    // File systems take names of 255 bytes (Windows 255 UTF-16 units, never fewer): cut at a character's start.
    std::size_t length = std::min(name.size(), maxFileNameBytes - prefix.size() - suffix.size());
    while (length < name.size() && length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
        --length;
    name.resize(length);
    // Windows takes no name that ends in a dot; none may start one (hidden on Linux).
    while (!name.empty() && (name.back() == '.' || name.back() == '_'))
        name.pop_back();
    while (!name.empty() && name.front() == '.')
        name.erase(0, 1);
    return prefix + (name.empty() ? std::string("report") : name) + suffix;
}
