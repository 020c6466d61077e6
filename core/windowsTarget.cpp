// SPDX-License-Identifier: GPL-2.0-or-later
#include "windowsTarget.h"

#include "text.h"

#include <array>
#include <utility>

namespace {

std::optional<WindowsArchitecture> architectureNamed(std::string_view name)
{
    static const std::array<std::pair<std::string_view, WindowsArchitecture>, 4> names = {{
        {"x86", WindowsArchitecture::x86},
        {"amd64", WindowsArchitecture::amd64},
        {"x64", WindowsArchitecture::amd64},
        {"arm64", WindowsArchitecture::arm64},
    }};
    for (const auto& [known, architecture] : names)
        if (text::equalAsciiFolded(name, known))
            return architecture;
    return std::nullopt;
}

// MAJOR.MINOR or MAJOR.MINOR.BUILD into `target`.
bool readVersion(std::string_view version, WindowsTarget& target)
{
    std::array<std::uint32_t, 3> parts = {0, 0, 0};
    std::size_t count = 0;
    while (count < parts.size()) {
        const std::size_t dot = version.find('.');
        // Nine digits: no overflow, and more than any version or build has.
        const auto number = text::decimalNumber(version.substr(0, dot), 9);
        if (!number)
            return false;
        parts[count++] = *number;
        if (dot == std::string_view::npos)
            break;
        version.remove_prefix(dot + 1);
        if (count == parts.size())
            return false;  // a fourth part
    }
    if (count < 2)
        return false;
    target.major = parts[0];
    target.minor = parts[1];
    target.build = parts[2];
    return true;
}

}

const char* architectureName(WindowsArchitecture architecture)
{
    switch (architecture) {
    case WindowsArchitecture::x86:
        return "x86";
    case WindowsArchitecture::arm64:
        return "arm64";
    case WindowsArchitecture::amd64:
        break;
    }
    return "amd64";
}

std::optional<WindowsTarget> parseWindowsTarget(std::string_view text, std::string& error)
{
    WindowsTarget target;
    if (text.empty()) {
        error = "no Windows given";
        return std::nullopt;
    }
    const std::size_t colon = text.find(':');
    std::string_view architecture = colon == std::string_view::npos ? std::string_view() : text.substr(0, colon);
    std::string_view version = colon == std::string_view::npos ? text : text.substr(colon + 1);
    if (colon == std::string_view::npos && architectureNamed(text)) {
        architecture = text;
        version = {};
    }
    if (!architecture.empty() || colon != std::string_view::npos) {
        const auto named = architectureNamed(architecture);
        if (!named) {
            error = "unknown architecture '" + std::string(architecture) + "' (x86, amd64, arm64)";
            return std::nullopt;
        }
        target.architecture = *named;
    }
    if ((!version.empty() || colon != std::string_view::npos) && !readVersion(version, target)) {
        error = "'" + std::string(version) + "' is no Windows version (MAJOR.MINOR or MAJOR.MINOR.BUILD, e.g. 10.0.19045)";
        return std::nullopt;
    }
    return target;
}

std::string describeWindowsTarget(const WindowsTarget& target)
{
    return "Windows " + std::to_string(target.major) + "." + std::to_string(target.minor) + " build " +
           std::to_string(target.build) + " (" + architectureName(target.architecture) + ")";
}
